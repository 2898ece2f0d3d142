#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace krelt {

// What a record's pixels are: one palette index a byte (OSD_256), 16-bit
// pixels (OSD_1555), or three bytes of red, green and blue, for which the
// record has no data-format line.
enum class DataFormat { kNone, kOsd256, kOsd1555 };

// "OSD_256", "OSD_1555"; "" for kNone.
std::string_view DataFormatName(DataFormat format);
// The data format a record names with `name`; nullopt for any other word.
std::optional<DataFormat> DataFormatNamed(std::string_view name);
// The format as people are shown it: its name, or "24-bit RGB" for kNone.
std::string_view DataFormatLabel(DataFormat format);
// 1, 2, or 3 for kNone.
std::int32_t BytesPerPixel(DataFormat format);

// The words and values every record Krelt writes holds.
inline constexpr std::string_view kGdRecordType = "TYPE_GrData";
inline constexpr std::int32_t kGdRecordVersion = 1;
inline constexpr std::int32_t kGdRecordReserved = 0;
inline constexpr std::string_view kGdCompressMethod = "COMPRESS_Tfp";

// `TYPE_GrData _NAMEGd = { ... };`: as the writer writes it and as the
// reader reads it back (which takes whatever values the text holds).
struct GdRecord {
  std::string name;  // the C name, "_logoGd"
  std::int32_t version = kGdRecordVersion;
  std::int32_t reserved = kGdRecordReserved;
  DataFormat dataFormat = DataFormat::kNone;
  std::string compressMethod{kGdCompressMethod};
  std::string dataName;  // the array the record points at, "_logoCpm"
  std::int32_t size = 0;  // uncompressed byte count
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::size_t line = 0;  // where a record read back starts
};

// One value of a record with the label its comment in the GD text and its
// row in the report give it.
struct GdRecordField {
  std::string_view label;
  std::string value;  // as the C text writes it; "" for an absent data format
};

// The record's fields in file order, from version to height.
std::array<GdRecordField, 8> RecordFields(const GdRecord& record);

// Names. Every C name of a GD file is a leading underscore, a name and a
// suffix: the array _NAMECpm and the record _NAMEGd of each picture, and
// for a sprite file of several frames the pointer table _IDGds. ID is the
// identifier name (derived from the picture file's name); a picture's NAME
// is ID with, when each frame has its own record, the frame number after
// it.
std::string PictureName(std::string_view identifier, bool perFrameRecords,
                        std::int32_t frame);
std::string RecordName(std::string_view pictureName);
std::string PointerTableName(std::string_view identifier);
// The picture name inside a record name ("walk3" for "_walk3Gd"); a name
// without the underscore or the suffix keeps what it has.
std::string_view PictureNameOfRecord(std::string_view recordName);
// The identifier inside a pointer table name ("walk" for "_walkGds"), or ""
// for a name not made that way.
std::string_view IdentifierOfPointerTable(std::string_view tableName);

// The record Krelt writes for a picture of that name and those sides; it
// points at the array _NAMECpm.
GdRecord NewRecord(std::string_view pictureName, DataFormat format,
                   std::int32_t size, std::int32_t width, std::int32_t height);

}  // namespace krelt
