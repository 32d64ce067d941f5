// The installer configuration block, read from the program's own file at
// the stub's size, after a command line that may have set the destination
// or the shortcut choices already.
//
// Input: flags (bit 0: the command line named a destination; bit 1: it
// chose shortcuts; bits 2-3: four times that many bytes more of current
// directory; bit 4: the current directory ends in a backslash; bit 5: the
// Windows folder has no drive), the current directory's length, then the
// block and whatever follows it.
#include <sys/mman.h>
#include <unistd.h>

#include <string>

#include "session/config_block.h"
#include "win32_host.h"

static void Fail(const char* what) {
  fprintf(stderr, "%s\n", what);
  abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const unsigned flags = data[0];
  HostReset();
  std::string current = "C:\\";
  current.resize(3 + data[1] + ((flags >> 2) & 3) * 4, 'd');
  if (flags & 0x10) current.back() = '\\';
  HostSetCurrentDirectoryText(current);
  if (flags & 0x20) HostSetWindowsDirectory("\\\\server\\WINDOWS");

  SfxSession session;
  InitSession(&session, nullptr);
  if (flags & 1) SetSessionString(&session.destination, "D:\\Chosen", 9);
  session.command_line_mode = flags & 2;
  int fd = memfd_create("installer", 0);
  if (fd < 0 || ftruncate(fd, SFX_STUB_SIZE) != 0 ||
      pwrite(fd, data + 2, size - 2, SFX_STUB_SIZE) != (ssize_t)(size - 2))
    Fail("memfd");
  session.own_file = fdopen(fd, "rb");
  if (!session.own_file || fseek(session.own_file, SFX_STUB_SIZE, SEEK_SET) != 0) Fail("fdopen");

  const bool ok = ReadSfxConfig(&session);
  // What the rest of the run takes for granted once the block is read: a
  // title to show and a folder to go to, and the stream at the archive,
  // right behind the block (a kind byte; for an installer five texts, each
  // behind its length, with a byte after the first and three after the
  // third). Every text is terminated.
  if (ok && (!session.title || !session.title[0] || !session.destination)) Fail("block read without title or destination");
  size_t end = 3;
  if (size > 2 && data[2])
    for (int text = 0; text < 5 && end < size; ++text) end += 1 + data[end] + (text == 0 ? 1 : text == 2 ? 3 : 0);
  if (ok && ftell(session.own_file) != (long)(SFX_STUB_SIZE + end - 2)) Fail("the stream is not at the archive");
  for (char** text = &session.destination; text <= &session.shortcut_name; ++text)
    if (*text) (void)strlen(*text);
  CloseSession(&session);
  return 0;
}
