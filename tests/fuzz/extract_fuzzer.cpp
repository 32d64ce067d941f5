// The worker over a whole archive, as the stub runs it behind the progress
// window: the size pre-scan at start-up, then every member extracted. The input is the
// archive as it follows the configuration block.
//
// Nothing reaches the disk. The file functions the extraction calls are
// renamed in the core's objects (CMakeLists.txt) to the Memory* functions
// here, which work on a folder tree held in memory, emptied for every
// input; a path that Windows would take outside the destination stops the
// fuzzer before the call is made. The run's writes have a budget past which
// the disk is full, which keeps members that claim gigabytes short. The
// stub's buffer for compressed bytes is held to the 16 KiB it takes when
// memory is short, so that longer members are refilled mid-stream.
#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <map>
#include <string>

#include "archive/progress.h"
#include "archive/worker.h"
#include "decode/decode_state.h"
#include "session/session.h"
#include "win32_host.h"

namespace {

enum { WRITE_BUDGET = 512 << 10, INPUT_BUFFER = 16384 };

// Once a write has failed, or the archive has ended inside the member being
// written, at most this much more is written: what the largest ring held,
// the symbol being decoded, and what the C runtime had buffered.
const uint64_t AFTER_FAILURE = 65536 + 2 * LONGEST_MATCH + 2 * BUFSIZ;
const uint64_t NEVER = UINT64_MAX;

struct Node {
  bool folder;
  uint64_t size;
};

// The destination folder's contents by path ("a/b/c.txt"); the folder
// itself is "".
std::map<std::string, Node> tree;
int openFiles;
// Bytes handed to the output files' writes in this run, and their count
// when a write first failed and when the archive first ended while a file
// was open.
uint64_t writtenBytes, writtenAtFailure, writtenAtArchiveEnd;

void Fail(const char* what, const char* path) {
  fprintf(stderr, "%s: %s\n", what, path ? path : "");
  abort();
}

// Where Windows would take a path given relative to the destination: false
// when that is not below it. Both slashes separate; a leading one, or a
// drive, leaves the folder; a component of dots and blanks goes up when it
// has two dots or more (Windows drops trailing dots and blanks).
bool StaysInside(const char* path) {
  if (path[0] == '/' || path[0] == '\\' || (path[0] && path[1] == ':')) return false;
  int depth = 0;
  const char* start = path;
  for (const char* p = path;; ++p) {
    if (*p && *p != '/' && *p != '\\') continue;
    int dots = 0;
    bool other = false;
    for (const char* c = start; c < p; ++c) {
      if (*c == '.') ++dots;
      else if (*c != ' ') other = true;
    }
    if (!other && dots >= 2) --depth;
    else if (other) ++depth;
    if (depth < 0) return false;
    if (!*p) return true;
    start = p + 1;
  }
}

// Whether the key names a folder of the tree; errno says why not.
bool IsFolder(const std::string& key) {
  auto it = tree.find(key);
  if (it != tree.end() && it->second.folder) return true;
  errno = it == tree.end() ? ENOENT : ENOTDIR;
  return false;
}

// The tree's key of a path as the host system resolves it ('/' separates;
// "." stays, ".." goes up), with errno set when it cannot be resolved: a
// component that is missing or not a folder; whether the path ends in a
// slash goes to `trailingSlash`.
bool Resolve(const char* path, std::string* key, bool* trailingSlash) {
  if (!StaysInside(path)) Fail("path outside the destination", path);
  if (!*path) {
    errno = ENOENT;
    return false;
  }
  std::string resolved;
  const char* start = path;
  for (const char* p = path;; ++p) {
    if (*p && *p != '/') continue;
    const std::string component(start, p);
    if (component == "..") {
      const size_t slash = resolved.rfind('/');
      resolved.erase(slash == std::string::npos ? 0 : slash);
    } else if (!component.empty() && component != ".") {
      if (component.size() > 255) {
        errno = ENAMETOOLONG;
        return false;
      }
      resolved += (resolved.empty() ? "" : "/") + component;
    }
    if (!*p) break;
    // Everything up to a slash must be a folder.
    if (!IsFolder(resolved)) return false;
    start = p + 1;
  }
  *key = resolved;
  *trailingSlash = path[strlen(path) - 1] == '/';
  return true;
}

// The parent folder of a key exists (keys below the destination only).
bool ParentExists(const std::string& key) {
  const size_t slash = key.rfind('/');
  return IsFolder(slash == std::string::npos ? "" : key.substr(0, slash));
}

// The node a path names, or the tree's end with errno set (ENOENT when
// the path resolves but names nothing).
std::map<std::string, Node>::iterator Existing(const char* path, bool* trailingSlash) {
  std::string key;
  if (!Resolve(path, &key, trailingSlash)) return tree.end();
  const auto it = tree.find(key);
  if (it == tree.end()) errno = ENOENT;
  return it;
}

// An open output file: its node, or nothing once it was deleted or
// replaced (the bytes then go nowhere, as to an unlinked file).
struct OpenFile {
  std::string key;
  uint64_t generation;
};
uint64_t generation;
std::map<std::string, uint64_t> generations;

ssize_t WriteFile(void* cookie, const char* bytes, size_t count) {
  (void)bytes;
  writtenBytes += count;
  if (writtenBytes > WRITE_BUDGET) {
    if (writtenAtFailure == NEVER) writtenAtFailure = writtenBytes - count;
    errno = ENOSPC;
    return 0;  // a failed write, as fopencookie wants it told
  }
  OpenFile* file = (OpenFile*)cookie;
  auto it = tree.find(file->key);
  if (it != tree.end() && generations[file->key] == file->generation) it->second.size += count;
  return (ssize_t)count;
}

int CloseFile(void* cookie) {
  delete (OpenFile*)cookie;
  --openFiles;
  return 0;
}

// The archive, read as a file is: a seek may go past its end, and reads
// there find nothing.
struct Archive {
  const uint8_t* bytes;
  size_t size;
  off64_t position;
};

ssize_t ReadArchive(void* cookie, char* bytes, size_t count) {
  Archive* archive = (Archive*)cookie;
  size_t n = 0;
  if ((uint64_t)archive->position < archive->size) {
    n = archive->size - (size_t)archive->position;
    if (n > count) n = count;
    memcpy(bytes, archive->bytes + archive->position, n);
    archive->position += (off64_t)n;
  }
  if (!n && count && openFiles && writtenAtArchiveEnd == NEVER) writtenAtArchiveEnd = writtenBytes;
  return (ssize_t)n;
}

int SeekArchive(void* cookie, off64_t* offset, int whence) {
  Archive* archive = (Archive*)cookie;
  off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? archive->position : (off64_t)archive->size;
  if (*offset > INT64_MAX - base || base + *offset < 0) {
    errno = EINVAL;
    return -1;
  }
  *offset = archive->position = base + *offset;
  return 0;
}

}  // namespace

extern "C" {
FILE* MemoryFopen(const char* path, const char* mode) {
  if (strcmp(mode, "wb") != 0) Fail("unexpected fopen mode", mode);
  std::string key;
  bool trailingSlash;
  if (!Resolve(path, &key, &trailingSlash)) return nullptr;
  auto it = tree.find(key);
  if (key.empty() || (it != tree.end() && it->second.folder)) {
    errno = EISDIR;
    return nullptr;
  }
  if (trailingSlash) {
    errno = it == tree.end() ? EISDIR : ENOTDIR;
    return nullptr;
  }
  if (!ParentExists(key)) return nullptr;
  tree[key] = Node{false, 0};
  generations[key] = ++generation;
  OpenFile* file = new OpenFile{key, generation};
  FILE* stream = fopencookie(file, "wb", cookie_io_functions_t{nullptr, WriteFile, nullptr, CloseFile});
  if (!stream) Fail("fopencookie", path);
  ++openFiles;
  return stream;
}

int MemoryMkdir(const char* path, mode_t) {
  std::string key;
  bool trailingSlash;
  if (!Resolve(path, &key, &trailingSlash)) return -1;
  if (tree.count(key)) {
    errno = EEXIST;
    return -1;
  }
  if (!ParentExists(key)) return -1;
  tree[key] = Node{true, 0};
  return 0;
}

int MemoryStat(const char* path, struct stat* status) {
  bool trailingSlash;
  const auto it = Existing(path, &trailingSlash);
  if (it == tree.end()) return -1;
  if (trailingSlash && !it->second.folder) {
    errno = ENOTDIR;
    return -1;
  }
  memset(status, 0, sizeof *status);
  status->st_mode = it->second.folder ? S_IFDIR | 0755 : S_IFREG | 0644;
  status->st_size = (off_t)it->second.size;
  return 0;
}

int MemoryUnlink(const char* path) {
  bool trailingSlash;
  const auto it = Existing(path, &trailingSlash);
  if (it == tree.end()) return -1;
  if (it->second.folder) {
    errno = EISDIR;
    return -1;
  }
  if (trailingSlash) {
    errno = ENOTDIR;
    return -1;
  }
  tree.erase(it);
  return 0;
}

int MemoryUtime(const char* path, const struct utimbuf*) {
  bool trailingSlash;
  return Existing(path, &trailingSlash) == tree.end() ? -1 : 0;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  HostReset();
  HostSetAvailablePhysicalMemory(INPUT_BUFFER);
  totalSize = completedSize = lastPercentage = 0;
  abortRequested = 0;
  tree.clear();
  generations.clear();
  tree[""] = Node{true, 0};

  SfxSession session;
  InitSession(&session, nullptr);
  // The archive as the stub reads it: a file, through the C runtime's
  // buffered stream.
  Archive archive = {data, size, 0};
  session.own_file = fopencookie(&archive, "rb", cookie_io_functions_t{ReadArchive, nullptr, SeekArchive, nullptr});
  if (!session.own_file) Fail("fopencookie", nullptr);
  SetSessionString(&session.destination, "C:\\Dest", 7);
  SetSessionString(&session.title, "Setup", 5);

  writtenBytes = 0;
  writtenAtFailure = writtenAtArchiveEnd = NEVER;
  // As the stub runs: the pre-scan at start-up, then the worker, which only
  // ever sees an archive that the pre-scan found whole.
  const bool whole = ScanArchive(&session);
  if (whole) ExtractionWorker(&session);
  else ReportBrokenArchive(&session);
  const bool failed = session.failed;
  CloseSession(&session);

  if (openFiles) Fail("a file was left open", nullptr);
  if (writtenAtFailure != NEVER && writtenBytes - writtenAtFailure > AFTER_FAILURE)
    Fail("written on after a failed write", nullptr);
  if (writtenAtArchiveEnd != NEVER && writtenBytes - writtenAtArchiveEnd > AFTER_FAILURE)
    Fail("written on after the archive ended inside the member", nullptr);
  // A broken archive is refused before anything is written or named.
  const std::vector<HostWindowMessage>& messages = HostWindowMessages();
  if (!whole && (tree.size() != 1 || !messages.empty())) Fail("a broken archive was extracted", nullptr);
  // The progress window waits for the worker's last word: exactly one
  // posted message, the end of the run, after everything else.
  for (size_t i = 0; i < messages.size(); ++i)
    if (messages[i].posted != (i + 1 == messages.size())) Fail("posted before the end", nullptr);
  if (whole && (messages.empty() || messages.back().message != WM_SFX_DONE)) Fail("no end of the run posted", nullptr);
  // A run that fails tells the user why, once; one that does not, says
  // nothing.
  const size_t boxes = HostMessageBoxes().size();
  if (failed ? boxes != 1 : boxes != 0) Fail("a failure and its message do not match", nullptr);
  return 0;
}
