#include "KXHostFiles.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace KXHostFiles {

namespace {
QString systemReason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}
}

ReadResult readBounded(const QString& path, qint64 limit, QByteArray* data, QString* reason)
{
    data->clear();
    return readInChunks(
        path, limit,
        [data](const char* bytes, qint64 size) {
            data->append(bytes, int(size));
            return true;
        },
        reason);
}

ReadResult readInChunks(const QString& path, qint64 limit, const std::function<bool(const char*, qint64)>& consume,
                        QString* reason)
{
    const int descriptor = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) {
        if (reason)
            *reason = systemReason(errno);
        return ReadResult::CannotOpen;
    }
    struct Closer {
        int descriptor;
        ~Closer() { ::close(descriptor); }
    } closer{descriptor};
    struct stat status;
    if (::fstat(descriptor, &status) != 0 || S_ISDIR(status.st_mode)) {
        if (reason)
            *reason = systemReason(S_ISDIR(status.st_mode) ? EISDIR : errno);
        return ReadResult::CannotOpen;
    }
    if (S_ISREG(status.st_mode) && status.st_size > limit)
        return ReadResult::TooLarge;

    const qint64 chunk = 1 << 20;
    std::vector<char> buffer(static_cast<size_t>(chunk));
    qint64 total = 0;
    for (;;) {
        const ssize_t got = ::read(descriptor, buffer.data(), buffer.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            if (reason)
                *reason = systemReason(errno);
            return ReadResult::CannotOpen;
        }
        if (got == 0)
            return ReadResult::Ok;
        total += got;
        // A file that grew after fstat is cut off here too.
        if (total > limit)
            return ReadResult::TooLarge;
        if (!consume(buffer.data(), got))
            return ReadResult::Stopped;
    }
}

}
