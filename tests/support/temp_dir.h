#pragma once

#include <filesystem>
#include <random>
#include <string>
#include <string_view>
#include <system_error>

namespace krelt::test {

// A fresh folder under the system's temporary folder, removed with
// everything in it at the end of the test.
class TempDir {
 public:
  explicit TempDir(std::string_view stem = "krelt_test") {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            (std::string(stem) + "_" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const {
    return path_ / name;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace krelt::test
