// Files in the preferences folder, written and read as text streams.
// A file is written whole through a temporary file that replaces the old one
// only when complete; a failed write leaves the old file as it was and throws
// FileError (framework/Runtime.h). A missing folder on the way is made,
// readable by its owner only.
#pragma once

#include <QByteArray>
#include <QString>
#include <memory>

class QFile;
class QSaveFile;

class TextOutputStream {
public:
    explicit TextOutputStream(const QString& path);
    ~TextOutputStream();  // discards the file when Close was not reached
    TextOutputStream(TextOutputStream&&) noexcept;
    TextOutputStream& operator=(TextOutputStream&&) noexcept;

    // Writes the bytes unchanged, then the line end.
    void WriteLine(const QByteArray& bytes);
    void WriteLine(const QString& text);
    // Completes the file: it replaces the old one now.
    void Close();

private:
    QString path_;
    std::unique_ptr<QSaveFile> file_;
};

class TextInputStream {
public:
    explicit TextInputStream(const QString& path);
    ~TextInputStream();
    TextInputStream(TextInputStream&&) noexcept;
    TextInputStream& operator=(TextInputStream&&) noexcept;

    // The rest of the file, bytes unchanged.
    QByteArray ReadAll();
    // The next line without its line end; empty at the end of the file.
    QByteArray ReadLine();
    void Close();

private:
    QString path_;
    std::unique_ptr<QFile> file_;
};

class FolderItem {
public:
    explicit FolderItem(const QString& path) : path_(path) {}

    FolderItem Child(const QString& name) const;
    bool Exists() const;
    // Deletes the file; for a symbolic link, the file the link leads to as
    // well, since that is the one a write through it changed.
    void Delete() const;
    TextOutputStream CreateTextFile() const;
    TextInputStream OpenAsTextFile() const;
    const QString& NativePath() const { return path_; }

private:
    QString path_;
};

namespace SpecialFolder {
// The user's preferences folder: $XDG_CONFIG_HOME when it is an absolute
// path, else .config in the home folder ($HOME, else the account's). It is
// made, 0700, by the first file written into it.
FolderItem Preferences();
}  // namespace SpecialFolder

// One running copy per preferences folder: an advisory lock (flock) on a
// file there, held while this object lives. The system releases it when the
// process ends in any way, so whatever a copy that no longer runs left in the
// file (nothing, garbage, its process number) never locks the user out.
class PreferencesLock {
public:
    explicit PreferencesLock(const QString& name);
    ~PreferencesLock();
    PreferencesLock(const PreferencesLock&) = delete;
    PreferencesLock& operator=(const PreferencesLock&) = delete;

    // False only while another running copy holds the lock.
    bool TryLock();

private:
    QString path_;
    int fd_ = -1;
};
