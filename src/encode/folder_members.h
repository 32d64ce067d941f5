// The members of an archive made from a local folder: every file and
// subfolder below it, with the names an installer can write on Windows.
#pragma once
#include <string>
#include <vector>

#include "lzh_archive.h"

// Walks `root` depth first: the entries of each folder in byte order of
// their names, a folder before what it holds. Symbolic links and special
// files are left out; each is named in `skipped`. False with `error` set at
// the first entry that cannot be read or would not make a member: a name
// with no Shift-JIS form, one that Windows does not allow, a path longer
// than 259 bytes, a file of 4 GiB or more.
bool FolderMembers(const std::string& root, std::vector<ArchiveMember>* members, std::vector<std::string>* skipped,
                   std::string* error);
