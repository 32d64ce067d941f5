// bench: decoding speed of each LZH method next to Debian's lhasa.
//
//   bench [--runs N] [--lhasa PROGRAM] ARCHIVE...
//   bench --make-data OUT SIZE SEED
//
// For every archive it decodes all members with the stub's decoders (output
// to /dev/null, every member's CRC-16 checked against its header) and runs
// `lhasa t` on the same archive, alternating, N times each; it prints the
// median throughput in MB/s of output (1 MB = 10^6 bytes), the ratio and the
// target of the method. Time is CPU time (user + system) of the decoding
// process for both sides, so that other load on the machine does not skew
// the comparison; the wall-clock median of our decoder is printed as well.
// The peak memory of one decode is measured in a fresh process (bench
// --peak ARCHIVE) as the growth of its resident set, and compared with the
// largest compressed member plus 1 MiB. The exit status is 1 when a member
// fails its CRC, 0 otherwise (targets are reported, not enforced).
//
// --make-data writes SIZE bytes of mixed benchmark input: runs of Shift-JIS
// and ASCII text alternating with structured binary records, from a fixed
// pseudo-random SEED.
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "archive/header_reader.h"
#include "archive/progress.h"
#include "decode/bit_input.h"
#include "decode/driver.h"
#include "session/session.h"

namespace {

struct Member {
  long dataOffset;
  uint32_t packed, original;
  uint16_t crc;
  bool hasCrc;
  int method;
};

[[noreturn]] void Fail(const std::string& message) {
  fprintf(stderr, "bench: %s\n", message.c_str());
  exit(2);
}

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

double Seconds(const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; }

// CPU time (user + system) used by this process so far.
double CpuNow() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

std::vector<Member> ReadMembers(const std::string& path) {
  SfxSession session;
  InitSession(&session, nullptr);
  session.own_file = fopen(path.c_str(), "rb");
  if (!session.own_file) Fail("cannot open " + path);
  std::vector<Member> members;
  LzhEntry entry;
  while (ReadMemberHeader(&session, &entry)) {
    Member m;
    m.dataOffset = ftell(session.own_file);
    m.packed = (uint32_t)entry.packed_size;
    m.original = (uint32_t)entry.original_size;
    m.crc = entry.crc;
    m.hasCrc = entry.has_crc;
    m.method = methodIndex(entry.method_id);
    if (m.method >= METHOD_LH1 && m.method <= METHOD_LZ5) members.push_back(m);
    fseek(session.own_file, m.dataOffset + (long)m.packed, SEEK_SET);
  }
  CloseSession(&session);
  return members;
}

// Decodes every member once; returns the number of CRC failures.
int DecodeAll(const std::string& path, const std::vector<Member>& members) {
  FILE* archive = fopen(path.c_str(), "rb");
  FILE* sink = fopen("/dev/null", "wb");
  if (!archive || !sink) Fail("cannot open " + path + " or /dev/null");
  int failures = 0;
  for (const Member& m : members) {
    fseek(archive, m.dataOffset, SEEK_SET);
    if (decodeMember(m.method, archive, sink, m.packed, m.original) != DECODE_DONE || (m.hasCrc && memberCrc != m.crc)) ++failures;
  }
  fclose(sink);
  fclose(archive);
  return failures;
}

// Runs `lhasa t ARCHIVE` with its output discarded; false if it failed.
// *cpuSeconds receives the CPU time it used.
bool RunLhasa(const std::string& lhasa, const std::string& path, double* cpuSeconds) {
  fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execlp(lhasa.c_str(), lhasa.c_str(), "t", path.c_str(), (char*)nullptr);
    _exit(127);
  }
  int status = 0;
  rusage usage;
  wait4(child, &status, 0, &usage);
  *cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long StatusKiB(const char* field) {
  FILE* status = fopen("/proc/self/status", "r");
  char line[256];
  long value = -1;
  size_t length = strlen(field);
  while (status && fgets(line, sizeof line, status))
    if (strncmp(line, field, length) == 0) value = atol(line + length + 1);
  if (status) fclose(status);
  return value;
}

// In a fresh process (`bench --peak ARCHIVE`): decodes the archive once
// and prints how far the resident set grew meanwhile, in KiB.
int PeakMode(const std::string& path) {
  std::vector<Member> members = ReadMembers(path);
  // Start the high-water mark afresh at the current resident set.
  FILE* clear = fopen("/proc/self/clear_refs", "w");
  if (!clear || fputs("5", clear) < 0 || fclose(clear) != 0) return 1;
  long before = StatusKiB("VmRSS:");
  DecodeAll(path, members);
  long peak = StatusKiB("VmHWM:");
  if (before < 0 || peak < 0) return 1;
  printf("%ld\n", peak - before);
  return 0;
}

// Runs PeakMode in a new process of this program; -1 when it cannot be
// measured.
long PeakGrowthKiB(const std::string& path) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return -1;
  fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    dup2(pipeEnds[1], 1);
    close(pipeEnds[0]);
    execl("/proc/self/exe", "bench", "--peak", path.c_str(), (char*)nullptr);
    _exit(127);
  }
  close(pipeEnds[1]);
  char text[32] = {0};
  ssize_t got = read(pipeEnds[0], text, sizeof text - 1);
  close(pipeEnds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (got <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return atol(text);
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The speed each method must reach: a multiple of lhasa's, or MB/s of its
// own where lhasa has no decoder.
struct Target {
  double lhasaFactor, ownMBs;
};
Target TargetOf(int method) {
  switch (method) {
    case METHOD_LH4: case METHOD_LH5: case METHOD_LH6: case METHOD_LH7: return {3, 0};
    case METHOD_LH1: case METHOD_LZS: case METHOD_LZ5: return {1, 0};
    default: return {0, 50};
  }
}

// Mixed input: text blocks (ASCII words, Shift-JIS words, CRLF lines) and
// structured binary blocks (little-endian records with counters, small
// fields, runs and some noise), each a few KiB to a few hundred KiB long.
struct Random {
  uint64_t state;
  uint32_t Next() {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return (uint32_t)(state >> 16);
  }
  uint32_t Below(uint32_t n) { return Next() % n; }
};

void MakeData(const std::string& out, size_t size, uint64_t seed) {
  static const char* const kWords[] = {
      "alpha", "beta", "gamma", "delta", "archive", "member", "header", "dictionary", "install",
      "folder", "progress", "window", "extract", "setup", "the", "of", "and", "to", "a", "in",
      "\x89\xf0\x93\x80",                  // 解凍
      "\x88\xb3\x8f\x6b",                  // 圧縮
      "\x83\x74\x83\x40\x83\x43\x83\x8b",  // ファイル
      "\x83\x43\x83\x93\x83\x58\x83\x67\x81\x5b\x83\x8b",  // インストール
  };
  Random random{seed * 0x9E3779B97F4A7C15ull + 1};
  std::string data;
  data.reserve(size + 65536);
  while (data.size() < size) {
    size_t blockEnd = data.size() + 4096 + random.Below(256 * 1024);
    if (random.Below(2) == 0) {
      while (data.size() < blockEnd) {
        data += kWords[random.Below(sizeof kWords / sizeof *kWords)];
        if (random.Below(100) < 3) data += (char)('0' + random.Below(10));
        data += random.Below(100) < 9 ? "\r\n" : " ";
      }
    } else {
      uint32_t counter = random.Next();
      while (data.size() < blockEnd) {
        ++counter;
        for (int i = 0; i < 4; ++i) data += (char)(counter >> (8 * i));
        uint32_t field = random.Below(8);
        data.append(1 + random.Below(40), (char)field);
        if (random.Below(10) < 3)
          for (uint32_t i = random.Below(64) + 1; i > 0; --i) data += (char)random.Next();
      }
    }
  }
  data.resize(size);
  FILE* file = fopen(out.c_str(), "wb");
  if (!file || fwrite(data.data(), 1, data.size(), file) != data.size() || fclose(file) != 0)
    Fail("cannot write " + out);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() == 4 && args[0] == "--make-data") {
    MakeData(args[1], std::stoul(args[2]), std::stoull(args[3]));
    return 0;
  }
  buildCrc16Table();
  totalSize = 0;  // no progress bar
  abortRequested = 0;
  if (args.size() == 2 && args[0] == "--peak") return PeakMode(args[1]);
  int runs = 5;
  std::string lhasa = "lhasa";
  std::vector<std::string> archives;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--runs" && i + 1 < args.size()) runs = std::max(1, std::stoi(args[++i]));
    else if (args[i] == "--lhasa" && i + 1 < args.size()) lhasa = args[++i];
    else archives.push_back(args[i]);
  }
  if (archives.empty()) Fail("usage: bench [--runs N] [--lhasa PROGRAM] ARCHIVE...");

  printf("Decoding speed in MB/s of output (CPU time, median of %d runs; wall-clock\n"
         "median of ours in brackets); peak memory: growth of the resident set while\n"
         "one process decodes the archive, against its largest member plus 1 MiB.\n\n", runs);
  printf("%-6s %8s %8s %17s %10s %7s %-14s %-6s %s\n", "method", "packed", "output", "ours MB/s",
         "lhasa MB/s", "ratio", "target", "", "peak memory");
  int failures = 0;
  for (const std::string& path : archives) {
    std::vector<Member> members = ReadMembers(path);
    if (members.empty()) Fail(path + " holds no compressed member");
    int method = members[0].method;
    double output = 0, packed = 0;
    uint32_t largestPacked = 0;
    for (const Member& m : members) {
      output += m.original;
      packed += m.packed;
      largestPacked = std::max(largestPacked, m.packed);
    }
    long growthKiB = PeakGrowthKiB(path);
    std::vector<double> ours, oursWall, theirs;
    bool lhasaDecodes = true;
    for (int run = 0; run < runs; ++run) {
      double wall = Now(), cpu = CpuNow();
      int failed = DecodeAll(path, members);
      ours.push_back(output / (CpuNow() - cpu) / 1e6);
      oursWall.push_back(output / (Now() - wall) / 1e6);
      if (failed) {
        fprintf(stderr, "bench: %s: %d member(s) failed the CRC check\n", path.c_str(), failed);
        ++failures;
        break;
      }
      double lhasaSeconds = 0;
      if (lhasaDecodes && (lhasaDecodes = RunLhasa(lhasa, path, &lhasaSeconds)))
        theirs.push_back(output / lhasaSeconds / 1e6);
    }
    double oursMBs = Median(ours);
    Target target = TargetOf(method);
    char oursText[48], lhasaText[32] = "n/a", ratioText[32] = "", targetText[32], memoryText[64] = "not measured";
    snprintf(oursText, sizeof oursText, "%.1f [%.1f]", oursMBs, Median(oursWall));
    bool met;
    if (lhasaDecodes && !theirs.empty()) {
      double theirsMBs = Median(theirs);
      snprintf(lhasaText, sizeof lhasaText, "%.1f", theirsMBs);
      snprintf(ratioText, sizeof ratioText, "%.2fx", oursMBs / theirsMBs);
      met = target.lhasaFactor ? oursMBs >= target.lhasaFactor * theirsMBs : oursMBs >= target.ownMBs;
    } else {
      met = target.ownMBs ? oursMBs >= target.ownMBs : false;
    }
    if (target.lhasaFactor) snprintf(targetText, sizeof targetText, ">= %gx lhasa", target.lhasaFactor);
    else snprintf(targetText, sizeof targetText, ">= %g MB/s", target.ownMBs);
    if (growthKiB >= 0) {
      long limitKiB = (long)(largestPacked / 1024) + 1024;
      snprintf(memoryText, sizeof memoryText, "+%ld KiB of %ld KiB %s", growthKiB, limitKiB,
               growthKiB <= limitKiB ? "ok" : "OVER");
    }
    printf("%-6.5s %7.1fM %7.1fM %17s %10s %7s %-14s %-6s %s\n", methodIds + 4 * method, packed / 1048576,
           output / 1048576, oursText, lhasaText, ratioText, targetText, met ? "met" : "MISSED", memoryText);
    fflush(stdout);
  }
  return failures ? 1 : 0;
}
