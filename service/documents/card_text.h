#pragma once
// Text hygiene at the two borders of the service: names going into the
// card's documents, and search texts coming from the card.
#include <cstddef>
#include <string>

// A UTF-8 name turned into the text the card shows. Where every character
// of the name fits the card's code page (card_code_page.h: on Windows the
// machine's ANSI code page; on Linux only ASCII does), the name is written
// in it, with the same limits on punctuation and length (in bytes, whole
// characters only). Otherwise it is made ASCII (AsciiCardText).
std::string CardText(const std::string& utf8, std::size_t maxLength);

// A UTF-8 name turned into the plain ASCII the card shows: other scripts
// are transliterated (SystemLatinAscii: "Da Lat", "Moskva", "Bei Jing Shi",
// a name without Latin letters getting capitals at word starts), what is
// left over is dropped, punctuation is limited to . , ' ( ) - so no name can
// contain a tag, a quote or an attribute name the card searches for. Runs of
// spaces are collapsed, the ends trimmed, and the result cut to at most
// `maxLength` characters.
std::string AsciiCardText(const std::string& utf8, std::size_t maxLength);

// Supplied by the platform layer: valid UTF-8 written in Latin letters and
// ASCII as ICU's "Any-Latin; Latin-ASCII" writes it. Linux uses Debian's
// libicu; Windows the system's icu.dll (Windows 10 1903 and later), else
// the built-in table (FallbackLatinAscii).
std::string SystemLatinAscii(const std::string& utf8);

// Bytes typed into the card's search box (the card sends them unencoded,
// in its machine's ANSI code page) turned into valid UTF-8 for the
// upstream: read as card_code_page.h says (on Linux: UTF-8 when they are
// valid UTF-8, else Windows-1252), control characters become spaces,
// spaces are collapsed and trimmed, and the result is cut to at most
// `maxBytes` bytes on a character boundary.
std::string SearchText(const std::string& bytes, std::size_t maxBytes);

// True when `s` is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(const std::string& s);
