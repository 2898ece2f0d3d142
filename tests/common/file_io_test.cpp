#include "common/file_io.h"
#include "common/utf8_path.h"
#include "support/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace krelt {
namespace {

namespace fs = std::filesystem;

class FileIoTest : public ::testing::Test {
 protected:
  std::vector<fs::path> FilesInDir() const {
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir_.path())) {
      files.push_back(entry.path().filename());
    }
    return files;
  }

  test::TempDir dir_{"krelt_file_io"};
};

TEST_F(FileIoTest, WriteThenReadGivesSameBytes) {
  std::vector<std::uint8_t> bytes(300000);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
  }
  const fs::path target = dir_ / "data.bin";
  ASSERT_TRUE(WriteFileAtomically(target, bytes).ok());

  std::vector<std::uint8_t> read{1, 2, 3};
  const Status status = ReadFileBytes(target, read);
  ASSERT_TRUE(status.ok()) << status.message();
  EXPECT_EQ(read, bytes);
  EXPECT_EQ(FilesInDir(), std::vector<fs::path>{"data.bin"});
}

TEST_F(FileIoTest, EmptyFileRoundTrips) {
  const fs::path target = dir_ / "empty";
  ASSERT_TRUE(WriteFileAtomically(target, std::string_view()).ok());
  ASSERT_TRUE(fs::exists(target));
  std::vector<std::uint8_t> read{9};
  ASSERT_TRUE(ReadFileBytes(target, read).ok());
  EXPECT_TRUE(read.empty());
}

TEST_F(FileIoTest, WriteReplacesExistingFile) {
  const fs::path target = dir_ / "out.txt";
  ASSERT_TRUE(WriteFileAtomically(target, std::string_view("old content, long")).ok());
  ASSERT_TRUE(WriteFileAtomically(target, std::string_view("new")).ok());
  EXPECT_EQ(test::FileText(target), "new");
  EXPECT_EQ(FilesInDir(), std::vector<fs::path>{"out.txt"});
}

TEST_F(FileIoTest, WriteIntoMissingFolderFailsAndLeavesNothing) {
  const Status status =
      WriteFileAtomically(dir_ / "missing" / "out.txt", std::string_view("x"));
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("out.txt"), std::string::npos)
      << status.message();
  EXPECT_TRUE(FilesInDir().empty());
}

TEST_F(FileIoTest, WriteOverFolderFailsAndRemovesTemporaryFile) {
  const fs::path target = dir_ / "folder";
  fs::create_directory(target);
  fs::path inner = target / "keep";
  std::ofstream(inner) << "kept";

  EXPECT_FALSE(WriteFileAtomically(target, std::string_view("x")).ok());
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(test::FileText(inner), "kept");
  EXPECT_EQ(FilesInDir(), std::vector<fs::path>{"folder"});
}

TEST_F(FileIoTest, ReadFailuresNameThePath) {
  struct Case {
    const char* name;
    fs::path path;
  };
  fs::create_directory(dir_ / "sub");
  const Case cases[] = {
      {"missing file", dir_ / "nope.bin"},
      {"folder", dir_ / "sub"},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> read{1};
    const Status status = ReadFileBytes(c.path, read);
    EXPECT_FALSE(status.ok()) << c.name;
    EXPECT_NE(status.message().find(PathToUtf8(c.path.filename())),
              std::string::npos)
        << c.name << ": " << status.message();
    EXPECT_TRUE(read.empty()) << c.name;
  }
}

TEST_F(FileIoTest, ReadRefusesFilesOverOneGibibyte) {
  const fs::path big = dir_ / "big.bin";
  std::ofstream(big).put('x');
  fs::resize_file(big, kMaxReadFileSize + 1);  // sparse: costs no disk space
  std::vector<std::uint8_t> read;
  const Status status = ReadFileBytes(big, read);
  EXPECT_FALSE(status.ok());
  EXPECT_NE(status.message().find("1 GiB"), std::string::npos)
      << status.message();
  EXPECT_TRUE(read.empty());
}

// Callers tell a missing file from one they can't read or that is too big.
TEST_F(FileIoTest, ReadFailuresCarryTheirKind) {
  fs::create_directory(dir_ / "sub");
  const fs::path big = dir_ / "big.bin";
  std::ofstream(big).put('x');
  fs::resize_file(big, kMaxReadFileSize + 1);
  const std::pair<fs::path, ErrorKind> cases[] = {
      {dir_ / "nope.bin", ErrorKind::kNotFound},
      {dir_ / "sub", ErrorKind::kIo},
      {big, ErrorKind::kTooLarge},
  };
  for (const auto& [path, kind] : cases) {
    std::vector<std::uint8_t> read;
    EXPECT_EQ(ReadFileBytes(path, read).kind(), kind) << PathToUtf8(path);
  }
}

TEST_F(FileIoTest, NonAsciiNamesAreWrittenReplacedAndRead) {
  const fs::path folder = dir_ / PathFromUtf8("Grafik \xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80");
  fs::create_directory(folder);
  const std::string name = "Bild \xE6\x97\xA5\xC3\xA4.GD";
  const fs::path target = folder / PathFromUtf8(name);
  ASSERT_TRUE(WriteFileAtomically(target, std::string_view("first")).ok());
  const Status status = WriteFileAtomically(target, std::string_view("second\r\n"));
  ASSERT_TRUE(status.ok()) << status.message();

  std::vector<std::uint8_t> read;
  ASSERT_TRUE(ReadFileBytes(target, read).ok());
  EXPECT_EQ(std::string(read.begin(), read.end()), "second\r\n");
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    names.push_back(PathToUtf8(entry.path().filename()));
  }
  EXPECT_EQ(names, std::vector<std::string>{name});

  // Messages name the file in UTF-8.
  const fs::path missing = folder / PathFromUtf8("\xC3\xBC.pcx");
  EXPECT_EQ(ReadFileBytes(missing, read).message(),
            "can't open '" + PathToUtf8(missing) + "': no such file");
}

}  // namespace
}  // namespace krelt
