// mksfx --list, --test and --extract: an installer (or a bare LZH archive)
// read through the stub's own code, from the configuration block through
// the member headers to the extraction of each member.
#include <errno.h>
#include <ftw.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <string>

#include "archive/extract.h"
#include "archive/header_reader.h"
#include "session/paths.h"
#include "archive/progress.h"
#include "decode/bit_input.h"
#include "decode/driver.h"
#include "encode/sjis_names.h"
#include "console.h"
#include "inspect.h"
#include "session/config_block.h"
#include "win32_host.h"

namespace {

// An archive begins with a member header, whose method id ("-lh5-") starts
// at its third byte; an installer begins with the stub.
bool BeginsWithArchive(FILE* file) {
  unsigned char start[7] = {0};
  const bool read = fread(start, 1, sizeof start, file) == sizeof start;
  rewind(file);
  return read && start[2] == '-' && start[3] == 'l' && start[6] == '-';
}

// Opens an installer or archive at its first member header; an
// installer's block is read into the session, as the stub reads it on a
// system whose Windows drive is C: and in the folder ".".
bool OpenInstaller(const std::string& path, SfxSession* session) {
  InitSession(session, nullptr);
  session->own_file = fopen(path.c_str(), "rb");
  if (!session->own_file) Fail("cannot read " + path);
  if (BeginsWithArchive(session->own_file)) return false;
  HostSetWindowsDirectory("C:\\WINDOWS");
  HostSetCurrentDirectoryText(".");
  if (fseek(session->own_file, SFX_STUB_SIZE, SEEK_SET) != 0 || !ReadSfxConfig(session))
    Fail(path + " is neither an LZH archive nor an installer (no configuration block after 17408 bytes)");
  return true;
}

// The texts of the message boxes shown since the last call, in UTF-8.
std::string TakeMessages() {
  std::string text;
  for (const HostMessageBox& box : HostMessageBoxes()) text += (text.empty() ? "" : "; ") + LocalText(box.text);
  HostMessageBoxes().clear();
  return text;
}

// Calls `visit(entry)` for every member with the stream at its data, and
// goes on behind the data while it returns true. False when a damaged
// header ended the walk (reported).
template <typename Visit>
bool WalkMembers(SfxSession* session, Visit visit) {
  LzhEntry entry;
  while (ReadMemberHeader(session, &entry)) {
    const long data = ftell(session->own_file);
    if (!visit(entry)) return true;
    fseek(session->own_file, data + entry.packed_size, SEEK_SET);
  }
  if (entry.end == ARCHIVE_CLEAN_END) return true;
  fprintf(stderr, "mksfx: the archive is damaged after its last good member (%s)\n",
          entry.end == ARCHIVE_CUT_SHORT ? "cut short inside a header" : kUnknownHeader);
  return false;
}

// Extraction as the stub's worker sets it up, without a progress bar.
void StartExtraction() {
  buildCrc16Table();
  totalSize = completedSize = 0;
  abortRequested = 0;
}

const char* PathOf(const LzhEntry& entry) { return entry.name + (entry.name[0] == '/'); }

std::string OrNone(const char* text) { return text && *text ? LocalText(text) : "(none)"; }

void PrintBlock(const SfxSession& session, bool installer) {
  if (!installer) {
    printf("LZH archive\n");
  } else if (!session.installer_mode) {
    printf("plain self-extractor: extracts into the folder it is started in\n");
  } else {
    printf("installer \"%s\"\n", LocalText(session.title).c_str());
    printf("  destination    %s\n", LocalText(session.destination).c_str());
    printf("  program        %s\n", OrNone(session.program_name).c_str());
    printf("  shortcuts      start menu %u, desktop %u, send to %u (bit 0 offered, bit 1 chosen)\n",
           session.start_menu_option, session.desktop_option, session.send_to_option);
    printf("  shortcut name  %s\n", OrNone(session.shortcut_name).c_str());
    printf("  post-install   %s\n", OrNone(session.post_install_program).c_str());
  }
}

std::string UtcTime(uint32_t seconds) {
  const time_t t = seconds;
  char text[32];
  strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", gmtime(&t));
  return text;
}

std::string Percent(double part, double whole) {
  char text[16];
  snprintf(text, sizeof text, whole ? "%.1f%%" : "-", 100 * part / whole);
  return text;
}

std::string Count(unsigned count, const char* thing) {
  return std::to_string(count) + " " + thing + (count == 1 ? "" : "s");
}

// The member's name in UTF-8 for a Linux folder, when it is safe as it
// stands (the check is made on the stored Shift-JIS name, as by the stub)
// and fits; otherwise it is left for ExtractMember to refuse or to write as
// stored.
void UseLocalName(LzhEntry* entry) {
  std::string utf8;
  if (!IsSafeMemberPath(PathOf(*entry)) || !ShiftJisToUtf8(entry->name, &utf8) || utf8.size() >= sizeof entry->name)
    return;
  memcpy(entry->name, utf8.c_str(), utf8.size() + 1);
}

bool MakeFolders(const std::string& path) {
  for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string part = path.substr(0, slash);
    if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) return true;
  }
}

int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) { return remove(path); }

}  // namespace

int ListInstaller(const std::string& path) {
  SfxSession session;
  PrintBlock(session, OpenInstaller(path, &session));
  printf("\n%10s %10s %6s %-6s %-19s  %-4s  %s\n", "size", "packed", "ratio", "method", "time (UTC)", "CRC", "name");
  unsigned files = 0, folders = 0;
  double original = 0, packed = 0;
  const bool whole = WalkMembers(&session, [&](const LzhEntry& entry) {
    const bool folder = methodIndex(entry.method_id) == METHOD_LHD || EndsWithSlash(entry.name);
    ++(folder ? folders : files);
    original += (uint32_t)entry.original_size;
    packed += (uint32_t)entry.packed_size;
    char crc[8] = "-";
    if (entry.has_crc) snprintf(crc, sizeof crc, "%04x", entry.crc);
    printf("%10u %10u %6s %-6.5s %s  %-4s  %s\n", (uint32_t)entry.original_size, (uint32_t)entry.packed_size,
           Percent((uint32_t)entry.packed_size, (uint32_t)entry.original_size).c_str(), entry.method_id,
           UtcTime((uint32_t)entry.mtime).c_str(), crc, LocalText(entry.name).c_str());
    return true;
  });
  printf("%s and %s, %.0f bytes packed into %.0f (%s)\n", Count(files, "file").c_str(),
         Count(folders, "folder").c_str(), original, packed, Percent(packed, original).c_str());
  CloseSession(&session);
  return whole ? 0 : 1;
}

// Each member is extracted into a private temporary folder and checked,
// then deleted, so the test needs room for the largest member only.
int TestInstaller(const std::string& path) {
  SfxSession session;
  OpenInstaller(path, &session);
  char current[4096];
  char folder[] = "/tmp/mksfx-test-XXXXXX";
  if (!getcwd(current, sizeof current) || !mkdtemp(folder) || chdir(folder) != 0)
    Fail("cannot make a temporary folder to test in");
  StartExtraction();
  unsigned members = 0, failures = 0;
  const bool whole = WalkMembers(&session, [&](LzhEntry& entry) {
    ++members;
    const std::string name = LocalText(entry.name);
    if (methodIndex(entry.method_id) < 0) {
      printf("FAILED  %s: method %.5s is unknown to the stub, which skips the member\n", name.c_str(),
             entry.method_id);
      ++failures;
      return true;
    }
    const bool good = ExtractMember(&session, &entry);
    const std::string messages = TakeMessages();
    if (good) printf("ok      %s\n", name.c_str());
    else printf("FAILED  %s: %s\n", name.c_str(), messages.c_str());
    failures += !good;
    struct stat status;
    if (stat(PathOf(entry), &status) == 0 && S_ISREG(status.st_mode)) remove(PathOf(entry));
    return true;
  });
  CloseSession(&session);
  if (chdir(current) != 0) Fail("cannot return to " + std::string(current));
  nftw(folder, RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
  if (!whole) ++failures;
  if (failures) printf("%u of %u members failed\n", failures, members);
  else printf("all %u members are good\n", members);
  return failures ? 1 : 0;
}

int ExtractInstaller(const std::string& path, const std::string& folder) {
  SfxSession session;
  OpenInstaller(path, &session);
  if (!MakeFolders(folder) || chdir(folder.c_str()) != 0) Fail("cannot make the folder " + folder);
  StartExtraction();
  bool extracted = true;
  const bool whole = WalkMembers(&session, [&](LzhEntry& entry) {
    if (methodIndex(entry.method_id) < 0)
      fprintf(stderr, "mksfx: skipped %s: method %.5s is unknown\n", LocalText(entry.name).c_str(), entry.method_id);
    UseLocalName(&entry);
    extracted = ExtractMember(&session, &entry);
    if (!extracted) fprintf(stderr, "mksfx: %s\n", TakeMessages().c_str());
    return extracted;
  });
  CloseSession(&session);
  return whole && extracted ? 0 : 1;
}
