#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

/// File reading shared by the host's readers; internal to the host library.
namespace KXHostFiles {

enum class ReadResult { Ok, CannotOpen, TooLarge, Stopped };

/// Reads the whole file unless it holds more than limit bytes; reason gets the system's explanation.
ReadResult readBounded(const QString& path, qint64 limit, QByteArray* data, QString* reason);

/// Hands the file to consume in pieces, so that a reader never holds it whole. A regular file
/// larger than limit is refused before its first byte is read; a pipe or a device is cut off
/// once it has given more than limit bytes. consume returns false to stop (Stopped).
/// A folder, a missing or unreadable file is CannotOpen with the system's reason.
ReadResult readInChunks(const QString& path, qint64 limit, const std::function<bool(const char*, qint64)>& consume,
                        QString* reason);

}
