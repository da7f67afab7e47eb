#pragma once
// ASCII text helpers for protocol text (request lines, options, JSON keys):
// the C locale's white space and letters, whatever the process's locale.
#include <string>

// True for ' ', '\t', '\n', '\v', '\f' and '\r'.
bool IsAsciiSpace(char c);
// `s` without the white space at either end.
std::string AsciiTrim(const std::string& s);
// 'A'-'Z' made 'a'-'z'; every other byte as it is.
char AsciiLower(char c);
std::string AsciiLower(std::string s);
// The value of a hex digit ('0'-'9', 'a'-'f', 'A'-'F'), -1 for anything else.
int HexDigitValue(char c);
