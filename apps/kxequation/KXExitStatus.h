#pragma once

#include "KXFileStatus.h"

#include <QString>

/// The exit statuses of kxequation, which scripts rely on; --help and the README list them.
namespace KXExitStatus {

enum Status : int {
    Success = 0,
    Failure = 1,       // a formula or computation failure
    Unreadable = 2,    // eval: the formula cannot be read
    Usage = 64,        // a wrong command line; the only status that prints the usage text
    DataError = 65,    // malformed or oversized input data (CSV, equation file)
    NoInput = 66,      // an input that cannot be opened: missing, unreadable, a folder
    CannotCreate = 73, // an output that cannot be created or replaced
    IoError = 74,      // a write error, standard output included
    // Stopped by a signal: 128 and the signal's number, as shells report it.
    HungUp = 129,      // SIGHUP
    Interrupted = 130, // SIGINT, Ctrl-C
    Terminated = 143,  // SIGTERM
};

/// A failure that ends the program with its status; its message names the file and the reason,
/// and is printed without the usage text.
struct Error
{
    int status;
    QString message;
};

inline int forFile(KXFileStatus status)
{
    switch (status) {
    case KXFileStatus::Ok:
        return Success;
    case KXFileStatus::CannotOpen:
        return NoInput;
    case KXFileStatus::TooLarge:
    case KXFileStatus::Malformed:
        return DataError;
    case KXFileStatus::CannotCreate:
        return CannotCreate;
    case KXFileStatus::WriteFailed:
        return IoError;
    }
    return Failure;
}

}
