#include <windows.h>

#include "app/file_replace.h"

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    // rename() on Windows refuses an existing target.
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
