// mksfx: the publisher's tool that makes a Vorn installer out of the stub,
// an installer configuration block and an existing LZH archive.
#include <string>
#include <vector>

#include "archive/header_reader.h"
#include "session/session.h"
#include "win32_host.h"

namespace {

const char kUsage[] =
    "usage: mksfx [options] ARCHIVE.lzh OUTPUT.exe\n"
    "\n"
    "Writes OUTPUT.exe: the stub, then the installer configuration block, then\n"
    "ARCHIVE.lzh unchanged. Texts are taken as the bytes given (Shift-JIS for a\n"
    "Japanese system), at most 255 bytes each.\n"
    "\n"
    "  --stub FILE            the stub (default: ../win32/vornsfx.exe beside mksfx);\n"
    "                         it must be exactly 17408 bytes\n"
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
    "  --help                 this text\n";

struct Options {
  std::string stub, archive, output;
  bool plain = false, programFiles = false;
  bool installerOptionGiven = false;
  std::string title, destination, program, postInstall, shortcutName;
  int startMenu = 0, desktop = 0, sendTo = 0;
};

[[noreturn]] void Fail(const std::string& message) {
  fprintf(stderr, "mksfx: %s\n", message.c_str());
  exit(1);
}

std::string DefaultStub(const char* argv0) {
  std::string self = argv0;
  size_t slash = self.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
  return dir + "/../win32/vornsfx.exe";
}

int ParseOptionByte(const std::string& option, const char* text) {
  char* end = nullptr;
  long value = strtol(text, &end, 0);
  if (!*text || *end || value < 0 || value > 255) Fail(option + " needs a number from 0 to 255");
  return (int)value;
}

Options ParseArguments(int argc, char** argv) {
  Options options;
  options.stub = DefaultStub(argv[0]);
  std::vector<std::string> positional;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* {
      if (i + 1 >= argc) Fail(arg + " needs a value");
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      fputs(kUsage, stdout);
      exit(0);
    } else if (arg == "--stub") {
      options.stub = value();
    } else if (arg == "--plain") {
      options.plain = true;
    } else if (arg == "--program-files") {
      options.programFiles = options.installerOptionGiven = true;
    } else if (arg == "--title" || arg == "--destination" || arg == "--program" ||
               arg == "--post-install" || arg == "--shortcut-name") {
      std::string text = value();
      if (text.size() > 255) Fail(arg + " is " + std::to_string(text.size()) + " bytes; at most 255 fit");
      (arg == "--title" ? options.title
       : arg == "--destination" ? options.destination
       : arg == "--program" ? options.program
       : arg == "--post-install" ? options.postInstall
                                 : options.shortcutName) = text;
      options.installerOptionGiven = true;
    } else if (arg == "--start-menu" || arg == "--desktop" || arg == "--send-to") {
      int byte = ParseOptionByte(arg, value());
      (arg == "--start-menu" ? options.startMenu : arg == "--desktop" ? options.desktop : options.sendTo) = byte;
      options.installerOptionGiven = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      Fail("unknown option " + arg + " (see --help)");
    } else {
      positional.push_back(arg);
    }
  }
  if (positional.size() != 2) Fail("needs ARCHIVE.lzh and OUTPUT.exe (see --help)");
  if (options.plain && options.installerOptionGiven)
    Fail("--plain makes a plain self-extractor; it takes no installer options");
  options.archive = positional[0];
  options.output = positional[1];
  return options;
}

std::string ReadFile(const std::string& path, const char* what) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) Fail(std::string("cannot read the ") + what + " " + path);
  std::string bytes;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  fclose(file);
  return bytes;
}

// The archive must start with a member header that the stub can read.
void CheckArchive(const std::string& path) {
  SfxSession session;
  InitSession(&session, nullptr);
  session.own_file = fopen(path.c_str(), "rb");
  if (!session.own_file) Fail("cannot read the archive " + path);
  HostMessageBoxes().clear();
  LzhEntry entry;
  bool read = ReadMemberHeader(&session, &entry);
  CloseSession(&session);
  if (!read) {
    std::string why = HostMessageBoxes().empty() ? "it is empty or cut short" : "its header is damaged or of an unknown kind";
    Fail("the first member header of " + path + " does not parse: " + why);
  }
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

// Written beside the output and renamed into place, so that a failure
// leaves no output file behind.
void WriteOutput(const std::string& path, const std::string& bytes) {
  std::string temporary = path + ".partial";
  FILE* file = fopen(temporary.c_str(), "wb");
  if (!file) Fail("cannot write " + path);
  bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  written = fclose(file) == 0 && written;
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    remove(temporary.c_str());
    Fail("cannot write " + path);
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options = ParseArguments(argc, argv);
  std::string stub = ReadFile(options.stub, "stub");
  if (stub.size() != SFX_STUB_SIZE)
    Fail("the stub " + options.stub + " is " + std::to_string(stub.size()) + " bytes; it must be exactly " +
         std::to_string((int)SFX_STUB_SIZE));
  CheckArchive(options.archive);
  std::string archive = ReadFile(options.archive, "archive");
  WriteOutput(options.output, stub + ConfigurationBlock(options) + archive);
  return 0;
}
