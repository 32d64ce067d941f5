// encoder-bench: the publisher's encoder next to jLHA and gzip.
//
//   encoder-bench [--runs N] [--lzhgen PROGRAM] [--jlha PROGRAM] [--mksfx PROGRAM] [--work DIR] NAME=SOURCE...
//   encoder-bench --pack METHOD LEVEL OUT SOURCE [WORKERS]
//
// For every SOURCE (a file, or a folder whose files and subfolders become
// the members, as mksfx takes them) it writes an LZH archive with -lh7- at
// every level and with -lh5- and -lh6- at the default level, each in a
// process of its own (--pack, with a worker for each processor), once more
// at the default level with one worker; and the same files with jLHA twice:
// as its command-line archiver runs (tests/tools/jlha: -lh7-, storing what
// does not shrink) and through the corpus writer (tests/tools/lzhgen:
// -lh7- for every file, never stored); and with gzip -9 (of a tar for a
// folder). It runs N rounds of one run of each (default 3) and keeps the
// fastest run of each, by CPU time and by wall clock.
// It prints for each the size, its ratio to the input, to both of jLHA's
// and to gzip's sizes, the speed in MB/s of input (10^6 bytes) per CPU
// second (user + system of the process and its children; wall clock in
// brackets), the speed next to the jLHA command line's, and the peak
// resident set of the encoding process.
// Every archive of ours is checked with `lhasa t` and `mksfx --test`, and
// the one-worker archive must equal the other default-level one byte for
// byte. Then the targets: the default level no larger than jLHA's command
// line, and at least 5 times as fast; the smallest -lh7- no larger than
// jLHA's (aim: 3 % smaller) and smaller than gzip -9; the workers at least
// 1.7 times as fast as one (wall clock) on two processors or more; memory
// bounded whatever the files' sizes. The exit status is 1 when an archive
// fails its check; targets are reported, not enforced.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "encode/folder_members.h"
#include "system/sjis_names.h"

namespace {

// Each worker and the writer hold one encoder, whose memory is fixed by
// the dictionary (buffer, chains, pending symbols, output buffer: about 4
// MiB with -lh7-); each worker also the member it packs (1 MiB of input at
// most, in a buffer of at most twice its packed size), and the members
// waiting for the writer take 4 MiB of input at most (8 MiB of buffers).
// 8 MiB more are left for the process around them.
double PeakLimitMiB(unsigned workers) {
  const double encoder = 4, memberBuffer = 2, waitingBuffers = 8, process = 8;
  return process + waitingBuffers + encoder + workers * (encoder + memberBuffer);
}

[[noreturn]] void Fail(const std::string& message) {
  fprintf(stderr, "encoder-bench: %s\n", message.c_str());
  exit(2);
}

double Seconds(const timeval& t) { return t.tv_sec + t.tv_usec * 1e-6; }

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

struct RunResult {
  bool succeeded;
  double cpuSeconds, wallSeconds, peakMiB;
};

// Runs a program (stdout and stderr to /dev/null) and measures it and the
// children it waits for.
RunResult Measure(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  fflush(stdout);
  const double started = Now();
  pid_t child = fork();
  if (child == 0) {
    freopen("/dev/null", "w", stdout);
    freopen("/dev/null", "w", stderr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage;
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return {false, 0, 0, 0};
  return {WIFEXITED(status) && WEXITSTATUS(status) == 0, Seconds(usage.ru_utime) + Seconds(usage.ru_stime),
          Now() - started, usage.ru_maxrss / 1024.0};
}

uint64_t FileSize(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 ? (uint64_t)status.st_size : 0;
}

bool IsFolder(const std::string& path) {
  struct stat status;
  return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// The members mksfx would make of SOURCE: a folder's files and subfolders,
// or the one file.
std::vector<ArchiveMember> MembersOf(const std::string& source) {
  std::vector<ArchiveMember> members;
  if (IsFolder(source)) {
    std::vector<std::string> skipped;
    std::string error;
    if (!FolderMembers(source, &members, &skipped, &error)) Fail(error);
  } else {
    ArchiveMember member;
    struct stat status;
    if (stat(source.c_str(), &status) != 0) Fail("cannot read " + source);
    member.source = source;
    member.name = source.substr(source.find_last_of('/') + 1);
    member.size = (uint64_t)status.st_size;
    member.mtime = (uint32_t)status.st_mtime;
    members.push_back(member);
  }
  return members;
}

int PackMode(const std::string& methodName, int level, const std::string& out, const std::string& source,
             unsigned workers) {
  const StaticMethod* method = StaticMethodNamed(methodName.c_str());
  if (!method) Fail("unknown method " + methodName);
  FILE* file = fopen(out.c_str(), "w+b");
  std::string error;
  if (!file || !WriteLzhArchive(file, MembersOf(source), *method, level, &error, workers)) Fail(error);
  return fclose(file) == 0 ? 0 : 1;
}

// jLHA's list: every member with -lh7- (folders -lhd-), level-2 headers,
// names in UTF-8.
void WriteJlhaList(const std::string& path, const std::vector<ArchiveMember>& members) {
  FILE* list = fopen(path.c_str(), "w");
  if (!list) Fail("cannot write " + path);
  for (const ArchiveMember& member : members) {
    std::string name;
    if (!ShiftJisToUtf8(member.name, &name)) Fail("cannot convert the name of " + member.source);
    fprintf(list, "%s\t2\t%s\t%s\t%u\n", member.folder ? "-lhd-" : "-lh7-", name.c_str(),
            member.folder ? "-" : member.source.c_str(), member.mtime);
  }
  fclose(list);
}

// One encoder of the table: how it is run, where it writes, what it gave
// (its fastest run by CPU time, and its fastest wall clock).
struct Row {
  std::string encoder;
  int level;  // 0: not ours
  std::vector<std::string> command;
  std::string out;
  uint64_t size = 0;
  uint64_t digest = 0;  // of the first run's output
  RunResult run = {false, 0, 0, 0};
  double fastestWall = 0;
  std::string check;
};

struct Tools {
  std::string self, lzhgen, jlha, mksfx, work;
  int runs;
};

uint64_t FileDigest(const std::string& path) {
  uint64_t digest = 0xcbf29ce484222325ull;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return 0;
  unsigned char buffer[1 << 16];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, file)) > 0;)
    for (size_t i = 0; i < n; ++i) digest = (digest ^ buffer[i]) * 0x100000001b3ull;
  fclose(file);
  return digest;
}

// Runs every row `runs` times, in rounds of one run of each, and keeps the
// fastest run (by CPU time) and the fastest wall clock of each: the ones
// least disturbed by other work on the machine, and a spell of such work
// falls on one run of several encoders rather than on every run of one. An
// archive of ours is checked after its first run; every output is removed
// once measured.
bool RunInRounds(std::vector<Row>& rows, const Tools& tools) {
  bool allGood = true;
  for (int round = 0; round < tools.runs; ++round) {
    for (Row& row : rows) {
      const RunResult run = Measure(row.command);
      if (round == 0) {
        row.size = FileSize(row.out);
        row.digest = FileDigest(row.out);
        row.run = run;
        row.fastestWall = run.wallSeconds;
        if (row.level) {
          const bool lhasa = Measure({"lhasa", "t", row.out}).succeeded;
          const bool own = Measure({tools.mksfx, "--test", row.out}).succeeded;
          row.check = !run.succeeded ? "FAILED to pack"
                                     : std::string(lhasa ? "lhasa ok" : "lhasa FAILED") + (own ? ", ours ok" : ", ours FAILED");
          allGood = allGood && run.succeeded && lhasa && own;
        }
      } else if (row.run.succeeded && run.succeeded) {
        if (run.cpuSeconds < row.run.cpuSeconds) row.run = run;
        row.fastestWall = std::min(row.fastestWall, run.wallSeconds);
      } else {
        row.run.succeeded = false;
      }
      remove(row.out.c_str());
    }
  }
  return allGood;
}

double MBs(uint64_t bytes, double seconds) { return seconds > 0 ? bytes / seconds / 1e6 : 0; }

void PrintRow(const Row& row, uint64_t input, const Row& jlha, const Row& corpusJlha, const Row& gzip) {
  char speed[48];
  snprintf(speed, sizeof speed, "%.1f [%.1f]", MBs(input, row.run.cpuSeconds), MBs(input, row.run.wallSeconds));
  char level[8] = "";
  if (row.level) snprintf(level, sizeof level, "%d", row.level);
  printf("  %-22s %5s %12llu %6.2f%% %7.2f%% %7.2f%% %7.2f%% %15s %6.2fx %7.1f  %s\n", row.encoder.c_str(), level,
         (unsigned long long)row.size, 100.0 * row.size / input, 100.0 * row.size / jlha.size,
         100.0 * row.size / corpusJlha.size, 100.0 * row.size / gzip.size, speed,
         jlha.run.cpuSeconds / row.run.cpuSeconds, row.run.peakMiB, row.check.c_str());
  fflush(stdout);
}

// Every level of -lh7-, then -lh5- and -lh6- at the default level.
std::vector<std::pair<std::string, int>> OurSettings() {
  std::vector<std::pair<std::string, int>> settings;
  for (int level = MIN_LEVEL; level <= MAX_LEVEL; ++level) settings.push_back({"lh7", level});
  settings.push_back({"lh5", DEFAULT_LEVEL});
  settings.push_back({"lh6", DEFAULT_LEVEL});
  return settings;
}

// Benchmarks one source; false when one of our archives fails its check.
bool BenchSource(const Tools& tools, const std::string& name, const std::string& source) {
  const std::vector<ArchiveMember> members = MembersOf(source);
  uint64_t input = 0;
  size_t files = 0;
  for (const ArchiveMember& member : members) {
    input += member.size;
    files += !member.folder;
  }
  const bool folder = IsFolder(source);
  const unsigned workers = std::max(1u, std::thread::hardware_concurrency());
  printf("%s: %llu bytes in %zu files%s\n", name.c_str(), (unsigned long long)input, files,
         folder ? " (and their folders; links and special files left out)" : "");

  const std::string out = tools.work + "/" + name + ".vorn.lzh";
  auto pack = [&](const std::string& method, int level, const std::string& workerCount) {
    return std::vector<std::string>{tools.self, "--pack", method, std::to_string(level), out, source, workerCount};
  };
  std::vector<Row> rows;
  for (const auto& [method, level] : OurSettings())
    rows.push_back({"vorn -" + method + "-", level, pack(method, level, "0"), out});
  rows.push_back({"vorn -lh7-, one worker", DEFAULT_LEVEL, pack("lh7", DEFAULT_LEVEL, "1"), out});
  const std::string jlhaOut = tools.work + "/" + name + ".jlha.lzh";
  rows.push_back({"jLHA command line", 0, {tools.jlha, jlhaOut, source}, jlhaOut});
  const std::string list = tools.work + "/" + name + ".jlha.tsv";
  WriteJlhaList(list, members);
  rows.push_back({"jLHA corpus writer", 0, {tools.lzhgen, jlhaOut, list}, jlhaOut});
  const std::string gzipOut = tools.work + "/" + name + ".gz";
  const std::string gzipCommand = folder ? "tar -cf - -C '" + source + "' . | gzip -9 > '" + gzipOut + "'"
                                         : "gzip -9 -c '" + source + "' > '" + gzipOut + "'";
  rows.push_back({folder ? "tar | gzip -9" : "gzip -9", 0, {"sh", "-c", gzipCommand}, gzipOut});
  bool allGood = RunInRounds(rows, tools);
  const Row& gzip = rows.back();
  const Row& corpusJlha = rows[rows.size() - 2];
  const Row& jlha = rows[rows.size() - 3];
  if (!jlha.run.succeeded) Fail("jLHA's command line (" + tools.jlha + ") failed on " + source);
  if (!corpusJlha.run.succeeded) Fail("jLHA's corpus writer (" + tools.lzhgen + ") failed on " + source);
  if (!gzip.run.succeeded) Fail("gzip -9 failed on " + source);
  const std::vector<Row> ours(rows.begin(), rows.end() - 3);

  printf("  %-22s %5s %12s %7s %8s %8s %8s %15s %7s %7s  %s\n", "encoder", "level", "bytes", "ratio", "/ jLHA",
         "/ jLHA cw", "/ gzip", "MB/s [wall]", "speed", "peak MiB", "check");
  for (const Row& row : rows) PrintRow(row, input, jlha, corpusJlha, gzip);

  const Row& smallest = *std::min_element(ours.begin(), ours.begin() + MAX_LEVEL,
                                          [](const Row& a, const Row& b) { return a.size < b.size; });
  const Row& standard = ours[DEFAULT_LEVEL - 1];
  const Row& oneWorker = ours.back();
  if (oneWorker.digest != standard.digest) {
    printf("  FAILED: one worker and %u workers wrote different archives\n", workers);
    allGood = false;
  }
  double peak = 0;
  for (const Row& row : ours) peak = std::max(peak, row.run.peakMiB);
  const double sizeToJlha = 100.0 * smallest.size / jlha.size, speedup = jlha.run.cpuSeconds / standard.run.cpuSeconds;
  const double standardToJlha = 100.0 * standard.size / jlha.size;
  printf("  targets: default level %d: %.2f%% of the jLHA command line's size (no larger: %s), %.2f%% of the corpus"
         " writer's;\n           %.1fx jLHA's speed (at least 5x: %s)\n",
         DEFAULT_LEVEL, standardToJlha, standardToJlha <= 100 ? "met" : "MISSED",
         100.0 * standard.size / corpusJlha.size, speedup, speedup >= 5 ? "met" : "MISSED");
  printf("           smallest -lh7- (level %d) %.2f%% of jLHA's (no larger: %s; 3 %% smaller: %s), %s gzip -9's\n",
         smallest.level, sizeToJlha, sizeToJlha <= 100 ? "met" : "MISSED", sizeToJlha <= 97 ? "met" : "missed",
         smallest.size < gzip.size ? "smaller than" : "NOT smaller than");
  const double parallel = oneWorker.fastestWall / standard.fastestWall;
  printf("           %u workers at level %d: %.2fx the wall-clock speed of one (fastest of each), %.2fx its CPU time",
         workers, DEFAULT_LEVEL, parallel, standard.run.cpuSeconds / oneWorker.run.cpuSeconds);
  if (!folder) printf(" (one file stays on one processor)");
  else if (workers >= 2) printf(" (at least 1.7x: %s)", parallel >= 1.7 ? "met" : "MISSED");
  printf("\n           peak memory %.1f MiB for %.1f MiB of input (at most %.0f MiB with %u workers: %s)\n\n", peak,
         input / 1048576.0, PeakLimitMiB(workers), workers, peak <= PeakLimitMiB(workers) ? "met" : "MISSED");
  return allGood;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if ((args.size() == 5 || args.size() == 6) && args[0] == "--pack")
    return PackMode(args[1], std::stoi(args[2]), args[3], args[4], args.size() == 6 ? std::stoi(args[5]) : 0);
  Tools tools = {"/proc/self/exe", "tests/tools/lzhgen/lzhgen", "tests/tools/jlha/jlha", "", "/tmp", 3};
  char self[4096];
  ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  if (length > 0) tools.self.assign(self, (size_t)length);
  tools.mksfx = tools.self.substr(0, tools.self.find_last_of('/') + 1) + "mksfx";
  std::vector<std::pair<std::string, std::string>> sources;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--runs" && i + 1 < args.size()) tools.runs = std::max(1, std::stoi(args[++i]));
    else if (args[i] == "--lzhgen" && i + 1 < args.size()) tools.lzhgen = args[++i];
    else if (args[i] == "--jlha" && i + 1 < args.size()) tools.jlha = args[++i];
    else if (args[i] == "--mksfx" && i + 1 < args.size()) tools.mksfx = args[++i];
    else if (args[i] == "--work" && i + 1 < args.size()) tools.work = args[++i];
    else if (args[i].find('=') != std::string::npos)
      sources.push_back({args[i].substr(0, args[i].find('=')), args[i].substr(args[i].find('=') + 1)});
    else Fail("usage: encoder-bench [--runs N] [--lzhgen PROGRAM] [--jlha PROGRAM] [--mksfx PROGRAM] [--work DIR] NAME=SOURCE...");
  }
  if (sources.empty()) Fail("no NAME=SOURCE given");
  printf("Encoding: ours at every level of -lh7- and at the default level (%d) of -lh5- and -lh6-, with a worker\n"
         "for each processor, and at the default level with one worker; next to jLHA (its command line, which\n"
         "stores what does not shrink, and the corpus writer, which never stores) and gzip -9; the fastest run\n"
         "of each in %d rounds. Ratio: packed size to input; / jLHA, / jLHA cw and / gzip: packed size to the\n"
         "command line's, the corpus writer's and gzip's; MB/s: input per CPU second (wall clock in brackets);\n"
         "speed: the jLHA command line's CPU time to ours; peak: resident set of the encoding process.\n\n",
         DEFAULT_LEVEL, tools.runs);
  bool allGood = true;
  for (const auto& [name, source] : sources) allGood = BenchSource(tools, name, source) && allGood;
  return allGood ? 0 : 1;
}
