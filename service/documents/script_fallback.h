#pragma once
// Latin ASCII for names in other scripts without ICU (cloudwick-feed.exe on
// Windows before 10 1903, or under Wine, where there is no icu.dll): each
// character as ICU's "Any-Latin; Latin-ASCII" writes it on its own, from a
// table made from the build machine's ICU (service/gen/script_table.py).
// Covers Latin, Greek, Cyrillic, Armenian, Georgian, Hebrew and Arabic
// letters, kana, the common CJK ideographs and Hangul. ICU looks at
// neighbouring characters too, so for some scripts (kana, Greek, Arabic)
// the result can differ from ICU's in detail; Latin names come out the same.
#include <string>

// `utf8` (valid UTF-8) with every character the table knows replaced by
// its spelling; other non-ASCII characters are dropped. Ideographs are
// written as separate syllables ("bei jing"), as ICU writes them.
std::string FallbackLatinAscii(const std::string& utf8);
