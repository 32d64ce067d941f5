// The manifest of the stub as built and of the copies mksfx makes of it,
// read as Windows reads it: the resource of type RT_MANIFEST and id 1,
// found through the image's resource directory.
#include <gtest/gtest.h>

#include <regex>

#include "test_support.h"

namespace {

unsigned Bytes(const std::string& image, size_t at, int count) {
  unsigned value = 0;
  for (int i = count - 1; i >= 0; --i) value = value << 8 | (at + i < image.size() ? (unsigned char)image[at + i] : 0);
  return value;
}

// The data of the resource of `type` and `id` (its first language), or ""
// when the image has none. Of each directory only its two entry counts and
// its entries are read, as by the loader.
std::string Resource(const std::string& image, unsigned type, unsigned id) {
  const size_t pe = Bytes(image, 0x3C, 4), optional = pe + 24;
  if (image.compare(pe, 4, std::string("PE\0\0", 4)) != 0) return "";
  const size_t sections = optional + Bytes(image, pe + 20, 2);
  auto fileOffset = [&](unsigned rva) -> size_t {
    for (unsigned i = 0; i < Bytes(image, pe + 6, 2); ++i) {
      const size_t section = sections + 40 * i;
      const unsigned start = Bytes(image, section + 12, 4);
      if (rva >= start && rva - start < Bytes(image, section + 16, 4)) return rva - start + Bytes(image, section + 20, 4);
    }
    return rva;  // in the headers
  };
  const unsigned root = Bytes(image, optional + 96 + 8 * 2, 4);
  // The target of the entry `id` (any, if negative) of the directory at `dir`.
  auto entry = [&](unsigned dir, long id) -> unsigned {
    const size_t at = fileOffset(root + dir);
    for (unsigned k = 0; k < Bytes(image, at + 12, 2) + Bytes(image, at + 14, 2); ++k)
      if (id < 0 || Bytes(image, at + 16 + 8 * k, 4) == (unsigned)id) return Bytes(image, at + 20 + 8 * k, 4);
    return 0;
  };
  const unsigned names = entry(0, type), languages = names >> 31 ? entry(names & 0x7FFFFFFF, id) : 0;
  const unsigned data = languages >> 31 ? entry(languages & 0x7FFFFFFF, -1) : 0;
  if (!data || data >> 31) return "";
  const size_t at = fileOffset(root + data);
  return image.substr(fileOffset(Bytes(image, at, 4)), Bytes(image, at + 4, 4));
}

// The stub asks to run as its caller, which a plain self-extractor keeps;
// an installer asks for an administrator, and mksfx changes nothing else.
TEST(StubManifest, ExecutionLevelOfTheStubAndOfEachKindOfCopy) {
  ScratchFolder folder;
  const std::string stub = ReadFileBytes(VORN_STUB);
  ASSERT_EQ(stub.size(), (size_t)SFX_STUB_SIZE) << VORN_STUB << ": build the stub first (make all)";
  WriteFileBytes("archive.lzh", Level0Member({.name = "a.txt", .data = "abc"}) + '\0');
  const struct {
    const char* what;
    const char* options;  // null: the stub as built
    const char* level;
  } cases[] = {{"the stub", nullptr, "asInvoker"},
               {"a plain self-extractor", "--plain", "asInvoker"},
               {"an installer", "--title Vorn --program vorn.exe", "requireAdministrator"},
               {"an installer with an empty block", "", "requireAdministrator"}};
  for (const auto& c : cases) {
    std::string image = stub;
    if (c.options) {
      const std::string command = std::string(VORN_MKSFX) + " --stub " + VORN_STUB + " " + c.options +
                                  " archive.lzh out.exe >/dev/null";
      ASSERT_EQ(system(command.c_str()), 0) << c.what;
      image = ReadFileBytes("out.exe");
    }
    const std::string manifest = Resource(image, 24, 1);
    std::smatch found;
    ASSERT_TRUE(std::regex_search(manifest, found, std::regex("<requestedExecutionLevel level=\"([A-Za-z]+)\" */>")))
        << c.what << ": " << manifest;
    EXPECT_EQ(found[1].str(), c.level) << c.what;
    // Windows XP takes trustInfo only in a namespace other than the
    // manifest's own.
    EXPECT_NE(manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">"), std::string::npos) << c.what;
    std::string expected = stub;
    const std::string invoker = "level=\"asInvoker\"           /", administrator = "level=\"requireAdministrator\"/";
    if (found[1] != "asInvoker") expected.replace(expected.find(invoker), invoker.size(), administrator);
    EXPECT_TRUE(image.compare(0, stub.size(), expected) == 0) << c.what << ": more than the level changed";
  }
}

}  // namespace
