#pragma once
#include <string>

// Moves `from` over `to` in one step (the old `to` is replaced, never left
// half-written). Returns false when the move failed.
bool ReplaceFileAtomically(const std::string& from, const std::string& to);
