#include "support/picture_writers.h"

#include <algorithm>
#include <cstdlib>

namespace krelt::test {
namespace {

// resize and copy rather than insert: GCC 12 warns falsely about insert here.
void Append(std::vector<std::uint8_t>& bytes,
            std::span<const std::uint8_t> more) {
  const std::size_t oldSize = bytes.size();
  bytes.resize(oldSize + more.size());
  std::copy(more.begin(), more.end(), bytes.begin() + static_cast<std::ptrdiff_t>(oldSize));
}

std::size_t RoundUp(std::size_t value, std::size_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

}  // namespace

void PutLe16(std::vector<std::uint8_t>& bytes, std::size_t offset,
             std::uint16_t value) {
  bytes.at(offset) = static_cast<std::uint8_t>(value);
  bytes.at(offset + 1) = static_cast<std::uint8_t>(value >> 8);
}

void PutLe32(std::vector<std::uint8_t>& bytes, std::size_t offset,
             std::uint32_t value) {
  PutLe16(bytes, offset, static_cast<std::uint16_t>(value));
  PutLe16(bytes, offset + 2, static_cast<std::uint16_t>(value >> 16));
}

std::uint32_t GetLe32(std::span<const std::uint8_t> bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
  }
  return value;
}

// ---- BMP ----

std::vector<std::uint8_t> MakeBmp(const BmpSpec& layout) {
  const std::size_t width = static_cast<std::size_t>(layout.width);
  const std::size_t height = static_cast<std::size_t>(layout.height);
  const std::size_t storedBytes = layout.bitsPerPixel / 8;
  const std::size_t stride = RoundUp(width * storedBytes, 4);
  const bool masksAfterHeader = layout.bitFields && layout.infoHeaderSize == 40;
  const std::size_t tableOffset =
      kBmpInfoHeaderOffset + layout.infoHeaderSize + (masksAfterHeader ? 12 : 0);
  const std::size_t pixelOffset = tableOffset + 4 * layout.colourTable.size();
  const std::size_t fileSize = pixelOffset + stride * height;

  std::vector<std::uint8_t> file(fileSize, 0);
  file[0] = 'B';
  file[1] = 'M';
  PutLe32(file, 2, static_cast<std::uint32_t>(fileSize));
  PutLe32(file, 10, static_cast<std::uint32_t>(pixelOffset));
  const std::size_t info = kBmpInfoHeaderOffset;
  PutLe32(file, info, layout.infoHeaderSize);
  PutLe32(file, info + 4, static_cast<std::uint32_t>(layout.width));
  PutLe32(file, info + 8,
          static_cast<std::uint32_t>(layout.topDown ? -layout.height : layout.height));
  PutLe16(file, info + 12, 1);
  PutLe16(file, info + 14, layout.bitsPerPixel);
  PutLe32(file, info + 16, layout.bitFields ? 3 : 0);
  PutLe32(file, info + 20, static_cast<std::uint32_t>(stride * height));
  PutLe32(file, info + 24, 2835);
  PutLe32(file, info + 28, 2835);
  PutLe32(file, info + 32,
          layout.coloursUsed.value_or(
              static_cast<std::uint32_t>(layout.colourTable.size())));
  if (layout.bitFields) {
    PutLe32(file, info + 40, 0x00FF0000);
    PutLe32(file, info + 44, 0x0000FF00);
    PutLe32(file, info + 48, 0x000000FF);
  }
  for (std::size_t k = 0; k < layout.colourTable.size(); ++k) {
    const Rgb& entry = layout.colourTable[k];
    file[tableOffset + 4 * k] = entry.blue;
    file[tableOffset + 4 * k + 1] = entry.green;
    file[tableOffset + 4 * k + 2] = entry.red;
  }
  for (std::size_t j = 0; j < height; ++j) {
    const std::size_t storedRow = layout.topDown ? j : height - 1 - j;
    std::uint8_t* row = &file[pixelOffset + storedRow * stride];
    for (std::size_t i = 0; i < width; ++i) {
      const std::size_t pixel = j * width + i;
      if (layout.bitsPerPixel == 8) {
        row[i] = layout.pixels.at(pixel);
        continue;
      }
      std::uint8_t* stored = row + i * storedBytes;
      stored[0] = layout.pixels.at(3 * pixel + 2);
      stored[1] = layout.pixels.at(3 * pixel + 1);
      stored[2] = layout.pixels.at(3 * pixel);
      if (storedBytes == 4) stored[3] = layout.fourthByte;
    }
  }
  return file;
}

// ---- PCX ----

std::uint16_t PcxBytesPerLine(const PcxSpec& layout) {
  if (layout.bytesPerLine != 0) return layout.bytesPerLine;
  const std::size_t width = static_cast<std::size_t>(layout.width);
  const std::size_t used = layout.bitsPerPixel == 1 ? (width + 7) / 8 : width;
  return static_cast<std::uint16_t>(RoundUp(used, 2));
}

std::vector<std::uint8_t> EncodePcxRunLength(std::span<const std::uint8_t> line) {
  std::vector<std::uint8_t> coded;
  std::size_t i = 0;
  while (i < line.size()) {
    std::size_t run = 1;
    while (i + run < line.size() && run < 63 && line[i + run] == line[i]) ++run;
    if (run > 1 || line[i] >= 0xC0) {
      coded.push_back(static_cast<std::uint8_t>(0xC0 | run));
    }
    coded.push_back(line[i]);
    i += run;
  }
  return coded;
}

std::vector<std::uint8_t> MakePcxWithData(const PcxSpec& layout,
                                          std::span<const std::uint8_t> coded) {
  std::vector<std::uint8_t> file(kPcxHeaderSize, 0);
  file[0] = 0x0A;
  file[1] = 5;
  file[2] = 1;
  file[3] = layout.bitsPerPixel;
  PutLe16(file, 4, layout.xmin);
  PutLe16(file, 6, layout.ymin);
  PutLe16(file, 8, static_cast<std::uint16_t>(layout.xmin + layout.width - 1));
  PutLe16(file, 10, static_cast<std::uint16_t>(layout.ymin + layout.height - 1));
  PutLe16(file, 12, 72);
  PutLe16(file, 14, 72);
  for (std::size_t k = 0; k < layout.headerPalette.size(); ++k) {
    file[16 + 3 * k] = layout.headerPalette[k].red;
    file[17 + 3 * k] = layout.headerPalette[k].green;
    file[18 + 3 * k] = layout.headerPalette[k].blue;
  }
  file[65] = layout.planes;
  PutLe16(file, 66, PcxBytesPerLine(layout));
  PutLe16(file, 68, 1);
  Append(file, coded);
  if (layout.bitsPerPixel == 8 && layout.planes == 1) {
    file.push_back(0x0C);
    std::vector<std::uint8_t> palette(768, 0);
    for (std::size_t k = 0; k < std::min<std::size_t>(layout.palette.size(), 256); ++k) {
      palette[3 * k] = layout.palette[k].red;
      palette[3 * k + 1] = layout.palette[k].green;
      palette[3 * k + 2] = layout.palette[k].blue;
    }
    Append(file, palette);
  }
  return file;
}

std::vector<std::uint8_t> MakePcx(const PcxSpec& layout) {
  const std::size_t width = static_cast<std::size_t>(layout.width);
  const std::size_t bytesPerLine = PcxBytesPerLine(layout);
  std::vector<std::uint8_t> coded;
  for (std::size_t y = 0; y < static_cast<std::size_t>(layout.height); ++y) {
    for (std::size_t plane = 0; plane < layout.planes; ++plane) {
      std::vector<std::uint8_t> line(bytesPerLine, 0);
      for (std::size_t x = 0; x < width; ++x) {
        const std::size_t pixel = y * width + x;
        if (layout.bitsPerPixel == 1) {
          if ((layout.pixels.at(pixel) >> plane) & 1) {
            line[x / 8] = static_cast<std::uint8_t>(line[x / 8] | (0x80 >> (x % 8)));
          }
        } else {
          line[x] = layout.pixels.at(pixel * layout.planes + plane);
        }
      }
      Append(coded, EncodePcxRunLength(line));
    }
  }
  return MakePcxWithData(layout, coded);
}

// ---- XSP ----

std::vector<std::uint8_t> MakeXsp(const XspSpec& layout) {
  std::vector<std::uint8_t> file(kXspHeaderSize, 0);
  file[0] = 'X';
  file[1] = 'S';
  file[2] = 'P';
  PutLe32(file, 4, static_cast<std::uint32_t>(layout.pixelKind));
  PutLe32(file, 24, static_cast<std::uint32_t>(layout.frames.size()));
  std::copy_n(layout.defaultPalette.begin(),
              std::min<std::size_t>(layout.defaultPalette.size(), 768),
              file.begin() + 28);
  const std::size_t tableOffset = file.size();
  file.resize(tableOffset + 4 * layout.frames.size(), 0);
  if (!layout.records.empty()) {
    PutLe32(file, 796, static_cast<std::uint32_t>(layout.records.size() / 32));
    PutLe32(file, 804, static_cast<std::uint32_t>(file.size()));
    Append(file, layout.records);
  }
  for (std::size_t n = 0; n < layout.frames.size(); ++n) {
    const XspFrameSpec& frame = layout.frames[n];
    const std::size_t frameOffset = file.size();
    PutLe32(file, tableOffset + 4 * n, static_cast<std::uint32_t>(frameOffset));
    file.resize(frameOffset + kXspFrameHeaderSize, 0);
    PutLe32(file, frameOffset, static_cast<std::uint32_t>(frame.width));
    PutLe32(file, frameOffset + 4, static_cast<std::uint32_t>(frame.height));
    PutLe32(file, frameOffset + 8, static_cast<std::uint32_t>(frame.x));
    PutLe32(file, frameOffset + 12, static_cast<std::uint32_t>(frame.y));
    PutLe32(file, frameOffset + 24,
            static_cast<std::uint32_t>(frame.records.size() / 16));
    Append(file, frame.pixels);
    if (!frame.ownPalette.empty()) {
      PutLe32(file, frameOffset + 16, static_cast<std::uint32_t>(file.size()));
      Append(file, frame.ownPalette);
    }
    Append(file, frame.records);
  }
  return file;
}

}  // namespace krelt::test
