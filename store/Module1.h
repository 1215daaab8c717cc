// The program's module: process-wide state, the settings files and the
// protected store, all in the user's preferences folder.
#pragma once

#include <QString>
#include <cstdint>

namespace Module1 {

// The editor has been opened in this run.
extern bool Window2OpenFlag;
// The editor has opened and shows the note: the stored one, or the new
// empty note of a first use. Until then nothing in the editor or the font
// size was loaded, and nothing may be written from them.
extern bool NoteShown;
// The password typed in the password window.
extern QString MyKey;
// The editor's text size in points; 0 is the framework's default size.
extern int32_t FontSize;
extern int32_t Win2Height;
extern int32_t Win2Width;
// The find state.
extern QString S;
extern QString W;
extern int32_t Q;
extern int32_t P;
extern int32_t A;

inline constexpr const char* kPasswordFile = "tindrelcypher.plist";
inline constexpr const char* kDataFile = "tindrel.plist";
inline constexpr const char* kWinSizeFile = "tindrelwinsize.txt";
inline constexpr const char* kFontSizeFile = "tindrelfontsize.txt";
inline constexpr uint8_t kDataKey = 0xC9;

// Settings files.
void getWinSize();
void saveWinSize();
void getFontSize();
void saveFontSize();

// Protected store.
void getPlistCypher();
void savePlistCypher();
void getPlistData();
void savePlistData();
void ResetAll();

// The protected text as stored in the data file, and back.
QByteArray EncodeData(const QString& text);
QString DecodeData(QByteArray stored);
// The password as stored in the password file (without the line end), and back.
QByteArray EncodePassword(const QString& password);
QString DecodePassword(const QByteArray& stored);

// Releases the module's text values at program end.
void Finalize();

}  // namespace Module1
