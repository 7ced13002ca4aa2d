#include "KXOutputFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXOutputFile", english, french, -1);
}
QString cannotCreateMessage(const QString& path, const QString& reason)
{
    return tr("Cannot create the file %1: %2", "Impossible de créer le fichier %1 : %2").arg(path, reason);
}
QString cannotWriteMessage(const QString& path, const QString& reason)
{
    return tr("Cannot write the file %1: %2", "Impossible d'écrire le fichier %1 : %2").arg(path, reason);
}
QString readOnlyMessage(const QString& path)
{
    return tr("Cannot replace the file %1: it is read-only", "Impossible de remplacer le fichier %1 : il est en lecture seule")
        .arg(path);
}
QString standardOutputMessage(const QString& reason)
{
    return tr("Cannot write to standard output: %1", "Impossible d'écrire sur la sortie standard : %1").arg(reason);
}

QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

KXFileStatus fail(KXFileStatus status, const QString& message, QString* error)
{
    if (error)
        *error = message;
    return status;
}

/// Writes all bytes, resuming after interruptions and partial writes; errno tells why it failed.
bool writeAll(int descriptor, const char* next, qint64 left)
{
    while (left > 0) {
        const ssize_t written = ::write(descriptor, next, size_t(qMin<qint64>(left, qint64(1) << 30)));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

/// Writes every piece the producer makes; errno tells why it failed. With early, the system is
/// asked to start putting what is written on disk every few megabytes, so that the fsync at the
/// end waits for the last of it only.
bool writeAll(int descriptor, const KXByteProducer& produce, bool early = false)
{
    const qint64 step = qint64(8) << 20;
    qint64 written = 0;
    qint64 started = 0;
    return produce([&](const char* data, qint64 size) {
        if (!writeAll(descriptor, data, size))
            return false;
        written += size;
        if (early && written - started >= step) {
            ::sync_file_range(descriptor, started, written - started, SYNC_FILE_RANGE_WRITE);
            started = written;
        }
        return true;
    });
}

KXByteProducer whole(const QByteArray& data)
{
    return [&data](const KXByteSink& sink) { return sink(data.constData(), data.size()); };
}

KXFileStatus writeStraight(const QString& path, const KXByteProducer& produce, QString* error)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CLOEXEC | O_APPEND);
    if (descriptor < 0)
        return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(errno)), error);
    bool written = false;
    try {
        written = writeAll(descriptor, produce);
    } catch (...) {
        ::close(descriptor);
        throw;
    }
    const int writeError = errno;
    if (::close(descriptor) != 0 && written)
        return fail(KXFileStatus::WriteFailed, cannotWriteMessage(path, systemReason(errno)), error);
    if (!written)
        return fail(KXFileStatus::WriteFailed, cannotWriteMessage(path, systemReason(writeError)), error);
    return KXFileStatus::Ok;
}

// A temporary is ".NAME.PID.XXXXXX" beside its target, so that a later run can tell whose it is.
QString temporaryPrefix(const QString& fileName)
{
    return QLatin1Char('.') + fileName + QLatin1Char('.');
}

/// Removes the temporaries that writes of fileName by processes no longer running left in folder.
void removeAbandonedTemporaries(const QString& folder, const QString& fileName)
{
    const QString prefix = temporaryPrefix(fileName);
    const QRegularExpression pattern(QStringLiteral("^(\\d+)\\.[^.]{6}$"));
    const QStringList entries =
        QDir(folder).entryList({prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& entry : entries) {
        const QRegularExpressionMatch match = pattern.match(entry.mid(prefix.size()));
        bool ok = false;
        const qint64 owner = match.hasMatch() ? match.captured(1).toLongLong(&ok) : 0;
        if (!ok || owner <= 0 || owner > INT_MAX || owner == ::getpid())
            continue;
        if (::kill(pid_t(owner), 0) != 0 && errno == ESRCH)
            ::unlink(QFile::encodeName(folder + QLatin1Char('/') + entry).constData());
    }
}

/// A free temporary name beside the target, for a file already written without a name.
bool linkTemporary(int descriptor, const QString& pattern, QByteArray* name)
{
    const QByteArray source = "/proc/self/fd/" + QByteArray::number(descriptor);
    for (int attempt = 0; attempt < 100; ++attempt) {
        *name = QFile::encodeName(pattern);
        // A unique suffix in the manner of mkstemp.
        static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
        for (int k = 0; k < 6; ++k)
            (*name)[name->size() - 6 + k] = letters[QRandomGenerator::global()->bounded(62)];
        if (::linkat(AT_FDCWD, source.constData(), AT_FDCWD, name->constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return false;
    }
    return false;
}

KXFileStatus replaceRegular(const QString& path, const QString& target, const struct stat* existing,
                            const KXByteProducer& produce, QString* error)
{
    const QFileInfo info(target);
    removeAbandonedTemporaries(info.absolutePath(), info.fileName());
    const QString pattern = info.absolutePath() + QLatin1Char('/') + temporaryPrefix(info.fileName())
                            + QString::number(::getpid()) + QStringLiteral(".XXXXXX");
    // Unnamed until complete, where the system offers it: a killed write then leaves nothing.
    QByteArray temporary;
    int descriptor = -1;
    if (::access("/proc/self/fd", X_OK) == 0)
        descriptor = ::open(QFile::encodeName(info.absolutePath()).constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    const bool unnamed = descriptor >= 0;
    if (!unnamed) {
        temporary = QFile::encodeName(pattern);
        descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
        if (descriptor < 0)
            return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(errno)), error);
    }
    auto abandon = [&](KXFileStatus status, const QString& message) {
        ::close(descriptor);
        if (!temporary.isEmpty())
            ::unlink(temporary.constData());
        return fail(status, message, error);
    };
    if (existing) {
        // The replacement keeps the original's permissions and, where allowed, its owner.
        [[maybe_unused]] const int owned = ::fchown(descriptor, existing->st_uid, existing->st_gid);
        ::fchmod(descriptor, existing->st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::fchmod(descriptor, 0666 & ~mask);
    }
    bool written = false;
    try {
        written = writeAll(descriptor, produce, true);
    } catch (...) {
        abandon(KXFileStatus::WriteFailed, QString());
        throw;
    }
    if (!written || ::fsync(descriptor) != 0)
        return abandon(KXFileStatus::WriteFailed, cannotWriteMessage(path, systemReason(errno)));
    if (unnamed && !linkTemporary(descriptor, pattern, &temporary)) {
        const int linkError = errno;
        temporary.clear();
        return abandon(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(linkError)));
    }
    if (::close(descriptor) != 0) {
        const int closeError = errno;
        ::unlink(temporary.constData());
        return fail(KXFileStatus::WriteFailed, cannotWriteMessage(path, systemReason(closeError)), error);
    }
    if (::rename(temporary.constData(), QFile::encodeName(target).constData()) != 0) {
        const int renameError = errno;
        ::unlink(temporary.constData());
        return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(renameError)), error);
    }
    return KXFileStatus::Ok;
}

/// A file by its device and inode; one that does not exist yet by its folder's real path and name.
struct FileIdentity
{
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    QString path;

    bool operator==(const FileIdentity& other) const
    {
        return exists == other.exists && (exists ? device == other.device && inode == other.inode : path == other.path);
    }
};

FileIdentity identify(const QString& path)
{
    FileIdentity identity;
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    // A dangling link is itself what a write replaces.
    if (::stat(name.constData(), &status) == 0 || ::lstat(name.constData(), &status) == 0) {
        identity.exists = true;
        identity.device = status.st_dev;
        identity.inode = status.st_ino;
        return identity;
    }
    const QFileInfo info(path);
    char resolved[PATH_MAX];
    if (::realpath(QFile::encodeName(info.absolutePath()).constData(), resolved))
        identity.path = QFile::decodeName(resolved) + QLatin1Char('/') + info.fileName();
    else
        identity.path = QDir::cleanPath(info.absoluteFilePath());
    return identity;
}

}

KXFileStatus KXOutputFile::write(const QString& path, const QByteArray& data, QString* error)
{
    return write(path, whole(data), error);
}

KXFileStatus KXOutputFile::write(const QString& path, const KXByteProducer& produce, QString* error)
{
    if (namesStandardOutput(path)) {
        // Into standard output at its position, after what the program printed before.
        if (std::fflush(stdout) != 0 || !writeAll(STDOUT_FILENO, produce))
            return fail(KXFileStatus::WriteFailed, standardOutputMessage(systemReason(errno)), error);
        return KXFileStatus::Ok;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::stat(name.constData(), &status) != 0) {
        if (errno != ENOENT)
            return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(errno)), error);
        return replaceRegular(path, path, nullptr, produce, error);
    }
    if (S_ISDIR(status.st_mode))
        return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(EISDIR)), error);
    // A link is followed to the file it names, so that the link stays; a link into /proc names an
    // open file of its own, which is written into.
    char resolved[PATH_MAX];
    const bool hasTarget = ::realpath(name.constData(), resolved) != nullptr;
    const QString target = hasTarget ? QFile::decodeName(resolved) : path;
    if (!S_ISREG(status.st_mode) || !hasTarget || target.startsWith(QLatin1String("/proc/")))
        return writeStraight(path, produce, error);
    if ((status.st_mode & 0222) == 0)
        return fail(KXFileStatus::CannotCreate, readOnlyMessage(path), error);
    if (::access(resolved, W_OK) != 0)
        return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(errno)), error);
    return replaceRegular(path, target, &status, produce, error);
}

bool KXOutputFile::namesStandardOutput(const QString& path)
{
    const QStringList names = {QStringLiteral("/dev/stdout"), QStringLiteral("/dev/fd/1"),
                               QStringLiteral("/proc/self/fd/1"),
                               QStringLiteral("/proc/%1/fd/1").arg(::getpid())};
    QString current = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // Links are followed one at a time: the last one, into /proc, names the file behind the descriptor.
    for (int hop = 0; hop < 40; ++hop) {
        if (names.contains(current))
            return true;
        char link[PATH_MAX];
        const ssize_t length = ::readlink(QFile::encodeName(current).constData(), link, sizeof link - 1);
        if (length <= 0)
            return false;
        const QString next = QFile::decodeName(QByteArray(link, int(length)));
        current = QDir::cleanPath(QDir::isAbsolutePath(next) ? next : QFileInfo(current).absolutePath() + QLatin1Char('/') + next);
    }
    return false;
}

bool KXOutputFile::sameFile(const QString& first, const QString& second)
{
    return identify(first) == identify(second);
}

KXFileStatus KXOutputFile::writeStandardOutput(const QByteArray& data, QString* error)
{
    return writeStandardOutput(whole(data), error);
}

KXFileStatus KXOutputFile::writeStandardOutput(const KXByteProducer& produce, QString* error)
{
    const bool written = produce([](const char* data, qint64 size) {
        return std::fwrite(data, 1, size_t(size), stdout) == size_t(size);
    });
    if (!written || std::ferror(stdout))
        return fail(KXFileStatus::WriteFailed, standardOutputMessage(systemReason(errno)), error);
    return KXFileStatus::Ok;
}

KXFileStatus KXOutputFile::finishStandardOutput(QString* error)
{
    if (std::fflush(stdout) != 0 || std::ferror(stdout))
        return fail(KXFileStatus::WriteFailed, standardOutputMessage(systemReason(errno)), error);
    // Some file systems report a failed write only when the file is closed.
    if (::close(STDOUT_FILENO) != 0 && errno != EBADF)
        return fail(KXFileStatus::WriteFailed, standardOutputMessage(systemReason(errno)), error);
    return KXFileStatus::Ok;
}
