#include "text/TextFunctions.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Text;

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

const QString kEmoji = QString::fromUtf8("\xF0\x9F\x98\x80");  // one character, two UTF-16 units

std::string Show(const QString& s) { return s.toStdString(); }

}  // namespace

TEST(TextFunctions, LengthCountsCharactersNotUtf16Units) {
    EXPECT_EQ(Len(QString()), 0);
    EXPECT_EQ(Len(QStringLiteral("abc")), 3);
    EXPECT_EQ(Len(QString::fromUtf8("h\xC3\xA9\xF0\x9F\x98\x80")), 3);  // h, e-acute, one emoji
    EXPECT_EQ(Len(kEmoji + kEmoji), 2);
    EXPECT_EQ(Len(EndOfLine()), 1);
}

TEST(TextFunctions, LeftAndMidCountCharacters) {
    struct LeftCase {
        QString text;
        int32_t n;
        QString expected;
    };
    for (const LeftCase& c : {
             LeftCase{"Hello", 3, "Hel"},
             LeftCase{"Hi", 3, "Hi"},  // shorter than asked
             LeftCase{"abc", 3, "abc"},
             LeftCase{kEmoji + kEmoji + kEmoji + "x", 3, kEmoji + kEmoji + kEmoji},
             LeftCase{"a" + kEmoji + "bc", 3, "a" + kEmoji + "b"},
         })
        EXPECT_EQ(Left(c.text, c.n), c.expected) << Show(c.text) << " " << c.n;

    struct MidCase {
        QString text;
        int32_t start, length;
        QString expected;
    };
    for (const MidCase& c : {
             MidCase{"Hello", 2, 3, "ell"},
             MidCase{"Hello", 1, 5, "Hello"},
             MidCase{"Hello", 5, 1, "o"},
             MidCase{"Hello", 4, 10, "lo"},  // fewer left than asked
             MidCase{"Hello", 1, 0, ""},
             MidCase{"Hello", 6, 1, ""},  // just beyond the end
             MidCase{"Hello", 100, 2, ""},
             MidCase{"", 1, 3, ""},
             MidCase{kEmoji + "ab", 2, 1, "a"},
             MidCase{"a" + kEmoji + "b", 2, 1, kEmoji},
             MidCase{"a" + kEmoji + "b", 3, 5, "b"},
         })
        EXPECT_EQ(Mid(c.text, c.start, c.length), c.expected)
            << Show(c.text) << " " << c.start << " " << c.length;

    // Cutting from the end agrees with Left on where characters begin.
    for (const LeftCase& c : {
             LeftCase{"Hello\n\n\n", 3, "Hello"},
             LeftCase{"ab", 3, ""},
             LeftCase{"abc", 3, ""},
             LeftCase{"x" + kEmoji + "\n\n", 3, "x"},
             LeftCase{kEmoji + kEmoji + "ab", 3, kEmoji},
             LeftCase{"abc", 0, "abc"},
         })
        EXPECT_EQ(DropLast(c.text, c.n), c.expected) << Show(c.text) << " " << c.n;
}

TEST(TextFunctions, InStrIgnoresCaseAndInStrBDoesNot) {
    struct Case {
        int32_t start;
        QString text, find;
        int32_t insensitive, sensitive;
    };
    for (const Case& c : {
             Case{1, "Hello World", "world", 7, 0},
             Case{1, "Hello World", "World", 7, 7},
             Case{0, "Hello World", "WORLD", 7, 0},    // a start below 1 counts as 1
             Case{-5, "Hello World", "hello", 1, 0},
             Case{7, "Hello World", "world", 7, 0},    // match right at the start
             Case{8, "Hello World", "world", 0, 0},    // match lies before the start
             Case{11, "Hello World", "D", 11, 0},      // last character
             Case{12, "Hello World", "d", 0, 0},       // start beyond the end
             Case{1000, "Hello World", "o", 0, 0},
             Case{1, "Hello World", "xyz", 0, 0},
             Case{1, "", "a", 0, 0},
             Case{1, "aAa", "a", 1, 1},
             Case{2, "aAa", "a", 2, 3},
             Case{1, kEmoji + "abc", "B", 3, 0},       // positions in characters
             Case{2, kEmoji + kEmoji + "ab", "a", 3, 3},
             Case{3, QString(20000, 'z') + "Ab", "aB", 20001, 0},  // a long text: match at its end
         }) {
        EXPECT_EQ(InStr(c.start, c.text, c.find), c.insensitive)
            << c.start << " " << Show(c.text) << " " << Show(c.find);
        EXPECT_EQ(InStrB(c.start, c.text, c.find), c.sensitive)
            << c.start << " " << Show(c.text) << " " << Show(c.find);
    }
}

// The backward scan agrees with trying Mid(text, p, Len(find)) at each p
// from `from` down to 1 with Equals or StrComp.
TEST(TextFunctions, SearchBackwardTriesEachPositionDownToOne) {
    const QString emoji = kEmoji;
    struct Case {
        QString text, find;
        int64_t from;
        bool ignoreCase;
        int64_t expected;
    } cases[] = {
        {"abcabc", "abc", 4, true, 4},
        {"abcabc", "abc", 3, true, 1},
        {"abcabc", "ABC", 6, false, 0},        // exact: no match, stops below 1
        {"abcabc", "ABC", 6, true, 4},
        {emoji + "x" + emoji + "x", "x", 3, true, 2},  // positions count characters
        {emoji + "ab", "ab", 9, true, 2},      // a start past the end comes back to the text
        {"abc", "", 7, true, 7},               // past the end the empty candidate matches
        {"", "abc", 5, true, 0},
        {"abc", "abc", -3, true, -3},          // a start below 1 is returned as it is
        // Long texts: matches at the very ends.
        {"Ab" + QString(20000, 'z') + "ab", "aB", 20001, true, 1},
        {"ab" + QString(20000, 'z'), "ab", 20003, false, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SearchBackward(c.text, c.find, c.from, c.ignoreCase), c.expected)
            << c.text.toStdString() << " / " << c.find.toStdString() << " from " << c.from;
}

// Both searches, on many small texts and find texts drawn from letters that
// fold into each other (Kelvin sign and k, a letter outside the BMP and its
// lower case), a character that no letter folds into, and lone surrogates:
// the result is the first (or last) position whose candidate
// Mid(text, p, Len(find)) equals the find text, tried one by one. The same
// texts also stand between long runs of a letter that none of them holds,
// where a long text takes the search's other way.
TEST(TextFunctions, SearchesAgreeWithTryingEveryPosition) {
    const QString alphabets[][6] = {
        {"a", "A", "b", "", "", ""},
        {"k", "K", QString(QChar(0x212A)), "\xC3\x9F", "s", ""},
        {QString::fromUtf8("\xF0\x90\x90\x80"), QString::fromUtf8("\xF0\x90\x90\xA8"), kEmoji, "x", "", ""},
        {QString(QChar(0xD83D)), QString(QChar(0xDE00)), kEmoji, "a", "", ""},
    };
    uint32_t state = 12345;
    auto next = [&state](uint32_t n) {
        state = state * 1103515245u + 12345u;
        return (state >> 8) % n;
    };
    for (const int32_t pad : {0, 20000}) {
        const QString padding(pad, QLatin1Char('z'));
        for (const auto& alphabet : alphabets) {
            uint32_t letters = 0;
            while (letters < 6 && !alphabet[letters].isEmpty()) ++letters;
            auto draw = [&](uint32_t length) {
                QString s;
                for (uint32_t i = 0; i < length; ++i) s += alphabet[next(letters)];
                return s;
            };
            for (int round = 0; round < (pad ? 100 : 400); ++round) {
                const QString inner = draw(next(24));
                const QString text = padding + inner + padding;
                const QString find = draw(1 + next(round % 2 ? 3 : 6));
                const int32_t length = Len(inner), findLength = Len(find);
                // Candidates that reach into the padding hold a "z" and never match.
                auto matches = [&](int32_t p, bool ignoreCase) {
                    const QString candidate = Mid(inner, p, findLength);
                    if (Len(candidate) < findLength) return false;
                    return ignoreCase ? Equals(candidate, find) : StrComp(candidate, find, 0) == 0;
                };
                const int32_t start = static_cast<int32_t>(next(static_cast<uint32_t>(length) + 3));  // in inner
                for (bool ignoreCase : {true, false}) {
                    int32_t first = 0;
                    for (int32_t p = std::max(start, 1); p <= length && first == 0; ++p)
                        if (matches(p, ignoreCase)) first = pad + p;
                    int64_t last = 0;
                    for (int64_t p = std::min(start, length); p >= 1 && last == 0; --p)
                        if (matches(static_cast<int32_t>(p), ignoreCase)) last = pad + p;
                    const int32_t from = pad + start;
                    const int32_t found = ignoreCase ? InStr(from, text, find) : InStrB(from, text, find);
                    EXPECT_EQ(found, start > length ? 0 : first)
                        << Show(inner) << " / " << Show(find) << " from " << from << " " << ignoreCase;
                    EXPECT_EQ(SearchBackward(text, find, from, ignoreCase), from < 1 ? from : last)
                        << Show(inner) << " / " << Show(find) << " back from " << from << " " << ignoreCase;
                }
            }
        }
    }
}

TEST(TextFunctions, StrCompCountsCaseAndEqualsIgnoresIt) {
    struct Case {
        QString a, b;
        bool same, equalIgnoringCase;
    };
    for (const Case& c : {
             Case{"", "", true, true},
             Case{"abc", "abc", true, true},
             Case{"abc", "ABC", false, true},
             Case{"Secret123", "sECRET123", false, true},
             Case{"abc", "abd", false, false},
             Case{"abc", "abc ", false, false},
             Case{"abc", "", false, false},
             Case{kEmoji, kEmoji, true, true},
         }) {
        EXPECT_EQ(StrComp(c.a, c.b, 0) == 0, c.same) << Show(c.a) << " / " << Show(c.b);
        EXPECT_EQ(StrComp(c.b, c.a, 0) == 0, c.same) << Show(c.b) << " / " << Show(c.a);
        EXPECT_EQ(Equals(c.a, c.b), c.equalIgnoringCase) << Show(c.a) << " / " << Show(c.b);
        EXPECT_EQ(Equals(c.b, c.a), c.equalIgnoringCase) << Show(c.b) << " / " << Show(c.a);
    }
}

TEST(TextFunctions, NthFieldSplitsAtThePoint) {
    struct Case {
        QString text;
        int32_t n;
        QString expected;
    };
    for (const Case& c : {
             Case{"1.1.0", 1, "1"},
             Case{"1.1.0", 2, "1"},
             Case{"1.1.0", 3, "0"},
             Case{"12.34.567", 3, "567"},
             Case{"1.2", 3, ""},  // fewer fields
             Case{"7", 2, ""},
             Case{"7", 1, "7"},
             Case{"", 1, ""},
             Case{"a..b", 2, ""},
             Case{"a..b", 3, "b"},
             Case{".5", 1, ""},
         })
        EXPECT_EQ(NthField(c.text, ".", c.n), c.expected) << Show(c.text) << " " << c.n;
}

TEST(TextFunctions, ValReadsTheLeadingNumber) {
    struct Case {
        QString text;
        double expected;
    };
    for (const Case& c : {
             Case{"", 0},
             Case{"abc", 0},
             Case{"x14", 0},
             Case{"-", 0},
             Case{".", 0},
             Case{"14", 14},
             Case{"14\n", 14},
             Case{"14\r\n", 14},
             Case{"500\n450\n", 500},
             Case{"-20", -20},
             Case{"+7", 7},
             Case{"12abc", 12},
             Case{"3.5", 3.5},
             Case{".5", 0.5},
             Case{"-.5", -0.5},
             Case{"1.", 1},
             Case{"1e3", 1000},
             Case{"1E3x", 1000},
             Case{"1.5e2", 150},
             Case{"2e-1", 0.2},
             Case{"1e", 1},  // an exponent without digits is not part of the number
             Case{"1e+", 1},
             Case{"0x10", 0},
             Case{"2147483647", 2147483647.0},
             Case{"-2147483648", -2147483648.0},
             Case{"99999999999999999999", 1e20},
             Case{"1e-400", 0},
         })
        EXPECT_DOUBLE_EQ(Val(c.text), c.expected) << Show(c.text);

    // Beyond the range of a double the number is still there: it is infinite, not 0.
    EXPECT_EQ(Val("1e400"), std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val("-1e400"), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(Val(QString(400, QLatin1Char('9')) + "\n"), std::numeric_limits<double>::infinity());
}

TEST(TextFunctions, ToInt32KeepsWholeNumbersAndSaturates) {
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        int32_t expected;
    };
    for (const Case& c : {
             Case{0, 0},
             Case{-0.0, 0},
             Case{14, 14},
             Case{-20, -20},
             Case{500, 500},
             Case{2147483647.0, kMax},
             Case{-2147483648.0, kMin},
             Case{2147483648.0, kMax},
             Case{-2147483649.0, kMin},
             Case{1e20, kMax},
             Case{-1e20, kMin},
             Case{inf, kMax},
             Case{-inf, kMin},
             Case{std::nan(""), 0},
         })
        EXPECT_EQ(ToInt32(c.value), c.expected) << c.value;
}

TEST(TextFunctions, StrWritesDecimalAndValReadsItBack) {
    struct Case {
        int32_t n;
        QString expected;
    };
    for (const Case& c : {
             Case{0, "0"},
             Case{14, "14"},
             Case{-20, "-20"},
             Case{kMax, "2147483647"},
             Case{kMin, "-2147483648"},
         }) {
        EXPECT_EQ(Str(c.n), c.expected) << c.n;
        EXPECT_EQ(ToInt32(Val(Str(c.n) + EndOfLine())), c.n);
    }
}

TEST(TextFunctions, LineEndIsOneByte) {
    EXPECT_EQ(EndOfLine(), QStringLiteral("\n"));
    EXPECT_EQ(EndOfLineByte(), '\n');
    EXPECT_EQ(ConvertEncodingUTF8(EndOfLine()), QByteArray(1, EndOfLineByte()));
}

TEST(TextFunctions, Utf8ConversionKeepsEveryCharacter) {
    const QString text = QString::fromUtf8("Caf\xC3\xA9 \xE2\x82\xAC ") + kEmoji + "\n";
    const QByteArray bytes = ConvertEncodingUTF8(text);
    EXPECT_EQ(bytes, QByteArray("Caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80\n"));
    EXPECT_EQ(DefineEncodingUTF8(bytes), text);
    // A byte-order mark is a character like any other, at the start too.
    for (const char* withMark : {"\xEF\xBB\xBF", "\xEF\xBB\xBF" "ab", "a\xEF\xBB\xBF" "b", "\xEF\xBB\xBF\xEF\xBB\xBF"}) {
        const QByteArray marked(withMark);
        EXPECT_EQ(ConvertEncodingUTF8(DefineEncodingUTF8(marked)), marked) << withMark;
    }
    EXPECT_EQ(DefineEncodingUTF8("\xEF\xBB\xBF" "ab"), QString(QChar(0xFEFF)) + "ab");
}

TEST(TextFunctions, EncodeBase64) {
    struct Case {
        QByteArray bytes;
        QByteArray expected;
    };
    QByteArray fiftyEight;
    for (int i = 0; i < 58; ++i) fiftyEight += static_cast<char>(i);
    for (const Case& c : {
             Case{"", ""},
             Case{"a", "YQ=="},
             Case{"ab", "YWI="},
             Case{"abcdefgh", "YWJjZGVmZ2g="},
             Case{QByteArray("\x00\xff\xfe", 3), "AP/+"},
             // 80 output characters: a break after the 76th.
             Case{fiftyEight,
                  "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4\nOQ=="},
             // Exactly 76: no break.
             Case{fiftyEight.left(57),
                  "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4"},
         })
        EXPECT_EQ(EncodeBase64(c.bytes, 76), c.expected) << c.bytes.toHex().toStdString();

    // Four passes, as the password file holds them: 8 or 9 characters give 32, 10 to 12 give 44,
    // far below the line width.
    struct Fold {
        QByteArray password;
        int length;
    };
    for (const Fold& f : {Fold{"abcdefgh", 32}, Fold{"Secret123", 32}, Fold{"Secret1234", 44},
                          Fold{"abcdefghijk", 44}, Fold{"abcdefghijkl", 44}}) {
        QByteArray e = f.password;
        for (int pass = 0; pass < 4; ++pass) e = EncodeBase64(e, 76);
        EXPECT_EQ(e.size(), f.length) << f.password.toStdString();
        EXPECT_FALSE(e.contains('\n'));
    }
}

TEST(TextFunctions, DecodeBase64SkipsLineEnds) {
    struct Case {
        QByteArray text;
        QByteArray expected;
    };
    QByteArray fiftyEight;
    for (int i = 0; i < 58; ++i) fiftyEight += static_cast<char>(i);
    for (const Case& c : {
             Case{"", ""},
             Case{"\n", ""},
             Case{"YWJjZGVmZ2g=", "abcdefgh"},
             Case{"YWJjZGVmZ2g=\n", "abcdefgh"},
             Case{"YWI=\n", "ab"},
             Case{"AP/+\n", QByteArray("\x00\xff\xfe", 3)},
             Case{EncodeBase64(fiftyEight, 76) + "\n", fiftyEight},  // a break inside
         })
        EXPECT_EQ(DecodeBase64(c.text), c.expected) << c.text.toStdString();

    QByteArray e = "Secret123";
    for (int pass = 0; pass < 4; ++pass) e = EncodeBase64(e, 76);
    QByteArray d = e + "\n";
    for (int pass = 0; pass < 4; ++pass) d = DecodeBase64(d);
    EXPECT_EQ(d, "Secret123");
}

TEST(TextFunctions, ByteXorIsItsOwnInverse) {
    QByteArray all;
    for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
    const QByteArray original = all;

    const QByteArray x = BitwiseXORStringBytes(all, 0xC9);
    ASSERT_EQ(x.size(), 256);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(static_cast<uint8_t>(x[i]), i ^ 0xC9) << i;
    EXPECT_EQ(all, original) << "the argument stays as it was";
    EXPECT_EQ(BitwiseXORStringBytes(x, 0xC9), original);
    EXPECT_EQ(BitwiseXORStringBytes(all, 0), original);
    EXPECT_EQ(BitwiseXORStringBytes(QByteArray(), 0xC9), QByteArray());
    EXPECT_EQ(BitwiseXORStringBytes(QByteArray("\n"), 0xC9), QByteArray("\xC3"));
}
