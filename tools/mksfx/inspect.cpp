// mksfx --list, --test and --extract: an installer (or a bare LZH archive)
// read through the stub's own code, from the configuration block through
// the member headers to the decoders and the extraction of each member.
// Unlike the stub, they check the headers' own checksums and tell where a
// damaged archive breaks, and every failure shows in the exit status.
#include "inspect.h"

#include <time.h>

#include <algorithm>
#include <string>

#include "archive/extract.h"
#include "archive/header_reader.h"
#include "archive/progress.h"
#include "console.h"
#include "decode/bit_input.h"
#include "decode/driver.h"
#include "encode/crc16.h"
#include "session/config_block.h"
#include "session/paths.h"
#include "system/local_files.h"
#include "system/sjis_names.h"
#include "system/streams.h"
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
  session->own_file = OpenLocalFile(path, "rb");
  if (!session->own_file) Fail("cannot read " + path);
  if (BeginsWithArchive(session->own_file)) return false;
  HostSetWindowsDirectory("C:\\WINDOWS");
  HostSetCurrentDirectoryText(".");
  if (fseek(session->own_file, SFX_STUB_SIZE, SEEK_SET) != 0 || !ReadSfxConfig(session))
    Fail(path + " is neither an LZH archive nor an installer (no configuration block after 17408 bytes)");
  return true;
}

uint32_t Le16(const unsigned char* p) { return p[0] | (uint32_t)p[1] << 8; }

// What the stub does not look at: a level-0 or level-1 header's checksum
// (the sum of its bytes from the third on), a level-2 header's CRC-16 (of
// the whole header with the CRC's own bytes taken as 0, in an extended
// header of type 0, when it has one). Empty when the header passes, or
// names the check it fails.
std::string HeaderDamage(std::string header) {
  const unsigned char* bytes = (const unsigned char*)header.data();
  if (bytes[20] != 2) {
    const size_t covered = bytes[0];  // the reader has made sure they are there
    unsigned sum = 0;
    for (size_t i = 2; i < 2 + covered; ++i) sum += bytes[i];
    return (sum & 0xFF) == bytes[1] ? "" : "its checksum does not match";
  }
  for (size_t at = 24, size; at + 2 <= header.size() && (size = Le16(bytes + at)) >= 3; at += size) {
    if (at + 2 + size > header.size()) break;
    if (bytes[at + 2] != 0x00 || size < 5) continue;
    const uint32_t stored = Le16(bytes + at + 3);
    header[at + 3] = header[at + 4] = 0;
    const uint32_t crc = Crc16Update(0, (const unsigned char*)header.data(), header.size());
    return crc == stored ? "" : "its CRC-16 does not match";
  }
  return "";
}

// One member as the walk meets it: its header parsed as the stub parses it,
// with the stream at its data.
struct Member {
  LzhEntry entry;
  unsigned number;           // 1 for the first
  std::string name;          // for messages, in UTF-8
  std::string headerDamage;  // empty when the header passes its checks
};

std::string DamagedHeader(const Member& member) {
  return "the header of member " + std::to_string(member.number) + " (" + member.name + ") is damaged: " +
         member.headerDamage;
}

// Calls `visit(member)` for every member, and goes on behind its data
// while it returns true. Returns true when the archive ends cleanly (at its
// end byte, or at the end of the file where a header would start, as the
// stub takes it); otherwise says on stderr where it broke and returns false.
template <typename Visit>
bool WalkMembers(SfxSession* session, Visit visit) {
  FILE* file = session->own_file;
  const int64_t start = ftello(file);
  const int64_t fileSize = fseeko(file, 0, SEEK_END) == 0 ? ftello(file) : 0;
  fseeko(file, start, SEEK_SET);
  Member member;
  for (member.number = 1;; ++member.number) {
    const long headerAt = ftell(file);
    if (!ReadMemberHeader(session, &member.entry)) break;
    const long dataAt = ftell(file);
    std::string header(dataAt - headerAt, '\0');
    fseek(file, headerAt, SEEK_SET);
    if (fread(&header[0], 1, header.size(), file) != header.size()) Fail("cannot read the archive");
    member.headerDamage = HeaderDamage(header);
    member.name = LocalText(member.entry.name);
    const int64_t dataEnd = dataAt + (int64_t)member.entry.packed_size;
    std::string broken;
    if (dataEnd > fileSize)
      broken = "it ends inside the data of member " + std::to_string(member.number) + " (" + member.name + "), " +
               std::to_string(dataEnd - fileSize) + " bytes short";
    else if (dataEnd > 0x7FFFFFFF)
      broken = "member " + std::to_string(member.number + 1) + " lies beyond 2 GiB, where the stub cannot reach it";
    const bool goOn = visit(member);
    if (!broken.empty()) {
      fprintf(stderr, "mksfx: the archive is broken: %s\n", broken.c_str());
      return false;
    }
    if (!goOn) return true;
    fseek(file, (long)dataEnd, SEEK_SET);
  }
  if (member.entry.end == ARCHIVE_CLEAN_END) return true;
  fprintf(stderr, "mksfx: the archive is broken: the header of member %u is %s\n", member.number,
          member.entry.end == ARCHIVE_CUT_SHORT ? "cut short" : "damaged or of a kind the stub cannot read");
  return false;
}

// Extraction as the stub's worker sets it up, without a progress bar.
void StartExtraction() {
  buildCrc16Table();
  totalSize = completedSize = 0;
  abortRequested = 0;
}

const char* PathOf(const LzhEntry& entry) { return entry.name + (entry.name[0] == '/'); }

bool IsFolderMember(const LzhEntry& entry) {
  return methodIndex(entry.method_id) == METHOD_LHD || EndsWithSlash(entry.name);
}

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

// Decodes a member in memory by the stub's own decoders, checking its size
// and CRC-16, as the stub would extract it; or checks that a folder member
// could be made. Empty when the member is good, or why it is not. The
// stream stands at the member's data.
std::string MemberProblem(SfxSession* session, const Member& member) {
  const LzhEntry& entry = member.entry;
  const int index = methodIndex(entry.method_id);
  if (!member.headerDamage.empty()) return "its header is damaged: " + member.headerDamage;
  if (index < 0) return "method " + std::string(entry.method_id, 5) + " is unknown to the stub, which skips the member";
  if (entry.name_too_long) return "its name is longer than 259 bytes";
  if (!IsSafeMemberPath(PathOf(entry))) return "its name reaches outside the destination folder";
  if (IsFolderMember(entry)) return "";
  const uint32_t size = (uint32_t)entry.original_size;
  uint64_t written = 0;
  if (index == METHOD_LH0 || index == METHOD_LZ4) {
    // The stub copies as many bytes as the original size says; a stored
    // member's two sizes are the same.
    if (entry.original_size != entry.packed_size)
      return "it is stored, but its sizes differ (" + std::to_string((uint32_t)entry.packed_size) + " bytes in the "
             "archive, " + std::to_string(size) + " when extracted)";
    memberCrc = 0;
    unsigned char buffer[65536];
    while (written < size) {
      const size_t n = fread(buffer, 1, std::min<uint64_t>(sizeof buffer, size - written), session->own_file);
      if (!n) return "its data is cut short";
      addToCrc(buffer, (uint32_t)n);
      written += n;
    }
  } else {
    // The decoded bytes are counted, then dropped (the decoders fold them
    // into memberCrc as they write them).
    CountingStream* output = OpenCountingStream();
    if (!output) Fail("cannot decode in memory");
    const int result =
        decodeMember(index, session->own_file, CountingFile(output), (uint32_t)entry.packed_size, size);
    written = CloseCountingStream(output);
    // Writes to the counter never fail: a failed member is a damaged one,
    // unless memory ran out.
    if (result == DECODE_FAILED)
      return decodeState.memberFailed ? "its data is damaged or cut short" : "it cannot be decoded (out of memory)";
  }
  if (written != size) return "it gives " + std::to_string(written) + " bytes of its " + std::to_string(size);
  if (entry.has_crc && memberCrc != entry.crc) {
    char crcs[64];
    snprintf(crcs, sizeof crcs, "its CRC-16 does not match (%04x in the header, %04x decoded)", entry.crc, memberCrc);
    return crcs;
  }
  return "";
}

// The member's name in UTF-8 for the local folder, when it is safe as it
// stands (the check is made on the stored Shift-JIS name, as by the stub)
// and fits; otherwise it is left for ExtractMember to refuse or to write as
// stored.
void UseLocalName(LzhEntry* entry) {
  std::string utf8;
  if (!IsSafeMemberPath(PathOf(*entry)) || !ShiftJisToUtf8(entry->name, &utf8) || utf8.size() >= sizeof entry->name)
    return;
  memcpy(entry->name, utf8.c_str(), utf8.size() + 1);
}

// The texts of the message boxes shown since the last call, in UTF-8. The
// stub's texts are Shift-JIS; the member name in them is `name` as
// ExtractMember got it, which is UTF-8 already when UseLocalName made it so.
std::string TakeMessages(const std::string& name) {
  std::string text;
  for (const HostMessageBox& box : HostMessageBoxes()) {
    const size_t at = box.text.find(name);
    const std::string local = at == std::string::npos || name.empty()
                                  ? LocalText(box.text)
                                  : LocalText(box.text.substr(0, at)) + name + LocalText(box.text.substr(at + name.size()));
    text += (text.empty() ? "" : "; ") + local;
  }
  HostMessageBoxes().clear();
  return text;
}

// The folder with every level of it that is missing.
bool MakeFolders(const std::string& path) {
  if (KindOfLocalPath(path) == PATH_FOLDER) return true;
  const size_t separator = path.find_last_of(kLocalPathSeparators);
  if (separator != std::string::npos && separator > 0 && !MakeFolders(path.substr(0, separator))) return false;
  return MakeLocalFolder(path) || KindOfLocalPath(path) == PATH_FOLDER;  // "a/b/" is "a/b"
}

}  // namespace

int ListInstaller(const std::string& path) {
  SfxSession session;
  PrintBlock(session, OpenInstaller(path, &session));
  printf("\n%10s %10s %6s %-6s %-19s  %-4s  %s\n", "size", "packed", "ratio", "method", "time (UTC)", "CRC", "name");
  unsigned files = 0, folders = 0, damagedHeaders = 0;
  double original = 0, packed = 0;
  const bool whole = WalkMembers(&session, [&](const Member& member) {
    const LzhEntry& entry = member.entry;
    ++(IsFolderMember(entry) ? folders : files);
    original += (uint32_t)entry.original_size;
    packed += (uint32_t)entry.packed_size;
    char crc[8] = "-";
    if (entry.has_crc) snprintf(crc, sizeof crc, "%04x", entry.crc);
    printf("%10u %10u %6s %-6.5s %s  %-4s  %s\n", (uint32_t)entry.original_size, (uint32_t)entry.packed_size,
           Percent((uint32_t)entry.packed_size, (uint32_t)entry.original_size).c_str(), entry.method_id,
           UtcTime((uint32_t)entry.mtime).c_str(), crc, member.name.c_str());
    if (!member.headerDamage.empty()) {
      fflush(stdout);
      fprintf(stderr, "mksfx: %s\n", DamagedHeader(member).c_str());
      ++damagedHeaders;
    }
    return true;
  });
  printf("%s and %s, %.0f bytes packed into %.0f (%s)\n", Count(files, "file").c_str(),
         Count(folders, "folder").c_str(), original, packed, Percent(packed, original).c_str());
  CloseSession(&session);
  return whole && !damagedHeaders ? 0 : 1;
}

int TestInstaller(const std::string& path) {
  SfxSession session;
  OpenInstaller(path, &session);
  StartExtraction();
  unsigned members = 0, failures = 0;
  const bool whole = WalkMembers(&session, [&](const Member& member) {
    ++members;
    const std::string problem = MemberProblem(&session, member);
    if (problem.empty()) printf("ok      %s\n", member.name.c_str());
    else printf("FAILED  %s: %s\n", member.name.c_str(), problem.c_str());
    failures += !problem.empty();
    return true;
  });
  CloseSession(&session);
  if (whole && !failures) printf("all %s are good\n", Count(members, "member").c_str());
  else printf("%u of %s failed%s\n", failures, Count(members, "member").c_str(), whole ? "" : "; the archive is broken");
  return whole && !failures ? 0 : 1;
}

// Like the stub, the extraction stops at the first member that fails (and
// removes what it wrote of it); a member the stub would skip is skipped.
int ExtractInstaller(const std::string& path, const std::string& folder) {
  SfxSession session;
  OpenInstaller(path, &session);
  if (!MakeFolders(folder) || !EnterLocalFolder(folder)) Fail("cannot make the folder " + folder);
  StartExtraction();
  bool allExtracted = true;
  const bool whole = WalkMembers(&session, [&](const Member& member) {
    LzhEntry entry = member.entry;
    if (!member.headerDamage.empty()) {
      fprintf(stderr, "mksfx: not extracted: %s\n", DamagedHeader(member).c_str());
      return allExtracted = false;
    }
    if (methodIndex(entry.method_id) < 0) {
      fprintf(stderr, "mksfx: skipped %s: method %.5s is unknown\n", member.name.c_str(), entry.method_id);
      allExtracted = false;
      return true;
    }
    UseLocalName(&entry);
    session.output_path[0] = 0;
    if (ExtractMember(&session, &entry)) return true;
    // A member that failed its check is left in place by the stub.
    if (session.output_path[0]) RemoveLocalFile(session.output_path);
    fprintf(stderr, "mksfx: not extracted: %s\n", TakeMessages(PathOf(entry)).c_str());
    return allExtracted = false;
  });
  CloseSession(&session);
  return whole && allExtracted ? 0 : 1;
}

bool LacksEndByte(const std::string& path) {
  SfxSession session;
  InitSession(&session, nullptr);
  session.own_file = OpenLocalFile(path, "rb");
  if (!session.own_file) Fail("cannot read the archive " + path);
  unsigned members = 0;
  bool headersGood = true;
  const bool whole = WalkMembers(&session, [&](const Member& member) {
    ++members;
    if (!member.headerDamage.empty()) {
      fprintf(stderr, "mksfx: %s\n", DamagedHeader(member).c_str());
      headersGood = false;
    }
    return true;
  });
  const bool atFileEnd = feof(session.own_file);
  CloseSession(&session);
  if (!whole || !headersGood) Fail(path + " is a damaged LZH archive");
  if (!members) Fail(path + " holds no member");
  return atFileEnd;
}
