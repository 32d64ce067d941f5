#include "paths.h"
#include "../platform.h"

bool NeedsFolderSeparator(const char* folder) {
  size_t length = strlen(folder);
  if (length == 0) return false;
  if (folder[length - 1] != '\\') return true;
  if (length == 1) return false;
  return IsLeadByte((unsigned char)folder[length - 2]);
}

bool AppendFolderSeparator(char* folder, size_t size) {
  return !NeedsFolderSeparator(folder) || AppendText(folder, size, "\\");
}

bool CopyText(char* out, size_t size, const char* text) {
  out[0] = 0;
  return AppendText(out, size, text);
}

bool AppendText(char* out, size_t size, const char* text) {
  size_t used = strlen(out), length = strlen(text);
  if (used + length >= size) return false;
  memcpy(out + used, text, length + 1);
  return true;
}

bool JoinFolderPath(char* out, size_t size, const char* folder, const char* name) {
  if (CopyText(out, size, folder) && AppendFolderSeparator(out, size) && AppendText(out, size, name))
    return true;
  out[0] = 0;
  return false;
}

void ReplaceSeparators(char* text, char ch) {
  for (unsigned char* p = (unsigned char*)text; *p; ++p) {
    if (IsLeadByte(*p)) {
      if (!p[1]) break;
      ++p;
    } else if (*p == '\\' || *p == '/' || *p == 0xFF) {
      *p = (unsigned char)ch;
    }
  }
}

void BackslashesToSlashes(char* text, size_t length) {
  unsigned char* p = (unsigned char*)text;
  for (size_t i = 0; i < length; ++i) {
    if (IsLeadByte(p[i]) && i + 1 < length && p[i + 1] >= 0x40 && p[i + 1] <= 0xFC && p[i + 1] != 0x7F) {
      ++i;
    } else if (p[i] == '\\') {
      p[i] = '/';
    }
  }
}

// A '/' is never the second byte of a double-byte character (those are
// 0x40 and above), so the last byte tells.
bool EndsWithSlash(const char* text) {
  size_t length = strlen(text);
  return length && text[length - 1] == '/';
}

// A component made of dots and blanks with at least two dots reaches the
// parent folder once Windows has stripped its trailing dots and blanks.
static bool IsParentComponent(const char* start, size_t length) {
  size_t dots = 0;
  for (size_t i = 0; i < length; ++i) {
    if (start[i] == '.') ++dots;
    else if (start[i] != ' ') return false;
  }
  return dots >= 2;
}

// Checked byte by byte, a backslash counting as a separator even after a
// lead byte: on a system whose code page is not Shift-JIS it is one, and the
// few Japanese names this refuses are a small price for never writing
// outside the destination folder.
bool IsSafeMemberPath(const char* path) {
  if (path[0] == '/' || path[0] == '\\') return false;
  const char* component = path;
  for (const char* p = path;; ++p) {
    if (*p == ':') return false;
    if (*p == '/' || *p == '\\' || *p == 0) {
      if (IsParentComponent(component, (size_t)(p - component))) return false;
      if (*p == 0) return true;
      component = p + 1;
    }
  }
}
