// mksfx: the publisher's tool. It makes a Vorn installer out of the stub,
// an installer configuration block and the files to install (a folder,
// compressed here, or an existing LZH archive), optionally signs it, and
// lists, tests or extracts an installer.
#include <algorithm>
#include <string>
#include <vector>

#include "console.h"
#include "encode/folder_members.h"
#include "execution_level.h"
#include "inspect.h"
#include "session/session.h"
#include "system/local_files.h"
#include "system/programs.h"

namespace {

const char kUsage[] =
    "usage: mksfx [options] SOURCE OUTPUT.exe\n"
    "       mksfx --list INSTALLER      mksfx --test INSTALLER\n"
    "       mksfx --extract INSTALLER FOLDER\n"
    "       mksfx --version\n"
    "\n"
    "Writes OUTPUT.exe: the stub, then the installer configuration block, then an\n"
    "LZH archive. SOURCE is a folder, whose files and subfolders become the\n"
    "members (compressed here; names converted to Shift-JIS; links and special\n"
    "files left out), or an LZH archive, copied as it is (a damaged one is\n"
    "refused; the end-of-archive byte is added when it lacks one). On any error\n"
    "no output is left behind. Texts are at most 255 bytes each in Shift-JIS: on\n"
    "Linux they are taken as the bytes given, on Windows converted from what is\n"
    "typed.\n"
    "\n"
    "  --method lh5|lh6|lh7   compression of a folder's files (default lh7); a\n"
    "                         file that does not shrink is stored (-lh0-)\n"
    "  --level N              1 (fastest) to 9 (smallest), default 5\n"
    "  --sign CERT.pfx        sign the installer with osslsigncode (Authenticode,\n"
    "                         SHA-256) using the certificate and key in CERT.pfx;\n"
    "                         on Windows osslsigncode must be on the PATH\n"
    "  --password-file FILE   the password of CERT.pfx (default: none)\n"
    "  --stub FILE            the stub (default: vornsfx.exe beside mksfx, or, as\n"
    "                         built, ../win32/vornsfx.exe); exactly 17408 bytes\n"
    "  --plain                a plain self-extractor: no dialog, no installation\n"
    "                         steps, extracts into the current directory; the\n"
    "                         installer options below are then not allowed\n"
    "  --title TEXT           window and dialog title (default \"Vorn SFX\")\n"
    "  --program-files        a relative destination goes under \\Program Files\\\n"
    "                         on the Windows drive (default: the current directory)\n"
    "  --destination TEXT     destination folder, absolute or relative\n"
    "                         (default: the current directory)\n"
    "  --program TEXT         installed main program, relative to the destination\n"
    "  --start-menu N         Start-menu shortcut option byte: bit 0 offers the\n"
    "  --desktop N            choice in the dialog, bit 1 chooses it (0 to 255)\n"
    "  --send-to N\n"
    "  --post-install TEXT    program to run after installing, relative to the\n"
    "                         destination\n"
    "  --shortcut-name TEXT   shortcut file name without .lnk (default: the\n"
    "                         program's name)\n"
    "\n"
    "  --list INSTALLER       print the configuration block and every member (name,\n"
    "                         size, packed size, method, time in UTC, CRC-16)\n"
    "  --test INSTALLER       decode every member in memory with the stub's own\n"
    "                         decoders and check its size and CRC-16\n"
    "  --extract INSTALLER FOLDER\n"
    "                         extract every member below FOLDER with the stub's\n"
    "                         path rules (names converted back to UTF-8)\n"
    "  The three take a bare .lzh archive as well, check each header's checksum\n"
    "  or CRC, and exit with status 1 when a header is damaged, a member fails or\n"
    "  would be skipped by the stub, or the archive breaks off (they say where).\n"
    "  --version              the version of mksfx\n"
    "  --help                 this text\n";

enum Mode { MAKE, LIST, TEST, EXTRACT };

struct Options {
  Mode mode = MAKE;
  std::string stub, source, output;
  const StaticMethod* method = &kDefaultMethod;
  int level = DEFAULT_LEVEL;
  std::string certificate, passwordFile;
  bool plain = false, programFiles = false;
  bool installerOptionGiven = false, packingOptionGiven = false;
  std::string title, destination, program, postInstall, shortcutName;
  int startMenu = 0, desktop = 0, sendTo = 0;
};

// A release keeps the stub beside mksfx; the build, in a folder beside it.
std::string DefaultStub(const char* argv0) {
  const std::string folder = ProgramFolder(argv0);
  const std::string released = folder + "/vornsfx.exe";
  return KindOfLocalPath(released) == PATH_FILE ? released : folder + "/../win32/vornsfx.exe";
}

int ParseNumber(const std::string& option, const char* text, int lowest, int highest) {
  char* end = nullptr;
  long value = strtol(text, &end, 0);
  if (!*text || *end || value < lowest || value > highest)
    Fail(option + " needs a number from " + std::to_string(lowest) + " to " + std::to_string(highest));
  return (int)value;
}

// A text of the installer, in Shift-JIS.
std::string InstallerTextOption(const std::string& option, const std::string& argument) {
  std::string text;
  if (!InstallerText(argument, &text)) Fail(option + " " + argument + ": the text has no Shift-JIS form");
  if (text.size() > 255) Fail(option + " is " + std::to_string(text.size()) + " bytes; at most 255 fit");
  return text;
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  options.stub = DefaultStub(argv[0]);
  const std::vector<std::string> arguments = ProgramArguments(argc, argv);
  std::vector<std::string> positional;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& arg = arguments[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= arguments.size()) Fail(arg + " needs a value");
      return arguments[++i].c_str();
    };
    if (arg == "--help" || arg == "-h") {
      fputs(kUsage, stdout);
      exit(0);
    } else if (arg == "--version") {
      printf("mksfx %s\n", VORN_VERSION);
      exit(0);
    } else if (arg == "--list" || arg == "--test" || arg == "--extract") {
      options.mode = arg == "--list" ? LIST : arg == "--test" ? TEST : EXTRACT;
    } else if (arg == "--stub") {
      options.stub = value();
    } else if (arg == "--method") {
      options.method = StaticMethodNamed(value());
      if (!options.method) Fail("--method takes lh5, lh6 or lh7");
      options.packingOptionGiven = true;
    } else if (arg == "--level") {
      options.level = ParseNumber(arg, value(), MIN_LEVEL, MAX_LEVEL);
      options.packingOptionGiven = true;
    } else if (arg == "--sign") {
      options.certificate = value();
    } else if (arg == "--password-file") {
      options.passwordFile = value();
    } else if (arg == "--plain") {
      options.plain = true;
    } else if (arg == "--program-files") {
      options.programFiles = options.installerOptionGiven = true;
    } else if (arg == "--title" || arg == "--destination" || arg == "--program" ||
               arg == "--post-install" || arg == "--shortcut-name") {
      const std::string text = InstallerTextOption(arg, value());
      (arg == "--title" ? options.title
       : arg == "--destination" ? options.destination
       : arg == "--program" ? options.program
       : arg == "--post-install" ? options.postInstall
                                 : options.shortcutName) = text;
      options.installerOptionGiven = true;
    } else if (arg == "--start-menu" || arg == "--desktop" || arg == "--send-to") {
      int byte = ParseNumber(arg, value(), 0, 255);
      (arg == "--start-menu" ? options.startMenu : arg == "--desktop" ? options.desktop : options.sendTo) = byte;
      options.installerOptionGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      Fail("unknown option " + arg + " (see --help)");
    } else {
      positional.push_back(arg);
    }
  }
  if (options.mode == LIST || options.mode == TEST) {
    if (positional.size() != 1) Fail("needs one INSTALLER (see --help)");
    options.source = positional[0];
    return options;
  }
  if (positional.size() != 2)
    Fail(options.mode == EXTRACT ? "needs INSTALLER and FOLDER (see --help)"
                                 : "needs SOURCE and OUTPUT.exe (see --help)");
  options.source = positional[0];
  options.output = positional[1];
  if (options.plain && options.installerOptionGiven)
    Fail("--plain makes a plain self-extractor; it takes no installer options");
  if (!options.passwordFile.empty() && options.certificate.empty()) Fail("--password-file goes with --sign");
  return options;
}

std::string ReadFile(const std::string& path, const char* what) {
  FILE* file = OpenLocalFile(path, "rb");
  if (!file) Fail(std::string("cannot read the ") + what + " " + path);
  std::string bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

void AppendText(std::string& block, const std::string& text) {
  block += (char)text.size();
  block += text;
}

std::string ConfigurationBlock(const Options& options) {
  std::string block;
  if (options.plain) return std::string(1, '\0');
  block += '\1';
  AppendText(block, options.title);
  block += (char)(options.programFiles ? 1 : 0);
  AppendText(block, options.destination);
  AppendText(block, options.program);
  block += (char)options.startMenu;
  block += (char)options.desktop;
  block += (char)options.sendTo;
  AppendText(block, options.postInstall);
  AppendText(block, options.shortcutName);
  return block;
}

bool IsFolder(const std::string& path) {
  const LocalPathKind kind = KindOfLocalPath(path);
  if (kind == PATH_MISSING) Fail("cannot read " + path);
  return kind == PATH_FOLDER;
}

std::vector<ArchiveMember> MembersOfFolder(const std::string& folder) {
  std::vector<ArchiveMember> members;
  std::vector<std::string> skipped;
  std::string error;
  if (!FolderMembers(folder, &members, &skipped, &error)) Fail(error);
  for (const std::string& path : skipped)
    fprintf(stderr, "mksfx: left out %s: not a file or folder (a link or a special file)\n", path.c_str());
  if (members.empty()) Fail(folder + " holds no files or folders");
  return members;
}

void WriteBytes(FILE* out, const std::string& bytes) {
  if (fwrite(bytes.data(), 1, bytes.size(), out) != bytes.size()) Fail("cannot write the output");
}

void CopyFile(FILE* out, const std::string& path) {
  FILE* in = OpenLocalFile(path, "rb");
  if (!in) Fail("cannot read " + path);
  char buffer[65536];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, in)) > 0;)
    if (fwrite(buffer, 1, n, out) != n) Fail("cannot write the output");
  const bool failed = ferror(in) != 0;
  fclose(in);
  if (failed) Fail("cannot read " + path);
}

// Authenticode signature by osslsigncode, appended after the archive: the
// stub's walk stops at the archive's end byte before it.
void Sign(const Options& options, const std::string& input, const std::string& output) {
  std::vector<std::string> command = {"osslsigncode", "sign", "-pkcs12", options.certificate, "-h", "sha256"};
  if (options.passwordFile.empty()) command.insert(command.end(), {"-pass", ""});
  else command.insert(command.end(), {"-readpass", options.passwordFile});
  command.insert(command.end(), {"-in", input, "-out", output});
  RemoveOnFailure(output);
  const int status = RunProgram(command);
  if (status == PROGRAM_NOT_STARTED) Fail(SigningWithoutOsslsigncode(options.certificate, options.output));
  if (status != 0) Fail("osslsigncode could not sign the installer with " + options.certificate);
}

// The stub reads its own file with 32-bit signed offsets.
const int64_t kLargestInstaller = 0x7FFFFFFF;

void MakeInstaller(const Options& options) {
  std::string stub = ReadFile(options.stub, "stub");
  if (stub.size() != SFX_STUB_SIZE)
    Fail("the stub " + options.stub + " is " + std::to_string(stub.size()) + " bytes; it must be exactly " +
         std::to_string((int)SFX_STUB_SIZE));
  if (!SetExecutionLevel(&stub, options.plain ? "asInvoker" : "requireAdministrator"))
    Fail("the stub " + options.stub + " has no execution level in its manifest for mksfx to set");
  const bool fromFolder = IsFolder(options.source);
  std::vector<ArchiveMember> members;
  bool addEndByte = false;
  if (fromFolder) members = MembersOfFolder(options.source);
  else if (options.packingOptionGiven) Fail("--method and --level apply to a folder, not to an archive");
  else addEndByte = LacksEndByte(options.source);

  // Written beside the output and renamed into place, so that a failure
  // leaves no output file behind.
  const std::string partial = options.output + ".partial";
  RemoveOnFailure(partial);
  FILE* out = OpenLocalFile(partial, "w+b");
  if (!out) Fail("cannot write " + options.output);
  WriteBytes(out, stub + ConfigurationBlock(options));
  if (fromFolder) {
    std::string error;
    if (!WriteLzhArchive(out, members, *options.method, options.level, &error)) Fail(error);
  } else {
    CopyFile(out, options.source);
    if (addEndByte) WriteBytes(out, std::string(1, '\0'));
  }
  if (fseeko(out, 0, SEEK_END) != 0) Fail("cannot write " + options.output);
  const int64_t size = ftello(out);
  if (fclose(out) != 0) Fail("cannot write " + options.output);
  if (size > kLargestInstaller)
    Fail("the installer would be " + std::to_string(size) + " bytes; the stub reads at most 2 GiB - 1");
  std::string finished = partial;
  if (!options.certificate.empty()) {
    finished = options.output + ".signed";
    Sign(options, partial, finished);
    RemoveLocalFile(partial);
  }
  if (!MoveLocalFile(finished, options.output)) Fail("cannot write " + options.output);
}

}  // namespace

int main(int argc, char** argv) {
  WriteUtf8ToConsole();
  Options options = ParseArguments(argc, argv);
  switch (options.mode) {
    case LIST: return ListInstaller(options.source);
    case TEST: return TestInstaller(options.source);
    case EXTRACT: return ExtractInstaller(options.source, options.output);
    default: MakeInstaller(options); return 0;
  }
}
