// Path rules shared by the whole program: Shift-JIS aware separators, the
// folder separator rule, and the check that keeps members inside the
// destination folder.
#pragma once
#include <stddef.h>

// First byte of a Shift-JIS double-byte character: 0x80-0x9F or 0xE0-0xFC.
inline bool IsLeadByte(unsigned char c) {
  return (c >= 0x80 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// True when a backslash has to be put between `folder` and a name: the text
// is not empty and does not already end in a backslash of its own (one after
// a lead byte is the second half of a double-byte character).
bool NeedsFolderSeparator(const char* folder);

// Appends a backslash by that rule if it fits in `size` bytes; false if not.
bool AppendFolderSeparator(char* folder, size_t size);

// Joins folder, a backslash by the folder separator rule, and name into
// `out` of `size` bytes. False (and `out` empty) if the result does not fit:
// a path is never cut short.
bool JoinFolderPath(char* out, size_t size, const char* folder, const char* name);

// Copies `text` into `out` of `size` bytes; false (out empty) if it does not fit.
bool CopyText(char* out, size_t size, const char* text);
// Appends `text`; false (out unchanged) if the result does not fit.
bool AppendText(char* out, size_t size, const char* text);

// Replaces every '\', '/' and 0xFF that is a character of its own by `ch`.
void ReplaceSeparators(char* text, char ch);

// Over the first `length` bytes, turns every backslash that is not the
// second byte of a double-byte character into '/'.
void BackslashesToSlashes(char* text, size_t length);

// True when the last character of `text` is a '/' of its own.
bool EndsWithSlash(const char* text);

// A member path may only name something below the destination folder: no
// drive or stream colon, no leading separator, no ".." component (Windows
// strips trailing dots and blanks, so "..." and ".. " count as well).
bool IsSafeMemberPath(const char* path);
