#pragma once
// Whole small files, through the platform's own file calls.
#include <cstddef>
#include <string>

enum class FileRead { Read, Missing, Unreadable };

// Reads at most `maxBytes` from the start of the file at `path`. A file that
// exists but cannot be opened or read (held open without sharing by another
// program, a folder, no rights) is Unreadable, not Missing.
FileRead ReadFileStart(const std::string& path, size_t maxBytes, std::string& text);

// Why a write failed, in the terms a user can act on.
enum class FileWrite {
    Written,
    InUse,              // another program holds the file
    FolderNotWritable,  // no right to create or replace files there, or a read-only medium
    DiskFull,
    Failed,             // anything else
};

// Writes `text` to a new file beside `path`, then moves it over `path` in one
// step, so a failed write never leaves `path` half-written.
FileWrite ReplaceFileWith(const std::string& path, const std::string& text);
