#include "convert/output_names.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace krelt
