#pragma once

#include <QByteArray>
#include <QString>

/// File reading shared by the host's readers; internal to the host library.
namespace KXHostFiles {

enum class ReadResult { Ok, CannotOpen, TooLarge };

/// Reads the whole file unless it holds more than limit bytes; reason gets the system's explanation.
ReadResult readBounded(const QString& path, qint64 limit, QByteArray* data, QString* reason);

}
