#include "system/local_files.h"

#include <windows.h>

#include "file_times.h"
#include "wide_text.h"

const char kLocalPathSeparators[] = "/\\";

FILE* OpenLocalFile(const std::string& path, const char* mode) {
  std::wstring wideMode;
  Utf8ToWide(mode, &wideMode);
  return _wfopen(WidePath(path).c_str(), wideMode.c_str());
}

bool RemoveLocalFile(const std::string& path) { return DeleteFileW(WidePath(path).c_str()) != 0; }

bool MoveLocalFile(const std::string& from, const std::string& to) {
  return MoveFileExW(WidePath(from).c_str(), WidePath(to).c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

LocalPathKind KindOfLocalPath(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return PATH_MISSING;
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? PATH_FOLDER : PATH_FILE;
}

bool MakeLocalFolder(const std::string& path) { return CreateDirectoryW(WidePath(path).c_str(), nullptr) != 0; }

// The current folder cannot take the long-path prefix.
bool EnterLocalFolder(const std::string& path) {
  std::wstring wide;
  return !path.empty() && Utf8ToWide(path, &wide) && SetCurrentDirectoryW(wide.c_str());
}

std::string CurrentLocalFolder() {
  std::wstring path(GetCurrentDirectoryW(0, nullptr), L'\0');
  path.resize(GetCurrentDirectoryW((DWORD)path.size(), &path[0]));
  return WideToUtf8(path);
}

bool SetLocalFileTime(const std::string& path, int64_t unixTime) {
  const HANDLE file = CreateFileW(WidePath(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const FILETIME time = FileTimeOfUnixTime(unixTime);
  const bool set = SetFileTime(file, nullptr, &time, &time) != 0;
  CloseHandle(file);
  return set;
}
