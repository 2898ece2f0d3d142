#pragma once

#include <filesystem>
#include <string>

namespace krelt {

// Names derived from a selected picture path: the GD file a conversion of a
// single picture writes, the folder it goes into and the base name.
struct OutputNames {
  std::filesystem::path outputPath;       // folder / (base name + ".GD")
  std::filesystem::path outputDirectory;  // folder of the picture
  std::string outputBaseName;             // file name without its last extension
};

// Derives the names from a path, trimmed of white space at both ends. The
// extension is cut at the last dot of the file name itself, never at one in
// a folder name.
OutputNames DeriveOutputNames(const std::string& selectedPath);

// The name inside every C identifier of a GD file: the file name of the
// trimmed path without its last extension, A-Z lower-cased, and every byte other than a-z, 0-9
// and '_' replaced by '_' ("My-Logo 2.pcx" gives "my_logo_2").
std::string DeriveIdentifierName(const std::string& path);

}  // namespace krelt
