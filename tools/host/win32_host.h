// Stand-ins for the Win32 and msvcrt functions that the portable core
// calls, so that the core runs in the tests and tools on Linux and in
// mksfx.exe on Windows. They do the real work where it is the host's own
// (folders and the current directory, through src/system) and record the
// rest for inspection: message boxes, window messages, shell notifications
// and an in-memory registry.
#pragma once
#include <stdint.h>
#include <map>
#include <string>
#include <vector>

struct HostMessageBox {
  std::string text;
  std::string caption;  // empty when none was given
  unsigned type;
};

struct HostWindowMessage {
  void* window;
  unsigned message;
  uintptr_t wParam;
  std::string text;  // WM_USER + 1: the name it carried
  bool posted;
};

struct HostShellNotification {
  long event;
  std::string path;
};

struct HostRegistryValue {
  uint32_t type;
  std::string bytes;  // exactly the bytes written, with their count
};

// Keys by full name, such as "HKCR\.lzh" (compared without regard to case).
using HostRegistry = std::map<std::string, std::map<std::string, HostRegistryValue>>;

std::vector<HostMessageBox>& HostMessageBoxes();
std::vector<HostWindowMessage>& HostWindowMessages();
std::vector<HostShellNotification>& HostShellNotifications();
HostRegistry& HostRegistryKeys();

// Clears every record and the registry; sets the reported folders back.
void HostReset();
// What GetCurrentDirectoryA / GetWindowsDirectoryA report; an empty current
// directory means the real one.
void HostSetCurrentDirectoryText(const std::string& text);
void HostSetWindowsDirectory(const std::string& text);
// What GlobalMemoryStatus reports as free physical memory (0: unknown).
void HostSetAvailablePhysicalMemory(size_t bytes);
// Message boxes are printed to stderr as they are shown (for tools).
void HostPrintMessageBoxes(bool print);

// Called with every window message as it is sent or posted (tests use it to
// act at a given moment of a run, e.g. press Abort); null to remove.
void HostSetMessageHook(void (*hook)(const HostWindowMessage& message));

// Key name as recorded, e.g. HostKeyName(HKEY_CLASSES_ROOT, ".lzh").
std::string HostKeyName(void* root, const std::string& subKey);
