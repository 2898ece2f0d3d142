#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace krelt {

// Names derived from a selected picture path: the GD file a conversion of a
// single picture writes, the folder it goes into and the base name.
struct OutputNames {
  std::filesystem::path outputPath;       // folder / (base name + ".GD")
  std::filesystem::path outputDirectory;  // folder of the picture
  std::string outputBaseName;             // file name without its last extension
};

// Paths here are UTF-8 and follow the system's rules: on Windows both '/'
// and '\\' end a folder name and a drive letter belongs to the folder.

// Derives the names from a path, trimmed of white space at both ends. The
// extension is cut at the last dot of the file name itself, never at one in
// a folder name.
OutputNames DeriveOutputNames(const std::string& selectedPath);

// The GD file a conversion writes into folder: the base name, then the start
// frame when a sprite range does not start at frame 0, then ".GD".
std::filesystem::path GdFilePath(const std::filesystem::path& folder,
                                 const std::string& baseName, std::int32_t startFrame);

// The name inside every C identifier of a GD file: the file name of the
// trimmed path without its last extension, A-Z lower-cased, and every byte
// other than a-z, 0-9 and '_' replaced by '_' ("My-Logo 2.pcx" gives
// "my_logo_2"; each byte of a UTF-8 letter gives one '_').
std::string DeriveIdentifierName(const std::string& path);

// Whether a dropped file looks like a picture Krelt reads: the three bytes
// after the first dot of its file name spell PCX, XSP, BMP, DIB or PNG in any letter
// case. Bytes after those three are not looked at, so "a.pcxz" passes; a
// name without a dot, or with fewer than three bytes after it, fails. Both
// '/' and '\\' end a folder name on every system, so a dot in a folder
// never counts.
bool HasAcceptedExtension(std::string_view path);

}  // namespace krelt
