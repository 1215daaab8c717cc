#include "text/TextFunctions.h"

#include <QStringList>

#include <cmath>
#include <limits>

namespace Text {
namespace {

// Index in UTF-16 units of the character at 0-based character index `chars`,
// or text.size() when the text is shorter.
qsizetype UnitIndex(const QString& text, qsizetype chars, qsizetype i = 0) {
    const qsizetype n = text.size();
    while (chars > 0 && i < n) {
        if (text.at(i).isHighSurrogate() && i + 1 < n && text.at(i + 1).isLowSurrogate())
            i += 2;
        else
            i += 1;
        --chars;
    }
    return i;
}

int32_t CharCount(const QString& text, qsizetype units) {
    qsizetype count = 0;
    for (qsizetype i = 0; i < units; ++i)
        if (!(text.at(i).isLowSurrogate() && i > 0 && text.at(i - 1).isHighSurrogate())) ++count;
    return static_cast<int32_t>(count);
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

int32_t Search(int32_t start, const QString& text, const QString& find, Qt::CaseSensitivity cs) {
    if (start < 1) start = 1;
    // A start beyond the last character walks off the end of the text.
    const qsizetype from = UnitIndex(text, start - 1);
    if (from >= text.size()) return 0;
    const qsizetype at = text.indexOf(find, from, cs);
    if (at < 0) return 0;
    return CharCount(text, at) + 1;
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

int32_t InStr(int32_t start, const QString& text, const QString& find) {
    return Search(start, text, find, Qt::CaseInsensitive);
}

int32_t InStrB(int32_t start, const QString& text, const QString& find) {
    return Search(start, text, find, Qt::CaseSensitive);
}

namespace {

// The start of the character before the one at unit i.
qsizetype StepBack(const QString& text, qsizetype i) {
    return i >= 2 && text.at(i - 1).isLowSurrogate() && text.at(i - 2).isHighSurrogate() ? i - 2 : i - 1;
}

qsizetype StepForward(const QString& text, qsizetype i) {
    return i + 1 < text.size() && text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate() ? i + 2 : i + 1;
}

// The candidate of `units` units from `at`, compared as Equals or StrComp do.
bool CandidateMatches(const QString& text, qsizetype at, qsizetype units, const QString& find, bool ignoreCase) {
    const QStringView candidate = QStringView(text).mid(at, units);
    if (ignoreCase) return candidate.compare(find, Qt::CaseInsensitive) == 0;
    return candidate.size() == find.size() && candidate.compare(find, Qt::CaseSensitive) == 0;
}

}  // namespace

int64_t SearchBackward(const QString& text, const QString& find, int64_t from, bool ignoreCase) {
    int64_t p = from;
    if (p < 1) return p;
    const int64_t findLength = Len(find);
    // The candidate at character p is the window of findLength characters
    // from unit `at` to unit `end` (fewer at the end of the text); one walk
    // finds the first, then both ends step back one character at a time.
    qsizetype at = 0;
    int64_t chars = 0;
    while (chars < p - 1 && at < text.size()) {
        at = StepForward(text, at);
        ++chars;
    }
    if (at == text.size()) {
        // Past the end every candidate is empty.
        if (find.isEmpty()) return p;
        if ((p = chars) < 1) return p;
        at = StepBack(text, at);
    }
    qsizetype end = at;
    int64_t inWindow = 0;
    while (inWindow < findLength && end < text.size()) {
        end = StepForward(text, end);
        ++inWindow;
    }
    // Most candidates differ in their first unit already; that check keeps
    // the scan cheap. Surrogates are left to the full comparison.
    const char16_t head = find.isEmpty() ? 0 : find.at(0).unicode();
    const bool quickCheck = head != 0 && !QChar::isSurrogate(head);
    const char16_t foldedHead = QChar::toCaseFolded(head);
    const QChar* units = text.constData();
    while (p >= 1) {
        const char16_t u = units[at].unicode();
        const bool candidate = !quickCheck || QChar::isSurrogate(u) ||
                               (ignoreCase ? QChar::toCaseFolded(u) == foldedHead : u == head);
        if (candidate && CandidateMatches(text, at, end - at, find, ignoreCase)) return p;
        if (--p < 1) break;
        at = StepBack(text, at);
        if (inWindow < findLength) ++inWindow;
        else end = StepBack(text, end);
    }
    return p;
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
QString DefineEncodingUTF8(const QByteArray& bytes) { return QString::fromUtf8(bytes); }

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
