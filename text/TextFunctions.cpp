#include "text/TextFunctions.h"

#include <QStringDecoder>
#include <QStringList>

#include <algorithm>
#include <iterator>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cmath>
#include <limits>

namespace Text {
namespace {

bool IsHigh(char16_t u) { return (u & 0xFC00) == 0xD800; }
bool IsLow(char16_t u) { return (u & 0xFC00) == 0xDC00; }

// Units in [a, b) that continue a character: low surrogates right after a
// high one. Every other unit begins a character of its own.
qsizetype ContinuationsIn(const char16_t* u, qsizetype a, qsizetype b) {
    qsizetype count = 0;
    qsizetype i = std::max<qsizetype>(a, 1);
#ifdef __SSE2__
    // Eight units at a time: this walk runs over the whole note at every
    // find step, so it should cost little beside the search itself. Each
    // lane of `sum` counts down by one per pair; it is emptied before it
    // can overflow.
    const __m128i mask = _mm_set1_epi16(static_cast<short>(0xFC00));
    const __m128i low = _mm_set1_epi16(static_cast<short>(0xDC00));
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xD800));
    while (i + 8 <= b) {
        __m128i sum = _mm_setzero_si128();
        for (int rounds = 0; rounds < 30000 && i + 8 <= b; ++rounds, i += 8) {
            const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i));
            const __m128i before = _mm_loadu_si128(reinterpret_cast<const __m128i*>(u + i - 1));
            sum = _mm_add_epi16(sum, _mm_and_si128(_mm_cmpeq_epi16(_mm_and_si128(here, mask), low),
                                                   _mm_cmpeq_epi16(_mm_and_si128(before, mask), high)));
        }
        alignas(16) int16_t lanes[8];
        _mm_store_si128(reinterpret_cast<__m128i*>(lanes), sum);
        for (int16_t lane : lanes) count -= lane;
    }
#endif
    for (; i < b; ++i) count += IsLow(u[i]) && IsHigh(u[i - 1]);
    return count;
}

qsizetype StartsIn(const char16_t* u, qsizetype a, qsizetype b) { return (b - a) - ContinuationsIn(u, a, b); }

// From unit i, passes `chars` characters and returns the unit where the next
// one begins, or n when the text ends first; `chars` is left with how many
// could not be passed.
qsizetype Advance(const char16_t* u, qsizetype n, qsizetype i, qsizetype& chars) {
    constexpr qsizetype kBlock = 256;
    while (chars > 0 && i + kBlock <= n) {
        const qsizetype starts = StartsIn(u, i, i + kBlock);
        if (starts > chars) break;
        chars -= starts;
        i += kBlock;
    }
    for (; i < n; ++i) {
        const bool start = !(i > 0 && IsLow(u[i]) && IsHigh(u[i - 1]));
        if (start) {
            if (chars == 0) break;
            --chars;
        }
    }
    return i;
}

const char16_t* Units(const QString& text) { return reinterpret_cast<const char16_t*>(text.constData()); }

// Index in UTF-16 units of the character at 0-based character index `chars`,
// or text.size() when the text is shorter.
qsizetype UnitIndex(const QString& text, qsizetype chars, qsizetype i = 0) {
    if (chars <= 0) return i;
    return Advance(Units(text), text.size(), i, chars);
}

int32_t CharCount(const QString& text, qsizetype units) {
    return static_cast<int32_t>(StartsIn(Units(text), 0, units));
}

// Index in UTF-16 units where the character `chars` characters before the
// end of the text begins, or 0 when the text is shorter. A surrogate pair is
// a high surrogate directly followed by a low one, whichever end it is
// looked for from, so this agrees with UnitIndex.
qsizetype UnitIndexFromEnd(const QString& text, qsizetype chars) {
    qsizetype i = text.size();
    while (chars > 0 && i > 0) {
        if (text.at(i - 1).isLowSurrogate() && i > 1 && text.at(i - 2).isHighSurrogate())
            i -= 2;
        else
            i -= 1;
        --chars;
    }
    return i;
}

// ---- the search ---------------------------------------------------------------
//
// Both directions compare UTF-16 units. With letter case ignored each
// character stands for its simple case folding, which in Unicode keeps its
// length in units (one whose folding would not is compared as it is), so a
// unit position in the folded text is the same position in the text and no
// folded copy of the note is made. A match must begin and end between
// characters, never inside a surrogate pair.
//
// The search is the two-way algorithm (Crochemore and Perrin): linear in the
// text plus the find text for any texts, with constant extra space beside
// the find text. The backward search is the same on both texts read from
// their ends.

char16_t FoldBmp(char16_t c) {
    if (c < 0x80) return static_cast<unsigned>(c - u'A') < 26u ? static_cast<char16_t>(c + 32) : c;
    const char32_t f = QChar::toCaseFolded(static_cast<char32_t>(c));
    return f <= 0xFFFF ? static_cast<char16_t>(f) : c;
}

// The folded unit i of u[0, n): a surrogate pair folds as the character it
// stands for, a lone surrogate stays as it is.
char16_t FoldRest(const char16_t* u, qsizetype n, qsizetype i) {
    const char16_t c = u[i];
    if (!QChar::isSurrogate(c)) return FoldBmp(c);
    if (IsHigh(c) && i + 1 < n && IsLow(u[i + 1])) {
        const char32_t f = QChar::toCaseFolded(QChar::surrogateToUcs4(c, u[i + 1]));
        return f > 0xFFFF ? QChar::highSurrogate(f) : c;
    }
    if (IsLow(c) && i > 0 && IsHigh(u[i - 1])) {
        const char32_t f = QChar::toCaseFolded(QChar::surrogateToUcs4(u[i - 1], c));
        return f > 0xFFFF ? QChar::lowSurrogate(f) : c;
    }
    return c;
}

inline char16_t FoldAt(const char16_t* u, qsizetype n, qsizetype i) {
    const char16_t c = u[i];
    if (c < 0x80) return static_cast<unsigned>(c - u'A') < 26u ? static_cast<char16_t>(c + 32) : c;
    return FoldRest(u, n, i);
}

// The find text made ready for one search: its units (folded, and in
// reverse order for the backward search), its critical factorization and
// the skip table, indexed by the low byte of a unit.
struct Pattern {
    std::vector<char16_t> x;
    qsizetype m = 0, suffix = 0, period = 1;
    bool periodic = false;
    qsizetype skip[256];

    Pattern(const QString& find, bool ignoreCase, bool reversed) {
        const char16_t* f = Units(find);
        m = find.size();
        x.resize(static_cast<size_t>(m));
        for (qsizetype i = 0; i < m; ++i) x[static_cast<size_t>(i)] = ignoreCase ? FoldAt(f, m, i) : f[i];
        if (reversed) std::reverse(x.begin(), x.end());
        qsizetype ms1, p1, ms2, p2;
        MaximalSuffix(false, ms1, p1);
        MaximalSuffix(true, ms2, p2);
        if (ms2 < ms1) {
            suffix = ms1 + 1;
            period = p1;
        } else {
            suffix = ms2 + 1;
            period = p2;
        }
        periodic = suffix + period <= m && std::equal(x.begin(), x.begin() + suffix, x.begin() + period);
        if (!periodic) period = std::max(suffix, m - suffix) + 1;
        std::fill(std::begin(skip), std::end(skip), m);
        for (qsizetype i = 0; i < m; ++i) skip[x[static_cast<size_t>(i)] & 0xFF] = m - 1 - i;
    }

    // The maximal suffix of x by the unit order, or by its reverse.
    void MaximalSuffix(bool reverseOrder, qsizetype& ms, qsizetype& p) const {
        ms = -1;
        p = 1;
        qsizetype j = 0, k = 1;
        while (j + k < m) {
            const char16_t a = x[static_cast<size_t>(j + k)], b = x[static_cast<size_t>(ms + k)];
            if (reverseOrder ? b < a : a < b) {
                j += k;
                k = 1;
                p = j - ms;
            } else if (a == b) {
                if (k != p) {
                    ++k;
                } else {
                    j += p;
                    k = 1;
                }
            } else {
                ms = j++;
                k = p = 1;
            }
        }
    }

    // The first j in [0, hlen - m] where h(j ..) holds x and accept(j)
    // agrees, or -1. jump(j), when given, is the first j' >= j that can
    // begin a match as far as a quick look tells (hlen - m + 1 when none);
    // without it the skip table does that work.
    template <typename Hay, typename Accept, typename Jump>
    qsizetype Search(const Hay& h, qsizetype hlen, const Accept& accept, const Jump* jump) const {
        const char16_t* p = x.data();
        qsizetype j = 0, memory = 0;
        while (j <= hlen - m) {
            if (jump) {
                const qsizetype next = (*jump)(j);
                if (next != j) {
                    j = next;
                    memory = 0;
                    continue;
                }
            } else {
                qsizetype shift = skip[h(j + m - 1) & 0xFF];
                if (shift > 0) {
                    // A periodic find text with one unit out of place: no
                    // match until past that unit.
                    if (periodic && memory && shift < period) shift = m - period;
                    memory = 0;
                    j += shift;
                    continue;
                }
            }
            if (periodic) {
                qsizetype i = std::max(suffix, memory);
                while (i < m && p[i] == h(i + j)) ++i;
                if (i >= m) {
                    i = suffix - 1;
                    while (memory < i + 1 && p[i] == h(i + j)) --i;
                    if (i + 1 < memory + 1 && accept(j)) return j;
                    j += period;
                    memory = m - period;
                } else {
                    j += i - suffix + 1;
                    memory = 0;
                }
            } else {
                qsizetype i = suffix;
                while (i < m && p[i] == h(i + j)) ++i;
                if (i >= m) {
                    i = suffix - 1;
                    while (i >= 0 && p[i] == h(i + j)) --i;
                    if (i < 0 && accept(j)) return j;
                    j += period;
                } else {
                    j += i - suffix + 1;
                }
            }
        }
        return -1;
    }
};

// ---- the quick look ---------------------------------------------------------------
//
// On a long text the search first looks for windows whose first and last
// units can match those of the find text, eight windows at a time. That
// needs no chain of dependent loads, so it runs at the speed of memory even
// where every unit of the text is the same letter.

// The folded form of every BMP unit, built once.
const std::vector<char16_t>& FoldTable() {
    static const std::vector<char16_t> table = [] {
        std::vector<char16_t> t(0x10000);
        for (char32_t c = 0; c < 0x10000; ++c)
            t[c] = QChar::isSurrogate(c) ? static_cast<char16_t>(c) : FoldBmp(static_cast<char16_t>(c));
        return t;
    }();
    return table;
}

// The units of the text that can stand for one unit of the find text: the
// unit itself, and with letter case ignored every unit that folds to it.
// `any` when there are too many to look for, or a surrogate, whose folding
// depends on its neighbour.
struct Spellings {
    bool any = true;
    int count = 0;
    char16_t units[4] = {};

    Spellings(char16_t folded, bool ignoreCase) {
        if (QChar::isSurrogate(folded)) return;
        if (!ignoreCase) {
            units[count++] = folded;
            any = false;
            return;
        }
        const std::vector<char16_t>& table = FoldTable();
        for (size_t c = 0; c < table.size(); ++c) {
            if (table[c] != folded || QChar::isSurrogate(static_cast<char32_t>(c))) continue;
            if (count == 4) return;
            units[count++] = static_cast<char16_t>(c);
        }
        any = count == 0;
    }
    bool Has(char16_t u) const {
        if (any) return true;
        for (int i = 0; i < count; ++i)
            if (units[i] == u) return true;
        return false;
    }
};

// Windows [s, s + m) of u whose first and last units can match.
struct QuickLook {
    Spellings first, last;
    qsizetype m;

    QuickLook(const std::vector<char16_t>& folded, bool ignoreCase)
        : first(folded.front(), ignoreCase), last(folded.back(), ignoreCase),
          m(static_cast<qsizetype>(folded.size())) {}
    bool Useful() const { return !first.any || !last.any; }
    bool Fits(const char16_t* u, qsizetype s) const { return first.Has(u[s]) && last.Has(u[s + m - 1]); }

#ifdef __SSE2__
    static __m128i Lanes(const Spellings& sp, const char16_t* at) {
        if (sp.any) return _mm_set1_epi16(-1);
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        __m128i hit = _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(sp.units[0])));
        for (int i = 1; i < sp.count; ++i)
            hit = _mm_or_si128(hit, _mm_cmpeq_epi16(v, _mm_set1_epi16(static_cast<short>(sp.units[i]))));
        return hit;
    }
    // Two bits for each of the eight windows from s.
    unsigned Eight(const char16_t* u, qsizetype s) const {
        return static_cast<unsigned>(
            _mm_movemask_epi8(_mm_and_si128(Lanes(first, u + s), Lanes(last, u + s + m - 1))));
    }
#endif

    // The first s in [from, limit] that fits, or limit + 1.
    qsizetype Forward(const char16_t* u, qsizetype from, qsizetype limit) const {
        qsizetype s = from;
#ifdef __SSE2__
        for (; s + 7 <= limit; s += 8)
            if (const unsigned bits = Eight(u, s)) return s + __builtin_ctz(bits) / 2;
#endif
        while (s <= limit && !Fits(u, s)) ++s;
        return s;
    }
    // The last s in [0, from] that fits, or -1.
    qsizetype Backward(const char16_t* u, qsizetype from) const {
        qsizetype s = from;
#ifdef __SSE2__
        for (; s >= 7; s -= 8)
            if (const unsigned bits = Eight(u, s - 7)) return s - 7 + (31 - __builtin_clz(bits)) / 2;
#endif
        while (s >= 0 && !Fits(u, s)) --s;
        return s;
    }
};

// Below this many units the quick look does not pay for its set-up; the
// search then skips by the table of the find text's last units.
constexpr qsizetype kQuickLookFrom = 1 << 14;
using Jump = qsizetype (*)(qsizetype);
constexpr const Jump* kNoQuickLook = nullptr;

// True when units [a, b) of u[0, n) begin and end between characters.
bool Whole(const char16_t* u, qsizetype n, qsizetype a, qsizetype b) {
    auto inside = [&](qsizetype i) { return i > 0 && i < n && IsLow(u[i]) && IsHigh(u[i - 1]); };
    return !inside(a) && !inside(b);
}

// The first match of find in u[from, n) at or after unit from, or -1.
qsizetype FindForward(const char16_t* u, qsizetype n, qsizetype from, const QString& find, bool ignoreCase) {
    const Pattern pattern(find, ignoreCase, false);
    const qsizetype m = pattern.m, hlen = n - from;
    if (m > hlen) return -1;
    const auto accept = [&](qsizetype j) { return Whole(u, n, from + j, from + j + m); };
    const char16_t* base = u + from;
    const auto folded = [&](qsizetype i) { return FoldAt(u, n, from + i); };
    const auto exact = [&](qsizetype i) { return base[i]; };
    qsizetype j;
    if (hlen >= kQuickLookFrom) {
        const QuickLook look(pattern.x, ignoreCase);
        const auto jump = [&](qsizetype at) { return look.Forward(base, at, hlen - m); };
        const bool useful = look.Useful();
        j = ignoreCase ? pattern.Search(folded, hlen, accept, useful ? &jump : nullptr)
                       : pattern.Search(exact, hlen, accept, useful ? &jump : nullptr);
    } else {
        j = ignoreCase ? pattern.Search(folded, hlen, accept, kNoQuickLook)
                       : pattern.Search(exact, hlen, accept, kNoQuickLook);
    }
    return j < 0 ? -1 : from + j;
}

// The last match of find that ends at or before unit end of u[0, n), or -1.
qsizetype FindBackward(const char16_t* u, qsizetype n, qsizetype end, const QString& find, bool ignoreCase) {
    const Pattern pattern(find, ignoreCase, true);
    const qsizetype m = pattern.m;
    if (m > end) return -1;
    const auto accept = [&](qsizetype j) { return Whole(u, n, end - j - m, end - j); };
    const auto folded = [&](qsizetype i) { return FoldAt(u, n, end - 1 - i); };
    const auto exact = [&](qsizetype i) { return u[end - 1 - i]; };
    qsizetype j;
    if (end >= kQuickLookFrom) {
        // The pattern is reversed; the quick look works on the text as it is.
        std::vector<char16_t> forward(pattern.x.rbegin(), pattern.x.rend());
        const QuickLook look(forward, ignoreCase);
        const auto jump = [&](qsizetype at) { return end - m - look.Backward(u, end - m - at); };
        const bool useful = look.Useful();
        j = ignoreCase ? pattern.Search(folded, end, accept, useful ? &jump : nullptr)
                       : pattern.Search(exact, end, accept, useful ? &jump : nullptr);
    } else {
        j = ignoreCase ? pattern.Search(folded, end, accept, kNoQuickLook)
                       : pattern.Search(exact, end, accept, kNoQuickLook);
    }
    return j < 0 ? -1 : end - j - m;
}

int32_t Search(int32_t start, const QString& text, const QString& find, bool ignoreCase) {
    if (start < 1) start = 1;
    // A start beyond the last character walks off the end of the text.
    const qsizetype from = UnitIndex(text, start - 1);
    const qsizetype n = text.size();
    if (from >= n) return 0;
    if (find.isEmpty()) return start;
    const char16_t* u = Units(text);
    const qsizetype at = FindForward(u, n, from, find, ignoreCase);
    if (at < 0) return 0;
    return static_cast<int32_t>(start + StartsIn(u, from, at));
}

}  // namespace

int32_t Len(const QString& text) { return CharCount(text, text.size()); }

QString Left(const QString& text, int32_t n) {
    if (n <= 0) return QString();
    return text.left(UnitIndex(text, n));
}

QString Mid(const QString& text, int32_t start, int32_t length) {
    if (start < 1) start = 1;
    if (length <= 0) return QString();
    const qsizetype from = UnitIndex(text, start - 1);
    return text.mid(from, UnitIndex(text, length, from) - from);
}

QString DropLast(QString text, int32_t n) {
    if (n > 0) text.truncate(UnitIndexFromEnd(text, n));
    return text;
}

int32_t InStr(int32_t start, const QString& text, const QString& find) { return Search(start, text, find, true); }

int32_t InStrB(int32_t start, const QString& text, const QString& find) { return Search(start, text, find, false); }

int64_t SearchBackward(const QString& text, const QString& find, int64_t from, bool ignoreCase) {
    // The empty find text matches the empty candidate wherever the scan starts.
    if (from < 1 || find.isEmpty()) return from;
    const char16_t* u = Units(text);
    const qsizetype n = text.size();
    // The candidate at character `from` begins at unit `last`; one that
    // begins past the end is empty, so the last possible one is the final
    // character. Candidates reaching past the end are too short to match.
    qsizetype remaining = from - 1;
    const qsizetype last = Advance(u, n, 0, remaining);
    const int64_t lastChars = from - remaining;  // character position of unit `last`
    const qsizetype end = std::min<qsizetype>(n, last + find.size());
    const qsizetype at = FindBackward(u, n, end, find, ignoreCase);
    if (at < 0) return 0;
    return lastChars - StartsIn(u, at, last);
}

int32_t StrComp(const QString& a, const QString& b, int32_t) {
    const int c = QString::compare(a, b, Qt::CaseSensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

bool Equals(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) == 0;
}

QString NthField(const QString& text, const QString& separator, int32_t n) {
    if (n < 1) return QString();
    const QStringList fields = text.split(separator);
    return n <= fields.size() ? fields.at(n - 1) : QString();
}

double Val(const QString& text) {
    // Longest prefix of the form [+-]digits[.digits][e[+-]digits].
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto digit = [&](qsizetype k) { return k < n && text.at(k) >= u'0' && text.at(k) <= u'9'; };
    if (i < n && (text.at(i) == u'-' || text.at(i) == u'+')) ++i;
    const qsizetype intStart = i;
    while (digit(i)) ++i;
    bool any = i > intStart;
    if (i < n && text.at(i) == u'.') {
        qsizetype j = i + 1;
        while (digit(j)) ++j;
        if (j > i + 1 || any) {
            any = any || j > i + 1;
            i = j;
        }
    }
    if (!any) return 0.0;
    if (i < n && (text.at(i) == u'e' || text.at(i) == u'E')) {
        qsizetype j = i + 1;
        if (j < n && (text.at(j) == u'-' || text.at(j) == u'+')) ++j;
        const qsizetype expStart = j;
        while (digit(j)) ++j;
        if (j > expStart) i = j;
    }
    // The prefix is a well-formed number, so the conversion can only overflow
    // (an infinity of the number's sign) or underflow (0): both are its value.
    return text.left(i).toDouble();
}

int32_t ToInt32(double value) {
    if (std::isnan(value)) return 0;
    if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(std::trunc(value));
}

QString Str(int32_t n) { return QString::number(n); }

QString EndOfLine() { return QStringLiteral("\n"); }
char EndOfLineByte() { return '\n'; }

QByteArray ConvertEncodingUTF8(const QString& text) { return text.toUtf8(); }
QString DefineEncodingUTF8(const QByteArray& bytes) {
    // QString::fromUtf8 drops a leading byte-order mark: a note that begins
    // with U+FEFF would lose that character on every reading. Every
    // character is kept; invalid bytes, and a sequence cut off at the end,
    // still become U+FFFD, as with fromUtf8.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

QByteArray EncodeBase64(const QByteArray& bytes, int lineWidth) {
    const QByteArray plain = bytes.toBase64();
    if (lineWidth <= 0 || plain.size() <= lineWidth) return plain;
    QByteArray wrapped;
    for (qsizetype i = 0; i < plain.size(); i += lineWidth) {
        if (i > 0) wrapped += EndOfLineByte();
        wrapped += plain.mid(i, lineWidth);
    }
    return wrapped;
}

QByteArray DecodeBase64(const QByteArray& text) {
    // The lenient decoder skips every byte outside the alphabet, line ends included.
    return QByteArray::fromBase64(text);
}

QByteArray BitwiseXORStringBytes(QByteArray bytes, uint8_t value) {
    char* p = bytes.data();
    const qsizetype n = bytes.size();
    const char v = static_cast<char>(value);
    for (qsizetype i = 0; i < n; ++i) p[i] ^= v;
    return bytes;
}

}  // namespace Text
