#include "KXOutputFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
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

/// Writes every piece the producer makes; errno tells why it failed.
bool writeAll(int descriptor, const KXByteProducer& produce)
{
    return produce([descriptor](const char* data, qint64 size) { return writeAll(descriptor, data, size); });
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

KXFileStatus replaceRegular(const QString& path, const QString& target, const struct stat* existing,
                            const KXByteProducer& produce, QString* error)
{
    const QFileInfo info(target);
    QByteArray temporary = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()
                                             + QStringLiteral(".XXXXXX"));
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0)
        return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(errno)), error);
    auto abandon = [&](KXFileStatus status, const QString& message) {
        ::close(descriptor);
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
        written = writeAll(descriptor, produce);
    } catch (...) {
        abandon(KXFileStatus::WriteFailed, QString());
        throw;
    }
    if (!written || ::fsync(descriptor) != 0)
        return abandon(KXFileStatus::WriteFailed, cannotWriteMessage(path, systemReason(errno)));
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

}

KXFileStatus KXOutputFile::write(const QString& path, const QByteArray& data, QString* error)
{
    return write(path, whole(data), error);
}

KXFileStatus KXOutputFile::write(const QString& path, const KXByteProducer& produce, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status;
    if (::stat(name.constData(), &status) != 0) {
        if (errno != ENOENT)
            return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(errno)), error);
        return replaceRegular(path, path, nullptr, produce, error);
    }
    if (S_ISDIR(status.st_mode))
        return fail(KXFileStatus::CannotCreate, cannotCreateMessage(path, systemReason(EISDIR)), error);
    // A link is followed to the file it names, so that the link stays; a link into /proc (such as
    // /dev/stdout) names an open file of its own, which is written into.
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
