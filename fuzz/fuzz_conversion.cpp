// A whole conversion from file bytes to GD text: the first byte chooses the
// settings (conversion_input.h), the rest is the picture file. A failed
// conversion must leave nothing behind; a written GD file must pass every
// check of the verifier and hold exactly the pixels the conversion
// compresses.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "conversion_input.h"
#include "convert/conversion.h"
#include "gd/gd_reader.h"
#include "convert/read_back.h"
#include "fuzz_support.h"

namespace {

namespace fs = std::filesystem;

// A folder of this process for the picture and its GD file, emptied after
// every input and removed at exit.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device random;
    path_ = fs::temp_directory_path() /
            ("krelt-fuzz-conversion-" + std::to_string(random()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const fs::path& path() const { return path_; }

  std::size_t FileCount() const {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(path_),
                                                  fs::directory_iterator()));
  }
  void Empty() const {
    for (const auto& entry : fs::directory_iterator(path_)) fs::remove_all(entry);
  }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  krelt::fuzz::Require(static_cast<bool>(out), "the picture file is written");
}

void RequireWrittenFileHoldsPicture(const krelt::ConversionRequest& request,
                                    const fs::path& written) {
  using krelt::fuzz::Require;
  krelt::GdSource source;
  Require(krelt::ReadGdSource(written, source).ok(), "the GD file parses");
  Require(krelt::VerifyGdSource(source).ok(), "the GD file verifies");
  krelt::ConversionPictures pictures;
  Require(pictures.Open(request).ok(), "the picture loads again");
  Require(krelt::VerifyGdSourceAgainst(source, pictures, "picture").ok(),
          "the GD file holds the converted pixels");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  if (size == 0) return 0;
  static const ScratchFolder folder;
  // One converter for all inputs, as the dialog keeps one.
  static krelt::Converter converter;
  const krelt::ConversionRequest request =
      krelt::fuzz::ConversionOptions::Request(data[0], folder.path());
  WriteFile(request.sourcePath, data + 1, size - 1);
  const krelt::ConversionResult result = converter.RunConversion(request);
  if (result.status.ok()) {
    krelt::fuzz::Require(fs::is_regular_file(result.writtenPath),
                         "a successful conversion writes its file");
    RequireWrittenFileHoldsPicture(request, result.writtenPath);
  } else {
    krelt::fuzz::Require(!result.status.message().empty(),
                         "a failed conversion has a message");
    krelt::fuzz::Require(folder.FileCount() == 1,
                         "a failed conversion writes nothing");
  }
  folder.Empty();
  return 0;
}
