#include "convert/output_names.h"

#include <string_view>

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

char IdentifierCharacter(char c) {
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_') return c;
  return '_';
}

}  // namespace

OutputNames DeriveOutputNames(const std::string& selectedPath) {
  const std::filesystem::path path(Trimmed(selectedPath));
  OutputNames names;
  names.outputDirectory = path.parent_path();
  names.outputBaseName = WithoutExtension(path.filename().string());
  names.outputPath = names.outputDirectory / (names.outputBaseName + ".GD");
  return names;
}

std::string DeriveIdentifierName(const std::string& path) {
  std::string name = WithoutExtension(
      std::filesystem::path(Trimmed(path)).filename().string());
  for (char& c : name) c = IdentifierCharacter(c);
  return name;
}

}  // namespace krelt
