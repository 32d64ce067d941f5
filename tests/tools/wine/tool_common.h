// Small shared pieces of the Windows test programs: arguments as ANSI text,
// output as UTF-8 bytes written straight to the standard handles (no console
// code-page conversion), and hex dumps.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

// Converts text from one code page to another through UTF-16.
static inline char* ConvertText(const char* text, int length, UINT from, UINT to) {
  int wide = MultiByteToWideChar(from, 0, text, length, 0, 0);
  WCHAR* buffer = (WCHAR*)calloc((size_t)wide + 1, sizeof(WCHAR));
  MultiByteToWideChar(from, 0, text, length, buffer, wide);
  int bytes = WideCharToMultiByte(to, 0, buffer, wide, 0, 0, 0, 0);
  char* out = (char*)calloc((size_t)bytes + 1, 1);
  WideCharToMultiByte(to, 0, buffer, wide, out, bytes, 0, 0);
  free(buffer);
  return out;
}

static inline char* WideToCodePage(const WCHAR* text, UINT to) {
  int bytes = WideCharToMultiByte(to, 0, text, -1, 0, 0, 0, 0);
  char* out = (char*)calloc((size_t)bytes + 1, 1);
  WideCharToMultiByte(to, 0, text, -1, out, bytes, 0, 0);
  return out;
}

static inline void WriteHandle(DWORD which, const char* text) {
  DWORD written;
  WriteFile(GetStdHandle(which), text, (DWORD)strlen(text), &written, 0);
}

// printf-style output to stdout (Out) or stderr (Err); the text is passed
// through as bytes.
static inline void WriteFormatted(DWORD which, const char* format, va_list args) {
  char buffer[8192];
  _vsnprintf(buffer, sizeof buffer - 1, format, args);
  buffer[sizeof buffer - 1] = 0;
  WriteHandle(which, buffer);
}

static inline void Out(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(STD_OUTPUT_HANDLE, format, args);
  va_end(args);
}

static inline void Err(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteFormatted(STD_ERROR_HANDLE, format, args);
  va_end(args);
}

// ANSI text (the system code page, Shift-JIS under Japanese settings) as a
// new UTF-8 string.
static inline char* AnsiToUtf8(const char* text, int length) { return ConvertText(text, length, CP_ACP, CP_UTF8); }

// The program's arguments in the ANSI code page; argv[0] is the program.
static inline char** AnsiArguments(int* count) {
  WCHAR** wide = CommandLineToArgvW(GetCommandLineW(), count);
  char** out = (char**)calloc((size_t)*count + 1, sizeof(char*));
  for (int i = 0; i < *count; ++i) out[i] = WideToCodePage(wide[i], CP_ACP);
  return out;
}

// The arguments as UTF-8 (for comparing with text read back as UTF-8).
static inline char** Utf8Arguments(int* count) {
  WCHAR** wide = CommandLineToArgvW(GetCommandLineW(), count);
  char** out = (char**)calloc((size_t)*count + 1, sizeof(char*));
  for (int i = 0; i < *count; ++i) out[i] = WideToCodePage(wide[i], CP_UTF8);
  return out;
}

static inline char* HexBytes(const unsigned char* bytes, DWORD count) {
  char* out = (char*)calloc((size_t)count * 2 + 1, 1);
  for (DWORD i = 0; i < count; ++i) sprintf(out + 2 * i, "%02x", bytes[i]);
  return out;
}
