#include "console.h"

#include <stdio.h>
#include <stdlib.h>

#include <vector>

#include "system/local_files.h"
#include "system/sjis_names.h"

namespace {

std::vector<std::string> filesToRemove;

}  // namespace

void RemoveOnFailure(const std::string& path) { filesToRemove.push_back(path); }

void Fail(const std::string& message) {
  fprintf(stderr, "mksfx: %s\n", message.c_str());
  for (const std::string& path : filesToRemove) RemoveLocalFile(path);
  exit(1);
}

std::string LocalText(const std::string& shiftJis) {
  std::string utf8;
  return ShiftJisToUtf8(shiftJis, &utf8) ? utf8 : shiftJis;
}
