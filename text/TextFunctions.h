// The text operations the rest of the program is written against.
// Positions are 1-based and counted in characters (Unicode code points, so a
// character outside the BMP counts once); 0 means "not found".
#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>

namespace Text {

int32_t Len(const QString& text);
QString Left(const QString& text, int32_t n);
QString Mid(const QString& text, int32_t start, int32_t length);
// The text without its last n characters; empty when it has n or fewer.
// Counts from the end, so its cost follows n, not the length of the text;
// a text passed in by move is cut where it is, not copied.
QString DropLast(QString text, int32_t n);

// Case-insensitive search (ASCII and Unicode simple case folding): the
// first p at or after start whose candidate Mid(text, p, Len(find)) equals
// find as Equals does. A match begins and ends between characters.
int32_t InStr(int32_t start, const QString& text, const QString& find);
// Case-sensitive search: as InStr, comparing as StrComp mode 0 does.
int32_t InStrB(int32_t start, const QString& text, const QString& find);

// Backward search: the result of trying the candidate Mid(text, p, Len(find))
// for p = from, from - 1, ... down to 1, comparing as Equals (ignoreCase) or
// as StrComp mode 0 does: the first p whose candidate matches. When none
// does, the position below 1 where that scan stops (from itself when it is
// below 1).
//
// Both directions take time linear in the length of the text plus the find
// text, whatever the texts hold.
int64_t SearchBackward(const QString& text, const QString& find, int64_t from, bool ignoreCase);

// 0 when equal character for character (mode 0 only).
int32_t StrComp(const QString& a, const QString& b, int32_t mode = 0);
// The language's string "=": letter case ignored.
bool Equals(const QString& a, const QString& b);

QString NthField(const QString& text, const QString& separator, int32_t n);

// The number the text begins with; 0 for anything that does not begin with one.
double Val(const QString& text);
// Saturating conversion: NaN gives 0, values beyond the int32 range the nearest bound.
int32_t ToInt32(double value);
QString Str(int32_t n);

// The one line-end character used in every file.
QString EndOfLine();
char EndOfLineByte();

QByteArray ConvertEncodingUTF8(const QString& text);
QString DefineEncodingUTF8(const QByteArray& bytes);

QByteArray EncodeBase64(const QByteArray& bytes, int lineWidth);
QByteArray DecodeBase64(const QByteArray& text);

QByteArray BitwiseXORStringBytes(QByteArray bytes, uint8_t value);

}  // namespace Text
