#include "wide_text.h"

#include <windows.h>

bool CodePageToWide(unsigned codePage, const std::string& text, std::wstring* wide) {
  wide->clear();
  if (text.empty()) return true;
  const int length = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), nullptr, 0);
  if (length <= 0) return false;
  wide->resize(length);
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), (int)text.size(), &(*wide)[0], length) ==
         length;
}

bool Utf8ToWide(const std::string& utf8, std::wstring* wide) { return CodePageToWide(CP_UTF8, utf8, wide); }

std::string WideToUtf8(const std::wstring& wide) {
  if (wide.empty()) return "";
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? length : 0, '\0');
  if (length > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), (int)wide.size(), &utf8[0], length, nullptr, nullptr);
  return utf8;
}

std::wstring WidePath(const std::string& utf8) {
  std::wstring path;
  if (!Utf8ToWide(utf8, &path) || path.empty()) return path;
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (!size) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, &full[0], nullptr);
  if (!length || length >= size) return path;
  full.resize(length);
  // Already prefixed, or a device (\\.\NUL).
  if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0) return full;
  // A share (\\server\share\...) takes the prefix of its own.
  if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
  return L"\\\\?\\" + full;
}
