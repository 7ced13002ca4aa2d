#pragma once

/// How reading or writing a file ended, so that a program can tell bad data from a missing file
/// and a full disk from a folder it may not write in.
enum class KXFileStatus {
    Ok,
    CannotOpen,   // missing, unreadable, a folder
    TooLarge,     // refused before being read whole
    Malformed,    // read, but not what it should hold
    CannotCreate, // an output that cannot be made or replaced
    WriteFailed,  // a write, flush or close that failed
};
