#pragma once

#include "KXFileStatus.h"
#include "KXHostGlobal.h"

#include <QByteArray>
#include <QString>

#include <functional>

/// Takes the bytes of an output in order, piece by piece; false when they could not be written.
using KXByteSink = std::function<bool(const char* data, qint64 size)>;
/// Hands a whole output to a sink; false when the sink refused a piece.
using KXByteProducer = std::function<bool(const KXByteSink& sink)>;

/// Writes whole outputs without ever losing a file or reporting a failed write as a success.
/// A regular file is written to a temporary in its folder, then renamed over it with the
/// original's permissions; a file not writable by its mode is refused, even for root. The
/// temporary has no name until it is complete where the file system allows it, so that a killed
/// program leaves nothing behind; elsewhere its name carries the process id, and a later write
/// into the same folder removes it once that process is gone. Anything else (a device, a FIFO, a
/// socket) is written straight into, never replaced; a name of standard output (/dev/stdout,
/// /dev/fd/1) writes into standard output, whatever it is, at its position.
class KXHOST_EXPORT KXOutputFile
{
public:
    /// On failure error names the file and gives the system's reason.
    static KXFileStatus write(const QString& path, const QByteArray& data, QString* error);
    /// The same for an output made piece by piece, which is never held whole in memory.
    static KXFileStatus write(const QString& path, const KXByteProducer& produce, QString* error);
    /// Writes to standard output and checks the write.
    static KXFileStatus writeStandardOutput(const QByteArray& data, QString* error);
    static KXFileStatus writeStandardOutput(const KXByteProducer& produce, QString* error);
    /// Flushes and closes standard output, so that a late failure (a full disk) is seen.
    static KXFileStatus finishStandardOutput(QString* error);

    /// Whether path names this process's standard output, directly or through links.
    static bool namesStandardOutput(const QString& path);
    /// Whether two paths name the same file by any spelling, links followed; a file that does not
    /// exist yet is named by its folder's real path and its name.
    static bool sameFile(const QString& first, const QString& second);
};
