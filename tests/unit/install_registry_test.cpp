// The registry step and association detection against the host's
// in-memory registry: every key, value name, type and byte count.
#include <gtest/gtest.h>

#include <set>

#include "install/associations.h"
#include "session/registry_keys.h"
#include "test_support.h"

namespace {

const std::string Z(1, '\0');
// "Vornで解凍(&E)" and "Vornで閲覧(&V)" in Shift-JIS, with their zero.
const std::string kOpenMenu = std::string("Vorn\x82\xC5\x89\xF0\x93\x80(&E)") + Z;
const std::string kViewMenu = std::string("Vorn\x82\xC5\x89{\x97\x97(&V)") + Z;
const std::string kClsid = "{3C81D0A7-52E9-4B6F-9A14-E0C27B5D3F96}";
const char* kRoots[] = {"HKCR", "HKCU", "HKLM"};

HKEY Root(const std::string& name) {
  return name == "HKCR" ? HKEY_CLASSES_ROOT : name == "HKCU" ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// "HKCR\.lzh" as the host records it.
std::string Key(const std::string& path) {
  size_t slash = path.find('\\');
  return HostKeyName(Root(path.substr(0, slash)), path.substr(slash + 1));
}

// Every value in the registry: key, value name -> bytes (all REG_SZ).
using Values = std::map<std::pair<std::string, std::string>, std::string>;

Values AllValues() {
  Values values;
  for (auto& [key, named] : HostRegistryKeys())
    for (auto& [name, value] : named) {
      EXPECT_EQ(value.type, (uint32_t)REG_SZ) << key << " " << name;
      values[{key, name}] = value.bytes;
    }
  return values;
}

void Seed(const std::string& path, const std::string& name, const std::string& bytes) {
  HKEY key;
  RegCreateKeyExA(Root(path.substr(0, 4)), path.substr(5).c_str(), 0, (LPSTR) "", 0, KEY_ALL_ACCESS, 0, &key, 0);
  RegSetValueExA(key, name.c_str(), 0, REG_SZ, (const BYTE*)bytes.data(), (DWORD)bytes.size());
  RegCloseKey(key);
}

// The bytes of one value; "<none>" when it is not there.
std::string Get(const Values& values, const std::string& path, const std::string& name) {
  auto it = values.find({Key(path), name});
  return it == values.end() ? "<none>" : it->second;
}

bool KeyExists(const std::string& path) { return HostRegistryKeys().count(Key(path)) != 0; }

int AssociationNotices() {
  int count = 0;
  for (auto& notice : HostShellNotifications()) count += notice.event == SHCNE_ASSOCCHANGED;
  return count;
}

class Registration : public testing::Test {
 protected:
  void SetUp() override {
    HostReset();
    InitSession(&session, nullptr);
    SetDestination("C:\\Program Files\\Vorn");
    SetSessionString(&session.program_name, "Vorn.exe", 8);
  }
  void TearDown() override {
    CloseSession(&session);
    HostReset();
  }
  void SetDestination(const std::string& destination) {
    SetSessionString(&session.destination, destination.data(), destination.size());
  }
  void Choose(std::initializer_list<int> types) {
    for (int type : types) session.associate[type] = true;
  }
  // Values with the expected bytes, keyed as the host records them.
  void Expect(Values& values, const std::string& path, const std::string& name, const std::string& bytes) {
    values[{Key(path), name}] = bytes;
  }
  // The values of one ProgID tree for a program at `main`.
  void ExpectProgId(Values& v, const std::string& progId, char icon, const std::string& main, bool view) {
    Expect(v, "HKCR\\" + progId, "", "Archive file" + Z);
    Expect(v, "HKCR\\" + progId + "\\DefaultIcon", "", main + "," + icon + Z);
    Expect(v, "HKCR\\" + progId + "\\Shell", "", std::string("Open\0\0\0\0", 8));
    Expect(v, "HKCR\\" + progId + "\\Shell\\Open", "", kOpenMenu);
    Expect(v, "HKCR\\" + progId + "\\Shell\\Open\\command", "", main + " /e \"%1\"");
    if (!view) return;
    Expect(v, "HKCR\\" + progId + "\\Shell\\View", "", kViewMenu);
    Expect(v, "HKCR\\" + progId + "\\Shell\\View\\command", "", main + " /v \"%1\"");
  }
  void ExpectBase(Values& v, const std::string& folder, const std::string& destination) {
    const std::string uninstall = "HKLM\\SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorn";
    Expect(v, uninstall, "displayname", "Vorn" + Z);
    Expect(v, uninstall, "uninstallstring", folder + "Vorn.exe /u" + Z);
    Expect(v, "HKCU\\Software\\Tenbrel\\Vorn\\Output", "installdir", destination + Z);
  }
  void ExpectShellExtension(Values& v, const std::string& folder) {
    Expect(v, "HKCR\\CLSID\\" + kClsid, "", "VornDll" + Z);
    Expect(v, "HKCR\\CLSID\\" + kClsid + "\\InprocServer32", "", folder + "VornDll.dll" + Z);
    Expect(v, "HKCR\\CLSID\\" + kClsid + "\\InprocServer32", "threadingmodel", "Apartment" + Z);
    Expect(v, "HKCR\\*\\shellex\\ContextMenuHandlers\\VornDll", "", kClsid + Z);
    Expect(v, "HKCR\\Folder\\shellex\\ContextMenuHandlers\\VornDll", "", kClsid + Z);
  }
  SfxSession session;
};

TEST_F(Registration, FreshInstallWritesEveryValueWithItsByteCount) {
  Choose({0, 1, 5, 9});
  session.view_menu = true;
  session.compress_menu = true;
  RegisterInstallation(&session);

  const std::string folder = "C:\\Program Files\\Vorn\\", main = folder + "Vorn.exe";
  Values expected;
  ExpectBase(expected, folder, "C:\\Program Files\\Vorn");
  ExpectShellExtension(expected, folder);
  Expect(expected, "HKCR\\.lzh", "", "VornArchive" + Z);
  Expect(expected, "HKCR\\.zip", "", "VornArchiveZip" + Z);
  Expect(expected, "HKCR\\.gz", "", "VornArchiveGzip" + Z);
  Expect(expected, "HKCR\\.7z", "", "VornArchive7zip" + Z);
  ExpectProgId(expected, "VornArchive", '1', main, true);
  ExpectProgId(expected, "VornArchiveZip", '2', main, true);
  ExpectProgId(expected, "VornArchiveGzip", '4', main, true);
  ExpectProgId(expected, "VornArchive7zip", '7', main, true);
  EXPECT_EQ(AllValues(), expected);
  // The menu texts are 15 bytes, the commands carry no zero.
  EXPECT_EQ(Get(expected, "HKCR\\VornArchive\\Shell\\Open", "").size(), 15u);
  EXPECT_EQ(Get(AllValues(), "HKCR\\VornArchive\\Shell\\Open\\command", ""),
            "C:\\Program Files\\Vorn\\Vorn.exe /e \"%1\"");
  EXPECT_EQ(AssociationNotices(), 1);
}

TEST_F(Registration, IconIndexOfEveryType) {
  Choose({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  RegisterInstallation(&session);
  const char* progIds[] = {"VornArchive", "VornArchiveZip", "VornArchiveCab", "VornArchiveTgz", "VornArchiveTar",
                           "VornArchiveGzip", "VornArchiveTbz", "VornArchiveBz2", "VornArchiveRar", "VornArchive7zip"};
  const char icons[] = "1234544467";
  Values values = AllValues();
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) {
    EXPECT_EQ(Get(values, std::string("HKCR\\") + progIds[type] + "\\DefaultIcon", ""),
              std::string("C:\\Program Files\\Vorn\\Vorn.exe,") + icons[type] + Z);
    EXPECT_FALSE(KeyExists(std::string("HKCR\\") + progIds[type] + "\\Shell\\View"));
  }
  EXPECT_EQ(AssociationNotices(), 1);
}

TEST_F(Registration, DestinationEndingInABackslashOrAShiftJisCharacter) {
  Choose({0});
  session.compress_menu = true;
  SetDestination("D:\\");
  RegisterInstallation(&session);
  Values values = AllValues();
  EXPECT_EQ(Get(values, "HKLM\\SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorn", "uninstallstring"),
            "D:\\Vorn.exe /u" + Z);
  EXPECT_EQ(Get(values, "HKCU\\Software\\Tenbrel\\Vorn\\Output", "installdir"), "D:\\" + Z);
  EXPECT_EQ(Get(values, "HKCR\\CLSID\\" + kClsid + "\\InprocServer32", ""), "D:\\VornDll.dll" + Z);
  EXPECT_EQ(Get(values, "HKCR\\VornArchive\\DefaultIcon", ""), "D:\\Vorn.exe,1" + Z);

  // ソ = 0x83 0x5C: its second byte is no separator, so one is added.
  HostReset();
  SetDestination("D:\\\x83\\");
  RegisterInstallation(&session);
  values = AllValues();
  EXPECT_EQ(Get(values, "HKLM\\SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorn", "uninstallstring"),
            "D:\\\x83\\\\Vorn.exe /u" + Z);
  EXPECT_EQ(Get(values, "HKCU\\Software\\Tenbrel\\Vorn\\Output", "installdir"), "D:\\\x83\\" + Z);
  EXPECT_EQ(Get(values, "HKCR\\CLSID\\" + kClsid + "\\InprocServer32", ""), "D:\\\x83\\\\VornDll.dll" + Z);
  EXPECT_EQ(Get(values, "HKCR\\VornArchive\\Shell\\Open\\command", ""), "D:\\\x83\\\\Vorn.exe /e \"%1\"");
}

TEST_F(Registration, SecondInstallFollowsTheNewDestinationAndKeepsBackupsAndView) {
  Seed("HKCR\\.lzh", "", "LhaArchive" + Z);
  Choose({0, 2});
  session.view_menu = true;
  RegisterInstallation(&session);
  EXPECT_EQ(Get(AllValues(), "HKCU\\Software\\Tenbrel\\Vorn\\Output", "oldclass"), "LhaArchive" + Z);
  // The user (or another tool) made View the default verb of .cab.
  Seed("HKCR\\VornArchiveCab\\Shell", "", "View" + Z);

  // The second run starts from what it detects.
  CloseSession(&session);
  InitSession(&session, nullptr);
  SetDestination("E:\\Tools\\Vorn");
  SetSessionString(&session.program_name, "Vorn.exe", 8);
  DetectAssociations(&session);
  EXPECT_TRUE(session.associate[0]);
  EXPECT_TRUE(session.associate[2]);
  EXPECT_FALSE(session.associate[1]);
  HostShellNotifications().clear();
  RegisterInstallation(&session);

  Values values = AllValues();
  const std::string main = "E:\\Tools\\Vorn\\Vorn.exe";
  EXPECT_EQ(Get(values, "HKCU\\Software\\Tenbrel\\Vorn\\Output", "oldclass"), "LhaArchive" + Z);
  EXPECT_EQ(Get(values, "HKCU\\Software\\Tenbrel\\Vorn\\Output", "oldcclass"), "<none>");
  EXPECT_EQ(Get(values, "HKCU\\Software\\Tenbrel\\Vorn\\Output", "installdir"), "E:\\Tools\\Vorn" + Z);
  EXPECT_EQ(Get(values, "HKCR\\VornArchiveCab\\Shell", ""), "View" + Z);
  EXPECT_EQ(Get(values, "HKCR\\VornArchive\\Shell", ""), std::string("Open\0\0\0\0", 8));
  EXPECT_EQ(Get(values, "HKCR\\VornArchiveCab\\Shell\\Open\\command", ""), main + " /e \"%1\"");
  EXPECT_EQ(Get(values, "HKCR\\VornArchive\\DefaultIcon", ""), main + ",1" + Z);
  EXPECT_EQ(Get(values, "HKLM\\SoftWare\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Vorn", "uninstallstring"),
            main + " /u" + Z);
  // Without the view option this time, the View verb of the first run stays.
  EXPECT_EQ(Get(values, "HKCR\\VornArchive\\Shell\\View\\command", ""),
            "C:\\Program Files\\Vorn\\Vorn.exe /v \"%1\"");
  EXPECT_EQ(AssociationNotices(), 1);
}

TEST_F(Registration, ForeignClassesAreBackedUpAsFound) {
  Seed("HKCR\\.zip", "", "CompressedFolder" + Z);
  Seed("HKCR\\.tar", "other", "x" + Z);  // a key without a default value
  Seed("HKCR\\.rar", "", "VornArchiveRar" + Z);
  Seed("HKCR\\.lzh", "", "vornarchive" + Z);  // the comparison is case-sensitive
  Choose({0, 1, 4, 8, 9});
  RegisterInstallation(&session);
  Values values = AllValues();
  const std::string kOutput = "HKCU\\Software\\Tenbrel\\Vorn\\Output";
  EXPECT_EQ(Get(values, kOutput, "oldzclass"), "CompressedFolder" + Z);
  EXPECT_EQ(Get(values, kOutput, "oldaclass"), Z);
  EXPECT_EQ(Get(values, kOutput, "oldclass"), "vornarchive" + Z);
  EXPECT_EQ(Get(values, kOutput, "oldrclass"), "<none>");  // already Vorn's
  EXPECT_EQ(Get(values, kOutput, "old7class"), "<none>");  // no key before
  EXPECT_EQ(Get(values, "HKCR\\.zip", ""), "VornArchiveZip" + Z);
  EXPECT_EQ(Get(values, "HKCR\\.tar", ""), "VornArchiveTar" + Z);
  EXPECT_EQ(Get(values, "HKCR\\.tar", "other"), "x" + Z);
}

TEST_F(Registration, ExtractVerbGoesForLzhAndZipOnly) {
  for (std::string progId : {"VornArchive", "VornArchiveZip", "VornArchiveCab"}) {
    Seed("HKCR\\" + progId + "\\Shell\\Extract", "", "Extract" + Z);
    Seed("HKCR\\" + progId + "\\Shell\\Extract\\command", "", "old.exe %1" + Z);
  }
  Seed("HKCR\\VornArchiveTar\\Shell\\Extract", "", "Extract" + Z);
  Choose({0, 1, 2, 4});
  RegisterInstallation(&session);
  EXPECT_FALSE(KeyExists("HKCR\\VornArchive\\Shell\\Extract\\command"));
  EXPECT_FALSE(KeyExists("HKCR\\VornArchive\\Shell\\Extract"));
  EXPECT_FALSE(KeyExists("HKCR\\VornArchiveZip\\Shell\\Extract"));
  EXPECT_TRUE(KeyExists("HKCR\\VornArchiveCab\\Shell\\Extract\\command"));
  EXPECT_TRUE(KeyExists("HKCR\\VornArchiveTar\\Shell\\Extract"));
  EXPECT_TRUE(KeyExists("HKCR\\VornArchive\\Shell\\Open\\command"));
}

TEST_F(Registration, CompressOptionOffLeavesTheShellExtensionAlone) {
  Seed("HKCR\\CLSID\\" + kClsid, "", "Earlier" + Z);
  Seed("HKCR\\CLSID\\" + kClsid + "\\InprocServer32", "", "C:\\Old\\VornDll.dll" + Z);
  Choose({0});
  RegisterInstallation(&session);
  Values values = AllValues();
  EXPECT_EQ(Get(values, "HKCR\\CLSID\\" + kClsid, ""), "Earlier" + Z);
  EXPECT_EQ(Get(values, "HKCR\\CLSID\\" + kClsid + "\\InprocServer32", ""), "C:\\Old\\VornDll.dll" + Z);
  EXPECT_EQ(Get(values, "HKCR\\CLSID\\" + kClsid + "\\InprocServer32", "threadingmodel"), "<none>");
  EXPECT_FALSE(KeyExists("HKCR\\*\\shellex\\ContextMenuHandlers\\VornDll"));
  EXPECT_FALSE(KeyExists("HKCR\\Folder\\shellex\\ContextMenuHandlers\\VornDll"));
}

TEST_F(Registration, NoExtensionChosenTouchesNoClassKey) {
  session.compress_menu = true;
  RegisterInstallation(&session);
  Values expected;
  const std::string folder = "C:\\Program Files\\Vorn\\";
  ExpectBase(expected, folder, "C:\\Program Files\\Vorn");
  ExpectShellExtension(expected, folder);
  EXPECT_EQ(AllValues(), expected);
  EXPECT_EQ(AssociationNotices(), 0);
}

TEST_F(Registration, NothingWithoutAProgramOrWithPathsTooLong) {
  Choose({0});
  session.compress_menu = true;
  free(session.program_name);
  session.program_name = nullptr;  // a plain self-extractor
  RegisterInstallation(&session);
  SetSessionString(&session.program_name, "", 0);
  RegisterInstallation(&session);
  SetSessionString(&session.program_name, "Vorn.exe", 8);
  SetDestination("C:\\" + std::string(233, 'd'));
  RegisterInstallation(&session);
  EXPECT_TRUE(HostRegistryKeys().empty());
  EXPECT_EQ(AssociationNotices(), 0);
}

TEST(RegistryNames, TheKeysThatExtractionRemovesAsWell) {
  EXPECT_STREQ(kClsidKey, ("CLSID\\" + kClsid).c_str());
  EXPECT_STREQ(kInprocServerKey, ("CLSID\\" + kClsid + "\\InprocServer32").c_str());
  EXPECT_STREQ(kFileHandlerKey, "*\\shellex\\ContextMenuHandlers\\VornDll");
  EXPECT_STREQ(kOutputKey, "Software\\Tenbrel\\Vorn\\Output");
  EXPECT_STREQ(kShellExtensionClsid, kClsid.c_str());
}

TEST(DetectAssociations, SetsOnlyWhatItFinds) {
  HostReset();
  Seed("HKCR\\.zip", "", "VornArchiveZip" + Z);
  Seed("HKCR\\.7z", "", "VornArchive7zip" + Z);
  Seed("HKCR\\.cab", "", "VornArchiveZip" + Z);   // another row's class
  Seed("HKCR\\.tar", "", "vornarchivetar" + Z);   // case matters
  Seed("HKCR\\.gz", "", "VornArchiveGzip");       // stored without its zero
  SfxSession session;
  InitSession(&session, nullptr);
  session.associate[3] = true;  // named on the command line: stays
  DetectAssociations(&session);
  bool expected[ARCHIVE_TYPE_COUNT] = {false, true, false, true, false, true, false, false, false, true};
  for (int type = 0; type < ARCHIVE_TYPE_COUNT; ++type) EXPECT_EQ(session.associate[type], expected[type]) << type;
  EXPECT_FALSE(session.compress_menu);

  Seed("HKCR\\*\\shellex\\ContextMenuHandlers\\VornDll", "", kClsid + Z);
  DetectAssociations(&session);
  EXPECT_TRUE(session.compress_menu);
  // Detection only reads.
  EXPECT_EQ(HostRegistryKeys().count(Key("HKCR\\VornArchiveZip")), 0u);
  HostReset();
}

}  // namespace
