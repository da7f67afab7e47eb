#include <cstdio>

#include "app/file_replace.h"

bool ReplaceFileAtomically(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}
