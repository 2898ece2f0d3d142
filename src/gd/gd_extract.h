#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"
#include "gd/gd_reader.h"
#include "gd/gd_verify.h"
#include "image/picture.h"
#include "image/picture_formats.h"
#include "image/png_writer.h"

namespace krelt {

// A palette of 256 entries of 8-bit red, green and blue.
using Palette8 = std::array<std::uint8_t, 768>;

// A palette of 6-bit components (as the readers give it) widened to 8 bits
// by repeating each component's top bits.
Palette8 WidenedPalette(const std::array<std::uint8_t, 768>& palette);

// How the decoded pixels of a record become a picture again.
struct ExtractOptions {
  // Order of the two bytes of a 16-bit pixel: low byte first, else high.
  bool lowByteFirst = false;
  // Colours of OSD_256 indices; without one, index i shows grey i.
  std::optional<Palette8> palette;
};

// The pixels a record decodes to as a picture: OSD_256 as palette indices,
// OSD_1555 as RGBA (each five-bit component widened to eight bits, alpha 255
// where bit 15 is set, else 0), no data format as RGB.
Status RecordPicture(const VerifiedRecord& record,
                     std::span<const std::uint8_t> pixels,
                     const ExtractOptions& options, PngPicture& picture);

// A picture as a reader delivers it, for showing: indices through its
// palette widened to 8 bits, RGB as is, 16-bit 5-5-5 values widened and
// opaque.
PngPicture ShownPicture(const Picture& picture);

// The palette of a picture file Krelt reads (frame 0 of a sprite file),
// widened to 8-bit components, or the colours of a GIMP (.gpl) or JASC
// (.pal) palette, black past its end. Pictures without a palette give an
// error.
Status ReadPicturePalette(const std::filesystem::path& path, Palette8& palette);

// The PNG file name of each record, in file order: "logo.png" for the
// record _logoGd, "walk_3.png" for frame 3 (_walk3Gd) of a file whose
// pointer table is _walkGds. Two records of one name give an error.
Status PngFileNames(const GdSource& source, std::vector<std::string>& names);

// One file to be written: its name in the output folder and its bytes.
struct NamedFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// Checks every record as VerifyGdSource does and encodes each as a PNG
// file. Errors name the record; on failure files is empty.
Status ExtractPngFiles(const GdSource& source, const ExtractOptions& options,
                       std::vector<NamedFile>& files);

// Writes every file into folder, all or none (WriteFilesAtomically): on
// failure the folder holds what it held before and the error names the
// file.
Status WriteFilesTogether(const std::filesystem::path& folder,
                          const std::vector<NamedFile>& files,
                          std::vector<std::filesystem::path>& written);

// Reads a GD file and writes the PNG file of each record into folder, all
// or none.
Status ExtractGdFile(const std::filesystem::path& gdFile,
                     const std::filesystem::path& folder,
                     const ExtractOptions& options,
                     std::vector<std::filesystem::path>& written);

}  // namespace krelt
