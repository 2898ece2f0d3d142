#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "common/status.h"
#include "image/picture.h"

namespace krelt {

enum class PictureKind { kBmp, kPng, kSprite, kPcx };

// A picture file format Krelt reads, recognised by its first bytes.
struct PictureFormat {
  PictureKind kind;
  std::string_view name;
  bool (*matches)(std::span<const std::uint8_t> file);
  // Reads a file of one picture. Sprite files hold several frames and are
  // read frame by frame instead (ReadXspFrame); theirs is null.
  Status (*read)(std::span<const std::uint8_t> file, const ReadOptions& options,
                 Picture& picture);
};

// The format whose signature starts the file, or null.
const PictureFormat* DetectPictureFormat(std::span<const std::uint8_t> file);

// "it starts with 68 69 0A ("hi.")" or "it is empty", for messages about
// files of no known format.
std::string DescribeFirstBytes(std::span<const std::uint8_t> file);

// Reads a picture file Krelt reads, frame 0 of a sprite file.
Status ReadFirstPicture(std::span<const std::uint8_t> file,
                        const ReadOptions& options, Picture& picture);

// For a file of a common picture format Krelt does not read (GIF, JPEG,
// TIFF, WebP, QOI, PNM, PAM), what it is and what to do: "a GIF picture;
// Krelt reads BMP, PCX, PNG and XSP: save it as PNG". Empty for others.
std::string DescribeForeignPicture(std::span<const std::uint8_t> file);

}  // namespace krelt
