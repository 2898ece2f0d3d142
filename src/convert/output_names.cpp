#include "convert/output_names.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/utf8_path.h"

namespace krelt {
namespace {

constexpr std::string_view kWhiteSpace = " \t\n\v\f\r";

std::string Trimmed(const std::string& text) {
  const std::size_t first = text.find_first_not_of(kWhiteSpace);
  if (first == std::string::npos) return {};
  const std::size_t last = text.find_last_not_of(kWhiteSpace);
  return text.substr(first, last - first + 1);
}

// The file name without its last extension; a name without a dot is kept
// whole.
std::string WithoutExtension(const std::string& fileName) {
  const std::size_t dot = fileName.rfind('.');
  return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

constexpr std::array<std::string_view, 5> kAcceptedExtensions = {"PCX", "XSP", "BMP",
                                                                 "DIB", "PNG"};

char UpperAscii(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsIgnoringCase(std::string_view text, std::string_view upper) {
  return std::equal(text.begin(), text.end(), upper.begin(), upper.end(),
                    [](char a, char b) { return UpperAscii(a) == b; });
}

char IdentifierCharacter(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') return c;
  return '_';
}

}  // namespace

OutputNames DeriveOutputNames(const std::string& selectedPath) {
  const std::filesystem::path path = PathFromUtf8(Trimmed(selectedPath));
  OutputNames names;
  names.outputDirectory = path.parent_path();
  names.outputBaseName = WithoutExtension(PathToUtf8(path.filename()));
  names.outputPath = GdFilePath(names.outputDirectory, names.outputBaseName, 0);
  return names;
}

std::filesystem::path GdFilePath(const std::filesystem::path& folder,
                                 const std::string& baseName, std::int32_t startFrame) {
  const std::string suffix = startFrame != 0 ? std::to_string(startFrame) : std::string();
  return folder / PathFromUtf8(baseName + suffix + ".GD");
}

std::string DeriveIdentifierName(const std::string& path) {
  std::string name =
      WithoutExtension(PathToUtf8(PathFromUtf8(Trimmed(path)).filename()));
  for (char& c : name) c = IdentifierCharacter(c);
  return name;
}

bool HasAcceptedExtension(std::string_view path) {
  const std::size_t lastSeparator = path.find_last_of("/\\");
  const std::string_view fileName = lastSeparator == std::string_view::npos
                                        ? path
                                        : path.substr(lastSeparator + 1);
  const std::size_t dot = fileName.find('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = fileName.substr(dot + 1, 3);
  return std::any_of(kAcceptedExtensions.begin(), kAcceptedExtensions.end(),
                     [extension](std::string_view accepted) {
                       return EqualsIgnoringCase(extension, accepted);
                     });
}

}  // namespace krelt
