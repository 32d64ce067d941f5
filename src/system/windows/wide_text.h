// Windows names and texts are UTF-16; the program's are UTF-8.
#pragma once
#include <string>

// `text`, in code page `codePage`, whole or not at all: false when it is
// not valid in it.
bool CodePageToWide(unsigned codePage, const std::string& text, std::wstring* wide);
bool Utf8ToWide(const std::string& utf8, std::wstring* wide);
// A character Windows lets through unpaired (half of a surrogate pair)
// becomes U+FFFD, which nothing takes for a real name's character.
std::string WideToUtf8(const std::wstring& wide);

// A path for the wide-character file calls: absolute, with the prefix
// that lifts their limit of 259 characters.
std::wstring WidePath(const std::string& utf8);
