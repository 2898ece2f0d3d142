#include "image/colour_table.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "image/high_colour.h"
#include "image/picture_formats.h"
#include "image/png_image.h"
#include "image/png_writer.h"

namespace krelt {
namespace {

constexpr std::string_view kGplHeader = "GIMP Palette";
constexpr std::string_view kJascHeader = "JASC-PAL";

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c; };
           return lower(x) == lower(y);
         });
}

bool StartsWith(std::span<const std::uint8_t> file, std::string_view text) {
  return file.size() >= text.size() && std::equal(text.begin(), text.end(), file.begin());
}

// The lines of a text file without their line ends (LF or CR LF).
std::vector<std::string_view> Lines(std::span<const std::uint8_t> file) {
  const std::string_view text(reinterpret_cast<const char*>(file.data()), file.size());
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string_view TrimmedStart(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

// Reads a decimal number 0..255 followed by a blank or the end from the
// start of text, moving text past it.
bool TakeComponent(std::string_view& text, std::uint8_t& value) {
  text = TrimmedStart(text);
  unsigned number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (error != std::errc() || number > 255) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  if (!text.empty() && text.front() != ' ' && text.front() != '\t') return false;
  value = static_cast<std::uint8_t>(number);
  return true;
}

// "R G B" at the start of the line; anything after a blank (a colour name)
// is allowed only when `nameAllowed`.
bool ParseColour(std::string_view line, bool nameAllowed, Rgb& colour) {
  if (!TakeComponent(line, colour.red) || !TakeComponent(line, colour.green) ||
      !TakeComponent(line, colour.blue)) {
    return false;
  }
  return nameAllowed || TrimmedStart(line).empty();
}

Status LineError(std::size_t lineIndex, std::string_view what) {
  return Status::Error(ErrorKind::kDamaged,
                       "line " + std::to_string(lineIndex + 1) + ": " + std::string(what));
}

constexpr std::string_view kThreeNumbers = "three numbers 0..255 expected";

Status CheckEntryCount(std::size_t count) {
  if (count == 0) return Status::Error(ErrorKind::kDamaged, "the table has no colours");
  if (count > kMaxTableColours) {
    return Status::Error(ErrorKind::kTooLarge,
                         "the table has " + std::to_string(count) + " colours, more than 256");
  }
  return Status();
}

// GIMP: the header, then "Name:" and "Columns:" lines, comments (#) and
// blank lines anywhere, and one "R G B [name]" line per entry.
Status ParseGpl(std::span<const std::uint8_t> file, ColourTable& table) {
  const std::vector<std::string_view> lines = Lines(file);
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::string_view line = TrimmedStart(lines[k]);
    if (line.empty() || line.front() == '#' || line.starts_with("Name:") ||
        line.starts_with("Columns:")) {
      continue;
    }
    Rgb colour;
    if (!ParseColour(line, true, colour)) return LineError(k, kThreeNumbers);
    table.entries.push_back(colour);
    if (table.entries.size() > kMaxTableColours) return CheckEntryCount(table.entries.size());
  }
  return CheckEntryCount(table.entries.size());
}

// JASC: the header, the version "0100", the entry count, then one "R G B"
// line per entry; lines after the last entry must be blank.
Status ParseJasc(std::span<const std::uint8_t> file, ColourTable& table) {
  const std::vector<std::string_view> lines = Lines(file);
  if (lines.size() < 3 || lines[1] != "0100") return LineError(1, "version 0100 expected");
  unsigned count = 0;
  const std::string_view countText = lines[2];
  const auto [end, error] =
      std::from_chars(countText.data(), countText.data() + countText.size(), count);
  if (error != std::errc() || end != countText.data() + countText.size() || count == 0 ||
      count > kMaxTableColours) {
    return LineError(2, "a colour count of 1 to 256 expected");
  }
  for (std::size_t k = 3; k < lines.size(); ++k) {
    const bool entry = k < 3 + count;
    if (!entry && TrimmedStart(lines[k]).empty()) continue;
    Rgb colour;
    if (!entry || !ParseColour(lines[k], false, colour)) {
      return LineError(k, entry ? kThreeNumbers : "nothing expected after the last colour");
    }
    table.entries.push_back(colour);
  }
  if (table.entries.size() < count) {
    return Status::Error(ErrorKind::kDamaged, std::to_string(count) + " colours announced, " +
                                                  std::to_string(table.entries.size()) +
                                                  " found");
  }
  return Status();
}

Status ParsePictureTable(std::span<const std::uint8_t> file, ColourTable& table) {
  if (HasPngSignature(file)) {
    std::vector<std::uint8_t> rgb;
    if (Status status = ReadPngPalette(file, rgb); !status.ok()) return status;
    for (std::size_t k = 0; k + 2 < rgb.size(); k += 3) {
      table.entries.push_back({rgb[k], rgb[k + 1], rgb[k + 2]});
    }
    return CheckEntryCount(table.entries.size());
  }
  Picture picture;
  if (Status status = ReadFirstPicture(file, ReadOptions{}, picture); !status.ok()) {
    return status;
  }
  if (picture.pixelFormat != kPixelFormatIndexed &&
      picture.pixelFormat != kPixelFormat16Colour) {
    return Status::Error(ErrorKind::kUnsupported, "the picture has no palette");
  }
  table = TableOfPalette(picture.palette);
  return Status();
}

std::string TextGpl(const ColourTable& table, std::string_view name) {
  std::string text = std::string(kGplHeader) + "\nName: " + std::string(name) +
                     "\nColumns: 16\n#\n";
  char line[64];
  for (std::size_t k = 0; k < table.entries.size(); ++k) {
    const Rgb& c = table.entries[k];
    std::snprintf(line, sizeof line, "%3u %3u %3u\tIndex %zu\n", c.red, c.green, c.blue, k);
    text += line;
  }
  return text;
}

std::string TextJasc(const ColourTable& table) {
  std::string text = std::string(kJascHeader) + "\r\n0100\r\n" +
                     std::to_string(table.entries.size()) + "\r\n";
  for (const Rgb& c : table.entries) {
    text += std::to_string(c.red) + " " + std::to_string(c.green) + " " +
            std::to_string(c.blue) + "\r\n";
  }
  return text;
}

std::string Identifier(std::string_view name) {
  std::string identifier(name);
  for (char& c : identifier) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                         (c >= '0' && c <= '9') || c == '_';
    if (!allowed) c = '_';
  }
  return identifier;
}

// The GD file's layout: "byte _nameXxx[] = " and items of 16 bytes a line
// (8 for 16-bit values).
std::string TextC(const ColourTable& table, std::string_view name) {
  const std::string identifier = Identifier(name);
  std::vector<Rgb> entries = table.entries;
  entries.resize(kMaxTableColours);
  std::string text = "#include \"type.h\"\n/* " + std::to_string(table.entries.size()) +
                     " colours; entries past them are black */\nbyte _" + identifier +
                     "Palette[] = \n{\n";
  char item[16];
  for (std::size_t k = 0; k < 3 * entries.size(); ++k) {
    const Rgb& c = entries[k / 3];
    const std::uint8_t value = k % 3 == 0 ? c.red : k % 3 == 1 ? c.green : c.blue;
    std::snprintf(item, sizeof item, "0x%02x,", value);
    if (k != 0 && k % 16 == 0) text += '\n';
    text += item;
  }
  text += "\n};\n\nunsigned short _" + identifier + "Palette1555[] = \n{\n";
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const Rgb& c = entries[k];
    std::snprintf(item, sizeof item, "0x%04x,",
                  RgbTo555(c.red, c.green, c.blue, kHighColourTopBit));
    if (k != 0 && k % 8 == 0) text += '\n';
    text += item;
  }
  return text + "\n};\n";
}

Status SwatchPng(const ColourTable& table, std::vector<std::uint8_t>& file) {
  constexpr std::int32_t kSide = 16;
  PngPicture swatch;
  swatch.width = kSide;
  swatch.height = kSide;
  swatch.colour = PngColour::kPalette;
  swatch.pixels.resize(kSide * kSide);
  for (std::size_t k = 0; k < swatch.pixels.size(); ++k) {
    swatch.pixels[k] = static_cast<std::uint8_t>(k);
  }
  for (std::size_t k = 0; k < table.entries.size(); ++k) {
    const Rgb& c = table.entries[k];
    swatch.palette[3 * k] = c.red;
    swatch.palette[3 * k + 1] = c.green;
    swatch.palette[3 * k + 2] = c.blue;
  }
  return EncodePng(swatch, file);
}

}  // namespace

bool TableFormatOfName(std::string_view fileName, TableFormat& format) {
  const std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view extension = fileName.substr(dot + 1);
  constexpr std::pair<std::string_view, TableFormat> kExtensions[] = {
      {"gpl", TableFormat::kGpl}, {"pal", TableFormat::kJasc},
      {"png", TableFormat::kPng}, {"c", TableFormat::kC}};
  for (const auto& [known, knownFormat] : kExtensions) {
    if (EqualsIgnoringCase(extension, known)) {
      format = knownFormat;
      return true;
    }
  }
  return false;
}

Status ParseColourTable(std::span<const std::uint8_t> file, ColourTable& table) {
  table.entries.clear();
  Status status;
  if (StartsWith(file, kGplHeader)) {
    status = ParseGpl(file, table);
  } else if (StartsWith(file, kJascHeader)) {
    status = ParseJasc(file, table);
  } else if (DetectPictureFormat(file) != nullptr) {
    status = ParsePictureTable(file, table);
  } else {
    status = Status::Error(ErrorKind::kUnsupported,
                           "not a GIMP or JASC palette nor a picture with a palette: " +
                               DescribeFirstBytes(file));
  }
  if (!status.ok()) table.entries.clear();
  return status;
}

Status FormatColourTable(const ColourTable& table, TableFormat format, std::string_view name,
                         std::vector<std::uint8_t>& file) {
  file.clear();
  if (Status status = CheckEntryCount(table.entries.size()); !status.ok()) return status;
  std::string text;
  switch (format) {
    case TableFormat::kPng:
      return SwatchPng(table, file);
    case TableFormat::kGpl:
      text = TextGpl(table, name);
      break;
    case TableFormat::kJasc:
      text = TextJasc(table);
      break;
    case TableFormat::kC:
      text = TextC(table, name);
      break;
  }
  file.assign(text.begin(), text.end());
  return Status();
}

std::uint32_t PackedRgb(Rgb colour) {
  return (std::uint32_t{colour.red} << 16) | (std::uint32_t{colour.green} << 8) | colour.blue;
}

std::array<std::uint8_t, 768> SixBitPalette(const ColourTable& table) {
  std::array<std::uint8_t, 768> palette{};
  for (std::size_t k = 0; k < table.entries.size() && k < kMaxTableColours; ++k) {
    const Rgb& c = table.entries[k];
    palette[3 * k] = static_cast<std::uint8_t>(c.red >> 2);
    palette[3 * k + 1] = static_cast<std::uint8_t>(c.green >> 2);
    palette[3 * k + 2] = static_cast<std::uint8_t>(c.blue >> 2);
  }
  return palette;
}

ColourTable TableOfPalette(const std::array<std::uint8_t, 768>& palette) {
  ColourTable table;
  table.entries.resize(kMaxTableColours);
  for (std::size_t k = 0; k < kMaxTableColours; ++k) {
    table.entries[k] = {Widen6To8(palette[3 * k]), Widen6To8(palette[3 * k + 1]),
                        Widen6To8(palette[3 * k + 2])};
  }
  return table;
}

}  // namespace krelt
