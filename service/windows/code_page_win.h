#pragma once
// The card's code page on Windows: the machine's ANSI code page (GetACP),
// the one the card's ANSI windows type and show text in. Defines the
// platform side of core/card_code_page.h; these name it for tests.
#include <string>
#include <vector>

// The ANSI code page in use (1252 on a Western PC, 1251 on a Russian one).
unsigned CardCodePage();

// The UTF-8 text of `bytes` read in `codePage`; and the bytes of each
// character of `utf8` in `codePage`, false when one has no exact form there.
std::string CodePageToUtf8(unsigned codePage, const std::string& bytes);
bool CodePageCharacters(unsigned codePage, const std::string& utf8, std::vector<std::string>& chars);
