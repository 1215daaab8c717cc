#include "framework/Files.h"

#include "framework/Runtime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr char kLineEnd = '\n';

// Makes the folder and every missing folder above it, each readable by its
// owner only (0700) whatever the umask: a folder that others may list tells
// them the note's size, when it was last written and whether the program
// runs. A folder that is already there keeps its mode. When the folder
// cannot be made, FileError names it with the system's reason.
void MakeFolder(const QString& folder) {
    const auto fail = [&folder](int error) {
        throw FileError("make", folder, QString::fromLocal8Bit(std::strerror(error)), FileError::Kind::Folder);
    };
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QDir(folder).absolutePath()));
    for (qsizetype end = path.indexOf('/', 1);; end = path.indexOf('/', end + 1)) {
        const QByteArray step = end < 0 ? path : path.left(end);
        struct stat st {};
        if (::stat(step.constData(), &st) != 0) {
            if (::mkdir(step.constData(), 0700) == 0) ::chmod(step.constData(), 0700);
            else if (errno != EEXIST) fail(errno);  // EEXIST: made meanwhile by another
            if (::stat(step.constData(), &st) != 0) fail(errno);
        }
        if (!S_ISDIR(st.st_mode)) fail(ENOTDIR);
        if (end < 0) return;
    }
}

// The user's home folder: $HOME, else the account's (a session started
// without HOME, by a service or `env -i`, still has one).
QString HomeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty()) return home;
    if (const passwd* account = ::getpwuid(::getuid()); account && account->pw_dir && *account->pw_dir)
        return QFile::decodeName(account->pw_dir);
    return QStringLiteral("/");
}
}  // namespace

TextOutputStream::TextOutputStream(const QString& path)
    : path_(path), file_(std::make_unique<QSaveFile>(path)) {
    MakeFolder(QFileInfo(path).absolutePath());
    file_->setDirectWriteFallback(false);
    // Unbuffered, so that a short write (a full disk, a size limit) shows in
    // the count that write() returns; a buffered device can drop the rest of
    // its buffer on close without any error.
    if (!file_->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw FileError("write", path_, file_->errorString());
    // Private notes: readable and writable by their owner only. A file system
    // that cannot keep it so (no Unix permissions) fails the write rather
    // than leave the note readable by others.
    const QFileDevice::Permissions owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup |
                                            QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                            QFileDevice::WriteOther | QFileDevice::ExeOther;
    if (!file_->setPermissions(owner) || (file_->permissions() & others)) {
        const QString reason = file_->error() == QFileDevice::PermissionsError
                                   ? file_->errorString()
                                   : QStringLiteral("it cannot be kept private to its owner here");
        file_.reset();
        throw FileError("write", path_, reason);
    }
}

TextOutputStream::~TextOutputStream() = default;  // an uncommitted QSaveFile is discarded
TextOutputStream::TextOutputStream(TextOutputStream&&) noexcept = default;
TextOutputStream& TextOutputStream::operator=(TextOutputStream&&) noexcept = default;

void TextOutputStream::WriteLine(const QByteArray& bytes) {
    if (!file_) throw FileError("write", path_, QStringLiteral("the file is already closed"));
    errno = 0;
    const qint64 written = file_->write(bytes);
    if (written != bytes.size() || !file_->putChar(kLineEnd)) {
        // A short write is no error to Qt; the system's reason is in errno.
        QString reason = file_->error() != QFileDevice::NoError ? file_->errorString()
                         : errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                      : QStringLiteral("only %1 of %2 bytes could be written")
                                            .arg(std::max<qint64>(written, 0))
                                            .arg(bytes.size() + 1);
        file_.reset();  // discards the temporary file; the old file stays
        throw FileError("write", path_, reason);
    }
}

void TextOutputStream::WriteLine(const QString& text) { WriteLine(text.toUtf8()); }

void TextOutputStream::Close() {
    if (!file_) return;
    if (!file_->commit()) {
        const QString reason = file_->errorString();
        file_.reset();
        throw FileError("write", path_, reason);
    }
    file_.reset();
}

TextInputStream::TextInputStream(const QString& path)
    : path_(path), file_(std::make_unique<QFile>(path)) {
    if (!file_->open(QIODevice::ReadOnly)) throw FileError("read", path_, file_->errorString());
}

TextInputStream::~TextInputStream() = default;
TextInputStream::TextInputStream(TextInputStream&&) noexcept = default;
TextInputStream& TextInputStream::operator=(TextInputStream&&) noexcept = default;

QByteArray TextInputStream::ReadAll() {
    if (!file_) return QByteArray();
    QByteArray all = file_->readAll();
    if (file_->error() != QFileDevice::NoError) throw FileError("read", path_, file_->errorString());
    return all;
}

QByteArray TextInputStream::ReadLine() {
    if (!file_ || file_->atEnd()) return QByteArray();
    QByteArray line = file_->readLine();
    if (file_->error() != QFileDevice::NoError) throw FileError("read", path_, file_->errorString());
    if (line.endsWith(kLineEnd)) line.chop(1);
    return line;
}

void TextInputStream::Close() { file_.reset(); }

FolderItem FolderItem::Child(const QString& name) const {
    return FolderItem(QDir(path_).filePath(name));
}

bool FolderItem::Exists() const { return QFileInfo::exists(path_); }

void FolderItem::Delete() const {
    // A write through a symbolic link (a dotfile manager keeps the file
    // elsewhere and links it in) goes to the file at the end of the links,
    // as QSaveFile follows them: that file goes first, then each link on
    // the way, back to the one named here. A loop of links names no file.
    QStringList links;
    QFileInfo info(path_);
    while (info.isSymLink() && !links.contains(info.absoluteFilePath())) {
        links.prepend(info.absoluteFilePath());
        info.setFile(info.symLinkTarget());
    }
    QStringList gone = links;
    if (!info.isSymLink() && info.exists()) gone.prepend(info.absoluteFilePath());
    if (links.isEmpty()) gone = QStringList{path_};
    for (const QString& path : gone) {
        QFile file(path);
        if (!file.remove()) throw FileError("delete", path, file.errorString());
    }
}

TextOutputStream FolderItem::CreateTextFile() const { return TextOutputStream(path_); }

TextInputStream FolderItem::OpenAsTextFile() const { return TextInputStream(path_); }

FolderItem SpecialFolder::Preferences() {
    // A relative XDG_CONFIG_HOME is ignored, as the base-directory rules
    // say: taken from wherever the program starts, it would give each start
    // folder a notebook of its own.
    const QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(config)) return FolderItem(QDir::cleanPath(config));
    return FolderItem(QDir::cleanPath(HomeFolder() + QStringLiteral("/.config")));
}

PreferencesLock::PreferencesLock(const QString& name)
    : path_(SpecialFolder::Preferences().Child(name).NativePath()) {}

PreferencesLock::~PreferencesLock() {
    if (fd_ < 0) return;
    // Removed while still held, so no other copy can hold the same file.
    ::unlink(QFile::encodeName(path_).constData());
    ::close(fd_);
}

bool PreferencesLock::TryLock() {
    if (fd_ >= 0) return true;
    try {
        MakeFolder(SpecialFolder::Preferences().NativePath());
    } catch (const FileError&) {
        return true;  // no folder: the writes that follow report it
    }
    const QByteArray path = QFile::encodeName(path_);
    for (int attempt = 0; attempt < 8; ++attempt) {
        int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            // A file this copy may not open at all is no running copy's:
            // put a new one in its place, once.
            if (attempt == 0 && ::unlink(path.constData()) == 0) continue;
            // A folder where no lock can be made at all is left to the
            // writes that follow, which report it.
            return true;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) return false;
            return true;  // a file system without locks
        }
        // The file may have been removed by the copy that held it just
        // before this one took the lock: then lock the file now there.
        struct stat held {}, named {};
        if (::fstat(fd, &held) != 0 || ::stat(path.constData(), &named) != 0 ||
            held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
            ::close(fd);
            continue;
        }
        fd_ = fd;
        // For the reader only: which process holds it.
        const QByteArray pid = QByteArray::number(qint64(::getpid())) + '\n';
        if (::ftruncate(fd_, 0) == 0) {
            [[maybe_unused]] const ssize_t written = ::write(fd_, pid.constData(), size_t(pid.size()));
        }
        return true;
    }
    return true;
}
