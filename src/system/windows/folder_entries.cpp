#include "system/folder_entries.h"

#include <windows.h>

#include "file_times.h"
#include "wide_text.h"

// A reparse point (a symbolic link, a junction) is left out as a link is
// on Linux: it may lead outside the folder, or back into it.
static FolderEntry::Kind KindOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return FolderEntry::OTHER;
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? FolderEntry::FOLDER : FolderEntry::REGULAR_FILE;
}

bool ReadFolderEntries(const std::string& folder, std::vector<FolderEntry>* entries, std::string* unreadable) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((WidePath(folder) + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    *unreadable = folder;
    return false;
  }
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    FolderEntry entry;
    entry.name = WideToUtf8(name);
    entry.kind = KindOf(found.dwFileAttributes);
    entry.size = (uint64_t)found.nFileSizeHigh << 32 | found.nFileSizeLow;
    entry.mtime = UnixTimeOfFileTime(found.ftLastWriteTime);
    entries->push_back(entry);
  } while (FindNextFileW(search, &found));
  const bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  if (!complete) *unreadable = folder;
  return complete;
}
