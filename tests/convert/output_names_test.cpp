#include "convert/output_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/utf8_path.h"

namespace krelt {
namespace {

struct NamingCase {
  std::string selectedPath;
  std::string outputDirectory;
  std::string outputBaseName;
  std::string outputPath;
};

TEST(OutputNamesTest, NamesComeFromTheFileNamesOwnExtension) {
  const std::vector<NamingCase> cases = {
      {"/pics/logo.pcx", "/pics", "logo", "/pics/logo.GD"},
      {"/pics/LOGO.Pcx", "/pics", "LOGO", "/pics/LOGO.GD"},
      {"/art/my.pic.bmp", "/art", "my.pic", "/art/my.pic.GD"},
      {"/art/pic.bmp.old", "/art", "pic.bmp", "/art/pic.bmp.GD"},
      // A dot only in a folder name: the file keeps its whole name.
      {"/work/my.dir/picture", "/work/my.dir", "picture", "/work/my.dir/picture.GD"},
      {"/a.b/file", "/a.b", "file", "/a.b/file.GD"},
      {" \t/pics/logo.pcx \r\n", "/pics", "logo", "/pics/logo.GD"},
      {"logo.pcx", "", "logo", "logo.GD"},
      {"sub/My Logo-2.xsp", "sub", "My Logo-2", "sub/My Logo-2.GD"},
      {"", "", "", ".GD"},
  };
  for (const NamingCase& c : cases) {
    const OutputNames names = DeriveOutputNames(c.selectedPath);
    EXPECT_EQ(names.outputDirectory, std::filesystem::path(c.outputDirectory))
        << c.selectedPath;
    EXPECT_EQ(names.outputBaseName, c.outputBaseName) << c.selectedPath;
    EXPECT_EQ(names.outputPath, std::filesystem::path(c.outputPath)) << c.selectedPath;
  }
}

// On Windows both separators and drive letters count; elsewhere a
// backslash or colon is part of the name.
TEST(OutputNamesTest, SeparatorsAndDriveLettersFollowTheSystem) {
#ifdef _WIN32
  const std::vector<NamingCase> cases = {
      {"C:\\pics\\Logo.pcx", "C:\\pics", "Logo", "C:\\pics\\Logo.GD"},
      {"C:/pics/sub\\my.pic.bmp", "C:/pics/sub", "my.pic", "C:/pics/sub\\my.pic.GD"},
      {"C:\\my.dir\\picture", "C:\\my.dir", "picture", "C:\\my.dir\\picture.GD"},
      {"D:logo.pcx", "D:", "logo", "D:logo.GD"},
      {"\\\\server\\share\\art\\x.xsp", "\\\\server\\share\\art", "x",
       "\\\\server\\share\\art\\x.GD"},
      {"C:\\\xC3\x9Cmlaut\\\xE2\x82\xAC.pcx", "C:\\\xC3\x9Cmlaut", "\xE2\x82\xAC",
       "C:\\\xC3\x9Cmlaut\\\xE2\x82\xAC.GD"},
  };
  const std::vector<std::pair<std::string, std::string>> identifiers = {
      {"C:\\Art\\My-Logo.PCX", "my_logo"},
      {"D:Logo.pcx", "logo"},
      {"C:/a.b\\c", "c"},
  };
#else
  const std::vector<NamingCase> cases = {
      {"/pics/a\\b.pcx", "/pics", "a\\b", "/pics/a\\b.GD"},
      {"C:\\pics\\Logo.pcx", "", "C:\\pics\\Logo", "C:\\pics\\Logo.GD"},
  };
  const std::vector<std::pair<std::string, std::string>> identifiers = {
      {"C:\\Art\\My-Logo.PCX", "c__art_my_logo"},
  };
#endif
  for (const NamingCase& c : cases) {
    const OutputNames names = DeriveOutputNames(c.selectedPath);
    EXPECT_EQ(PathToUtf8(names.outputDirectory), c.outputDirectory) << c.selectedPath;
    EXPECT_EQ(names.outputBaseName, c.outputBaseName) << c.selectedPath;
    EXPECT_EQ(PathToUtf8(names.outputPath), c.outputPath) << c.selectedPath;
  }
  for (const auto& [path, identifier] : identifiers) {
    EXPECT_EQ(DeriveIdentifierName(path), identifier) << path;
  }
}

TEST(OutputNamesTest, IdentifierIsTheLowerCasedFileNameMadeSafeForC) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"/art/Logo.PCX", "logo"},
      {"/art/logo.pcx", "logo"},
      {"/work/my.dir/picture", "picture"},
      {"/x/my-logo 2.pcx", "my_logo_2"},
      {"/x/ABC_z9.bmp", "abc_z9"},
      {"/x/a.b.c", "a_b"},
      {"/x/2d.xsp", "2d"},
      {"/x/\xC3\x9Cn.pcx", "__n"},  // each byte of a UTF-8 letter
      {" /x/padded.pcx ", "padded"},
      {"/x/noext", "noext"},
  };
  for (const auto& [path, identifier] : cases) {
    EXPECT_EQ(DeriveIdentifierName(path), identifier) << path;
  }
}

TEST(HasAcceptedExtensionTest, LooksAtThreeBytesAfterTheFirstDotOfTheName) {
  struct Case {
    const char* path;
    bool accepted;
  };
  const Case cases[] = {
      {"/pics/LOGO.Pcx", true},
      {"/pics/a.pcx", true},
      {"/pics/a.XSP", true},
      {"/pics/a.bMp", true},
      {"/pics/a.pcxz", true},
      {"/pics/pic.bmp.old", true},
      {"C:\\pics\\logo.pcx", true},
      {"logo.pcx", true},
      {"/pics/a.pc", false},
      {"/pics/a.", false},
      {"/pics/notes.txt", false},
      {"/pics/a.old.bmp", false},
      {"/pics/readme", false},
      {"/v1.0/readme", false},
      {"v1.0\\readme", false},
      {"/pics/.pcx", true},
      {"", false},
      {"/pics/a.pcy", false},
  };
  for (const Case& test : cases) {
    EXPECT_EQ(HasAcceptedExtension(test.path), test.accepted) << test.path;
  }
}

}  // namespace
}  // namespace krelt
