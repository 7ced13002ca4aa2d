#include "KXHostFiles.h"

#include <QFile>

namespace KXHostFiles {

ReadResult readBounded(const QString& path, qint64 limit, QByteArray* data, QString* reason)
{
    data->clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (reason)
            *reason = file.errorString();
        return ReadResult::CannotOpen;
    }
    if (!file.isSequential()) {
        if (file.size() > limit)
            return ReadResult::TooLarge;
        *data = file.readAll();
        if (data->size() > limit) {
            data->clear();
            return ReadResult::TooLarge;
        }
        return ReadResult::Ok;
    }
    // Pipes and devices tell no size: read in chunks and stop past the limit.
    const qint64 chunk = 64 * 1024;
    for (;;) {
        const QByteArray part = file.read(chunk);
        if (part.isEmpty())
            break;
        if (data->size() + part.size() > limit) {
            data->clear();
            return ReadResult::TooLarge;
        }
        data->append(part);
    }
    return ReadResult::Ok;
}

}
