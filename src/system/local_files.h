// Files and folders of the machine the publisher's tools run on, named in
// UTF-8 on both systems: Linux takes the names' bytes as they are, Windows
// gets them through its wide-character calls, so that any name works
// whatever the system's code page, and a path may be longer than 259
// characters.
#pragma once
#include <stdint.h>
#include <stdio.h>

#include <string>

// What separates the folders of a path: '/' on Linux, '/' or '\\' on
// Windows.
extern const char kLocalPathSeparators[];

FILE* OpenLocalFile(const std::string& path, const char* mode);
bool RemoveLocalFile(const std::string& path);
// Renames `from` to `to`, replacing a file `to` that is there.
bool MoveLocalFile(const std::string& from, const std::string& to);

enum LocalPathKind { PATH_MISSING, PATH_FILE, PATH_FOLDER };
// What `path` names, following a link.
LocalPathKind KindOfLocalPath(const std::string& path);

// Makes one folder, whose parent must be there.
bool MakeLocalFolder(const std::string& path);
bool EnterLocalFolder(const std::string& path);
std::string CurrentLocalFolder();

// Sets the time a file was last written (and read) to `unixTime`.
bool SetLocalFileTime(const std::string& path, int64_t unixTime);
