#include "store/Module1.h"

#include "framework/Dialogs.h"
#include "framework/Files.h"
#include "framework/Runtime.h"
#include "text/TextFunctions.h"
#include "windows/editor/Window2.h"

#include <memory>
#include <utility>
#include <vector>

namespace Module1 {

bool Window2OpenFlag = false;
bool NoteShown = false;
QString MyKey;
int32_t FontSize = 0;
int32_t Win2Height = 0;
int32_t Win2Width = 0;
QString S;
QString W;
int32_t Q = 0;
int32_t P = 0;
int32_t A = 0;

namespace {

FolderItem Item(const char* name) {
    return SpecialFolder::Preferences().Child(QString::fromLatin1(name));
}

// Every file is written whole: the lines go to a temporary file that replaces
// the old one only once it is complete.
void WriteFile(const char* name, const std::vector<QByteArray>& lines) {
    TextOutputStream out = Item(name).CreateTextFile();
    for (const QByteArray& line : lines) out.WriteLine(line);
    out.Close();
}

void SaveData(const QString& text) { WriteFile(kDataFile, {EncodeData(text)}); }

// What the editor's Close saves, and the font size, for an end of the
// process that does not pass the quit (the display went). It works from
// memory only: the text the editor's area holds and the size the window
// holds, read without closing anything or asking the display.
QString SaveShownNote(const std::weak_ptr<Window2>& shown) {
    const std::shared_ptr<Window2> editor = shown.lock();
    // Gone only once its Close has run, which saved the text.
    if (!editor) return QStringLiteral("Your text was saved when its window closed.");
    try {
        SaveData(editor->EditField1()->Text());
    } catch (const FileError& e) {
        return QStringLiteral("Your text was not saved.  %1").arg(e.message());
    }
    try {
        Win2Height = editor->Height();
        Win2Width = editor->Width();
        saveWinSize();
        saveFontSize();
    } catch (const FileError& e) {
        return QStringLiteral("Your text was saved, but not its window and text size.  %1").arg(e.message());
    }
    return QStringLiteral("Your text was saved.");
}

// The editor shows the note now: from here on it is written also when the
// process ends without passing the quit.
void ShowingNote(const std::shared_ptr<Window2>& editor) {
    NoteShown = editor->IsOpen();
    if (!NoteShown) return;
    const std::weak_ptr<Window2> shown = editor;
    SaveAtUnexpectedEnd([shown] { return SaveShownNote(shown); });
}

int32_t NumberOf(const QByteArray& text) {
    return Text::ToInt32(Text::Val(QString::fromLatin1(text)));
}

}  // namespace

void getWinSize() {
    const FolderItem item = Item(kWinSizeFile);
    if (item.Exists()) {
        TextInputStream in = item.OpenAsTextFile();
        Win2Height = NumberOf(in.ReadLine());
        Win2Width = NumberOf(in.ReadLine());
    } else {
        Win2Height = 500;
        Win2Width = 450;
    }
}

void saveWinSize() {
    WriteFile(kWinSizeFile, {Text::Str(Win2Height).toLatin1(), Text::Str(Win2Width).toLatin1()});
}

void getFontSize() {
    const FolderItem item = Item(kFontSizeFile);
    if (item.Exists()) {
        TextInputStream in = item.OpenAsTextFile();
        FontSize = NumberOf(in.ReadAll());
        in.Close();
    } else {
        FontSize = 0;
    }
}

void saveFontSize() { WriteFile(kFontSizeFile, {Text::Str(FontSize).toLatin1()}); }

QByteArray EncodePassword(const QString& password) {
    QByteArray e = password.toUtf8();
    for (int pass = 0; pass < 4; ++pass) e = Text::EncodeBase64(e, 76);
    return e;
}

QString DecodePassword(const QByteArray& stored) {
    QByteArray d = stored;
    for (int pass = 0; pass < 4; ++pass) d = Text::DecodeBase64(d);
    // Written as UTF-8 (EncodePassword): read it so.
    return Text::DefineEncodingUTF8(d);
}

void getPlistCypher() {
    const FolderItem item = Item(kPasswordFile);
    if (item.Exists()) {
        TextInputStream in = item.OpenAsTextFile();
        const QString stored = DecodePassword(in.ReadAll());
        if (Text::Equals(MyKey, stored)) {
            getPlistData();
            in.Close();
        } else {
            MsgBox(QStringLiteral("Incorrect password.  I must quit."));
            Quit(0);
        }
    } else {
        // A note left from an earlier password is given up at the editor's
        // first close: the user is told so while Cancel can still keep it.
        QString question = QStringLiteral("I don't see a password on file.  Do you want to use this password?");
        if (Item(kDataFile).Exists())
            question += QStringLiteral("  A saved text is already on file; it will be replaced when you close "
                                       "the editor.");
        const int32_t answer = MsgBox(question, 305, QString());
        if (answer == kMsgBoxOK) savePlistCypher();
    }
}

void savePlistCypher() {
    // A first use cut short at any point (the editor cannot open, the
    // display goes, the process is killed) leaves no password without its
    // note, from which the next start could never go on: the note's file
    // comes first, empty, when there is none. A note already on file is left
    // as it is until the editor's Close replaces it.
    if (!Item(kDataFile).Exists()) SaveData(QString());
    WriteFile(kPasswordFile, {EncodePassword(MyKey)});
    auto editor = Window2::Instance();
    editor->Show();
    ShowingNote(editor);
}

QString DecodeData(QByteArray stored) {
    // The writer adds three characters to the text: two line ends, and the
    // final line end written without XOR, which after the XOR is one stray
    // byte that the decoder turns into one character. Those three go, so a
    // note of one or two characters reads back whole; fewer than three
    // characters (an empty or cut file) hold no text.
    // A note can be megabytes long: the XOR works on the bytes it was given,
    // only the first three and the last three characters are counted, and
    // the end is cut off the decoded text in place.
    QString d = Text::DefineEncodingUTF8(Text::BitwiseXORStringBytes(std::move(stored), kDataKey));
    return Text::Len(Text::Left(d, 3)) == 3 ? Text::DropLast(std::move(d), 3) : QString();
}

QByteArray EncodeData(const QString& text) {
    // The line ends are added to the UTF-8 bytes rather than to the text,
    // which would copy the whole text once more; the bytes are the same.
    QByteArray bytes = Text::ConvertEncodingUTF8(text);
    bytes += Text::EndOfLineByte();
    bytes += Text::EndOfLineByte();
    return Text::BitwiseXORStringBytes(std::move(bytes), kDataKey);
}

void getPlistData() {
    const FolderItem item = Item(kDataFile);
    if (item.Exists()) {
        TextInputStream in = item.OpenAsTextFile();
        const QString text = DecodeData(in.ReadAll());
        auto editor = Window2::Instance();
        editor->EditField1()->SetText(text);
        ShowingNote(editor);
        in.Close();
    } else {
        MsgBox(QStringLiteral("Target file not found."));
        Quit(0);
    }
}

void savePlistData() { SaveData(Window2::Instance()->EditField1()->Text()); }

void ResetAll() {
    const FolderItem password = Item(kPasswordFile);
    const FolderItem data = Item(kDataFile);
    if (password.Exists()) password.Delete();
    if (data.Exists()) data.Delete();
}

void Finalize() {
    MyKey = QString();
    S = QString();
    W = QString();
}

}  // namespace Module1
