#include "win32_host.h"
#include "platform.h"
#include "system/local_files.h"

#include <algorithm>
#include <cctype>
#include <mutex>

namespace {

std::mutex hostMutex;
std::vector<HostMessageBox> messageBoxes;
std::vector<HostWindowMessage> windowMessages;
std::vector<HostShellNotification> notifications;
HostRegistry registry;
std::string currentDirectoryText;
std::string windowsDirectory = "C:\\WINDOWS";
size_t availablePhysicalMemory = 0;
bool printMessageBoxes = false;
void (*messageHook)(const HostWindowMessage&) = nullptr;

std::string Lower(std::string text) {
  for (char& c : text) c = (char)std::tolower((unsigned char)c);
  return text;
}

// Open keys are heap strings holding the key's full name in lower case.
struct OpenKey {
  std::string name;
};

std::string RootName(HKEY root) {
  if (root == HKEY_CLASSES_ROOT) return "hkcr";
  if (root == HKEY_CURRENT_USER) return "hkcu";
  if (root == HKEY_LOCAL_MACHINE) return "hklm";
  return static_cast<OpenKey*>(root)->name;
}

std::string FullName(HKEY root, LPCSTR subKey) {
  std::string name = RootName(root);
  if (subKey && *subKey) name += "\\" + Lower(subKey);
  return name;
}

bool HasSubKeys(const std::string& name) {
  std::string prefix = name + "\\";
  auto it = registry.lower_bound(prefix);
  return it != registry.end() && it->first.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

std::vector<HostMessageBox>& HostMessageBoxes() { return messageBoxes; }
std::vector<HostWindowMessage>& HostWindowMessages() { return windowMessages; }
std::vector<HostShellNotification>& HostShellNotifications() { return notifications; }
HostRegistry& HostRegistryKeys() { return registry; }

void HostReset() {
  std::lock_guard<std::mutex> lock(hostMutex);
  messageBoxes.clear();
  windowMessages.clear();
  notifications.clear();
  registry.clear();
  currentDirectoryText.clear();
  windowsDirectory = "C:\\WINDOWS";
  availablePhysicalMemory = 0;
  messageHook = nullptr;
}

void HostSetCurrentDirectoryText(const std::string& text) { currentDirectoryText = text; }
void HostSetWindowsDirectory(const std::string& text) { windowsDirectory = text; }
void HostSetAvailablePhysicalMemory(size_t bytes) { availablePhysicalMemory = bytes; }
void HostPrintMessageBoxes(bool print) { printMessageBoxes = print; }
std::string HostKeyName(void* root, const std::string& subKey) { return FullName(root, subKey.c_str()); }

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type) {
  std::lock_guard<std::mutex> lock(hostMutex);
  messageBoxes.push_back({text ? text : "", caption ? caption : "", type});
  if (printMessageBoxes) fprintf(stderr, "%s\n", text ? text : "");
  return IDOK;
}

static void RecordMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool posted) {
  HostWindowMessage record{window, message, wParam, message == WM_USER + 1 && lParam ? (const char*)lParam : "", posted};
  {
    std::lock_guard<std::mutex> lock(hostMutex);
    windowMessages.push_back(record);
  }
  if (messageHook) messageHook(record);
}

void HostSetMessageHook(void (*hook)(const HostWindowMessage& message)) { messageHook = hook; }

LRESULT SendMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RecordMessage(window, message, wParam, lParam, false);
  return 0;
}

BOOL PostMessageA(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  RecordMessage(window, message, wParam, lParam, true);
  return TRUE;
}

void SHChangeNotify(LONG event, UINT, LPCVOID item1, LPCVOID) {
  std::lock_guard<std::mutex> lock(hostMutex);
  notifications.push_back({event, item1 ? (const char*)item1 : ""});
}

BOOL CreateDirectoryA(LPCSTR path, LPSECURITY_ATTRIBUTES) { return MakeLocalFolder(path); }
BOOL SetCurrentDirectoryA(LPCSTR path) { return EnterLocalFolder(path); }

DWORD GetCurrentDirectoryA(DWORD size, LPSTR buffer) {
  const std::string text = currentDirectoryText.empty() ? CurrentLocalFolder() : currentDirectoryText;
  if (text.size() + 1 > size) return (DWORD)text.size() + 1;
  memcpy(buffer, text.c_str(), text.size() + 1);
  return (DWORD)text.size();
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
  if (windowsDirectory.size() + 1 > size) return (UINT)windowsDirectory.size() + 1;
  memcpy(buffer, windowsDirectory.c_str(), windowsDirectory.size() + 1);
  return (UINT)windowsDirectory.size();
}

void GlobalMemoryStatus(MEMORYSTATUS* status) {
  status->dwLength = sizeof *status;
  status->dwAvailPhys = availablePhysicalMemory;
}

int lstrcmpA(LPCSTR a, LPCSTR b) { return strcmp(a, b); }

LPSTR lstrcpynA(LPSTR destination, LPCSTR source, int size) {
  if (size <= 0) return destination;
  int i = 0;
  for (; i < size - 1 && source[i]; ++i) destination[i] = source[i];
  destination[i] = 0;
  return destination;
}

LONG RegOpenKeyExA(HKEY root, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
  std::lock_guard<std::mutex> lock(hostMutex);
  std::string name = FullName(root, subKey);
  if (!registry.count(name)) return 2;  // ERROR_FILE_NOT_FOUND
  *result = new OpenKey{name};
  return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY root, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                     PHKEY result, DWORD* disposition) {
  std::lock_guard<std::mutex> lock(hostMutex);
  std::string name = FullName(root, subKey);
  bool existed = registry.count(name) != 0;
  // Every level of the path comes into being, as on Windows.
  for (size_t at = name.find('\\'); at != std::string::npos; at = name.find('\\', at + 1))
    registry[name.substr(0, at)];
  registry[name];
  *result = new OpenKey{name};
  if (disposition) *disposition = existed ? 2 : 1;
  return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR name, DWORD*, DWORD* type, BYTE* data, DWORD* size) {
  std::lock_guard<std::mutex> lock(hostMutex);
  auto& values = registry[static_cast<OpenKey*>(key)->name];
  auto it = values.find(Lower(name ? name : ""));
  if (it == values.end()) return 2;
  if (type) *type = it->second.type;
  DWORD needed = (DWORD)it->second.bytes.size();
  if (data && size && *size < needed) {
    *size = needed;
    return 234;  // ERROR_MORE_DATA
  }
  if (data) memcpy(data, it->second.bytes.data(), needed);
  if (size) *size = needed;
  return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR name, DWORD, DWORD type, const BYTE* data, DWORD size) {
  std::lock_guard<std::mutex> lock(hostMutex);
  // As Windows NT does: a text whose count leaves out a zero that follows
  // it gets the zero counted.
  if (type == REG_SZ && size && data[size - 1] && !data[size]) ++size;
  registry[static_cast<OpenKey*>(key)->name][Lower(name ? name : "")] =
      HostRegistryValue{type, std::string((const char*)data, size)};
  return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY root, LPCSTR subKey) {
  std::lock_guard<std::mutex> lock(hostMutex);
  std::string name = FullName(root, subKey);
  if (!registry.count(name)) return 2;
  if (HasSubKeys(name)) return 5;  // ERROR_ACCESS_DENIED, as Windows answers
  registry.erase(name);
  return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
  delete static_cast<OpenKey*>(key);
  return ERROR_SUCCESS;
}

// Each piece is cut to fit its buffer (_MAX_DRIVE, _MAX_DIR, _MAX_FNAME or
// _MAX_EXT bytes), as the Windows C runtime cuts it: a member's name can be
// longer than a file name may be.
static void CopyPathPiece(char* out, const std::string& text, size_t size) {
  if (!out) return;
  const size_t length = std::min(text.size(), size - 1);
  memcpy(out, text.data(), length);
  out[length] = 0;
}

void _splitpath(const char* path, char* drive, char* dir, char* name, char* ext) {
  std::string rest = path;
  std::string driveText;
  if (rest.size() >= 2 && rest[1] == ':') {
    driveText = rest.substr(0, 2);
    rest = rest.substr(2);
  }
  size_t slash = rest.find_last_of("\\/");
  std::string dirText = slash == std::string::npos ? "" : rest.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? rest : rest.substr(slash + 1);
  size_t dot = file.find_last_of('.');
  std::string extText = dot == std::string::npos ? "" : file.substr(dot);
  std::string nameText = dot == std::string::npos ? file : file.substr(0, dot);
  CopyPathPiece(drive, driveText, _MAX_DRIVE);
  CopyPathPiece(dir, dirText, _MAX_DIR);
  CopyPathPiece(name, nameText, _MAX_FNAME);
  CopyPathPiece(ext, extText, _MAX_EXT);
}
