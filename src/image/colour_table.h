#pragma once

// Colour tables: the one table of up to 256 colours the firmware loads into
// the display, which the indices of OSD_256 records refer to. Read from and
// written to GIMP palettes (.gpl), JASC palettes (.pal), palette pictures and
// C source, all on byte buffers.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/status.h"
#include "image/picture.h"

namespace krelt {

struct Rgb {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;

  bool operator==(const Rgb&) const = default;
};

inline constexpr std::size_t kMaxTableColours = 256;

// Entry i is the colour index i shows; 1 to 256 entries.
struct ColourTable {
  std::vector<Rgb> entries;

  bool operator==(const ColourTable&) const = default;
};

// 0xRRGGBB.
std::uint32_t PackedRgb(Rgb colour);

// The formats a table is written in, chosen by the file's extension.
enum class TableFormat { kGpl, kJasc, kPng, kC };

// The format of ".gpl", ".pal", ".png" or ".c" (any letter case); false for
// any other extension.
bool TableFormatOfName(std::string_view fileName, TableFormat& format);

// Reads a table from a file's bytes, its format found by content: a GIMP
// palette, a JASC palette, or a picture with a palette (BMP, PCX, PNG, frame
// 0 of a sprite file; all 256 entries; PNG palettes with their 8-bit
// colours, the others with their 6-bit components widened to 8 bits).
// Errors say where: "line 7: three numbers 0..255 expected".
Status ParseColourTable(std::span<const std::uint8_t> file, ColourTable& table);

// The table in a format. `name` names the palette (GIMP's "Name:" line) or
// derives the C identifiers. PNG output is a 16 x 16 palette picture whose
// pixel i shows entry i; entries past the table's end are black.
Status FormatColourTable(const ColourTable& table, TableFormat format, std::string_view name,
                         std::vector<std::uint8_t>& file);

// The 6-bit palette of 256 entries a conversion reports for the indices it
// writes: each component's top six bits, black past the table's end.
std::array<std::uint8_t, 768> SixBitPalette(const ColourTable& table);

// A picture's 6-bit palette as a table of 256 entries, widened to 8 bits.
ColourTable TableOfPalette(const std::array<std::uint8_t, 768>& palette);

}  // namespace krelt
