#pragma once
// How the card's bytes meet the service's UTF-8. The card sends a search
// as it was typed, in its machine's ANSI code page, and shows the names it
// gets in that code page too.
//
// Supplied by the platform layer:
// - Linux (core/card_code_page_posix.cpp): bytes that are valid UTF-8 are
//   read as UTF-8, others as Windows-1252 (Utf8OrWindows1252); names stay
//   ASCII, as the card's machine is not known.
// - Windows (windows/code_page_win.cpp): the machine's ANSI code page
//   (GetACP) both ways.
#include <string>
#include <vector>

// The card's bytes as valid UTF-8.
std::string CardBytesToUtf8(const std::string& bytes);

// The bytes of each character of `utf8` (valid UTF-8) in the card's code
// page, one string per character, when every character has an exact form
// there (no best-fit substitutes); false when one has not.
bool CardCharacters(const std::string& utf8, std::vector<std::string>& chars);

// The Linux program's reading: valid UTF-8 as it is, anything else as
// Windows-1252 (its unassigned bytes dropped).
std::string Utf8OrWindows1252(const std::string& bytes);
