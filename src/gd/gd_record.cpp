#include "gd/gd_record.h"

#include <algorithm>
#include <iterator>

namespace krelt {
namespace {

constexpr std::string_view kArraySuffix = "Cpm";
constexpr std::string_view kRecordSuffix = "Gd";
constexpr std::string_view kPointerTableSuffix = "Gds";

struct DataFormatEntry {
  DataFormat format;
  std::string_view name;
  std::string_view label;
  std::int32_t bytesPerPixel;
};

constexpr DataFormatEntry kDataFormats[] = {
    {DataFormat::kNone, "", "24-bit RGB", 3},
    {DataFormat::kOsd256, "OSD_256", "OSD_256", 1},
    {DataFormat::kOsd1555, "OSD_1555", "OSD_1555", 2},
};

const DataFormatEntry& EntryOf(DataFormat format) {
  return *std::find_if(std::begin(kDataFormats), std::end(kDataFormats),
                       [format](const DataFormatEntry& entry) { return entry.format == format; });
}

std::string CName(std::string_view pictureName, std::string_view suffix) {
  std::string name = "_";
  name.append(pictureName).append(suffix);
  return name;
}

}  // namespace

std::string_view DataFormatName(DataFormat format) { return EntryOf(format).name; }

std::optional<DataFormat> DataFormatNamed(std::string_view name) {
  if (name.empty()) return std::nullopt;
  const auto found = std::find_if(std::begin(kDataFormats), std::end(kDataFormats),
                                  [name](const DataFormatEntry& entry) { return entry.name == name; });
  if (found == std::end(kDataFormats)) return std::nullopt;
  return found->format;
}

std::string_view DataFormatLabel(DataFormat format) { return EntryOf(format).label; }

std::int32_t BytesPerPixel(DataFormat format) { return EntryOf(format).bytesPerPixel; }

std::array<GdRecordField, 8> RecordFields(const GdRecord& record) {
  return {{{"version", std::to_string(record.version)},
           {"reserved", std::to_string(record.reserved)},
           {"data format", std::string(DataFormatName(record.dataFormat))},
           {"compressed method", record.compressMethod},
           {"data", record.dataName},
           {"size", std::to_string(record.size)},
           {"width", std::to_string(record.width)},
           {"height", std::to_string(record.height)}}};
}

std::string PictureName(std::string_view identifier, bool perFrameRecords,
                        std::int32_t frame) {
  std::string name(identifier);
  if (perFrameRecords) name += std::to_string(frame);
  return name;
}

std::string RecordName(std::string_view pictureName) {
  return CName(pictureName, kRecordSuffix);
}

std::string PointerTableName(std::string_view identifier) {
  return CName(identifier, kPointerTableSuffix);
}

std::string_view PictureNameOfRecord(std::string_view recordName) {
  if (recordName.starts_with('_')) recordName.remove_prefix(1);
  if (recordName.ends_with(kRecordSuffix)) recordName.remove_suffix(kRecordSuffix.size());
  return recordName;
}

std::string_view IdentifierOfPointerTable(std::string_view tableName) {
  if (!tableName.starts_with('_') || !tableName.ends_with(kPointerTableSuffix)) return {};
  return tableName.substr(1, tableName.size() - 1 - kPointerTableSuffix.size());
}

GdRecord NewRecord(std::string_view pictureName, DataFormat format,
                   std::int32_t size, std::int32_t width, std::int32_t height) {
  GdRecord record;
  record.name = RecordName(pictureName);
  record.dataFormat = format;
  record.dataName = CName(pictureName, kArraySuffix);
  record.size = size;
  record.width = width;
  record.height = height;
  return record;
}

}  // namespace krelt
