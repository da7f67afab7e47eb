#pragma once
// Whole small files, through the platform's own file calls. Paths are UTF-8
// text (on Windows they go through the wide calls, so a folder named in any
// script works).
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
    FolderNotWritable,  // no right to create or replace files there, a read-only file or medium
    FolderMissing,      // the folder is gone (deleted while the program runs)
    DiskFull,
    Failed,             // anything else
};

// Writes `text` to a new file beside `path`, then moves it over `path` in one
// step, so a failed write never leaves `path` half-written.
FileWrite ReplaceFileWith(const std::string& path, const std::string& text);

// True when ReplaceFileWith(path) can work as far as rights go: a new file
// can be made in the folder, and `path` is missing or not read-only.
bool CanReplaceFile(const std::string& path);

// UTF-16 text (little endian, two bytes a character) spelt in the system's
// ANSI code page; a character it lacks becomes its nearest letter or '?'.
std::string UnicodeToAnsi(const std::string& utf16);
