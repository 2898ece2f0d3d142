#include "convert/report.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "convert/conversion.h"

namespace krelt {
namespace {

constexpr const char* kRecordType = "TYPE_GrData";

// Appends the rows of record number `record`: `name` is the identifier name
// with the frame number, if any; `entry` the table entry holding its values.
void AppendRecordRows(std::vector<ReportRow>& rows, std::int32_t record,
                      const std::string& name, std::size_t entry,
                      const ConversionState& state, int dataFormatCode) {
  const auto field = [&rows, record](const char* type, std::string content) {
    rows.push_back({type, std::move(content), ReportIcon::kField, record});
  };
  rows.push_back({kRecordType, name + "Gd", ReportIcon::kRecord, record});
  field("version", "1");
  field("reserved", "0");
  field("data format", std::string(DataFormatName(dataFormatCode)));
  field("compressed method", "COMPRESS_Tfp");
  field("data", name + "Cpm");
  field("size", std::to_string(state.frameSize[entry]));
  field("width", std::to_string(state.frameWidth[entry]));
  field("height", std::to_string(state.frameHeight[entry]));
}

std::size_t TableLength(const ConversionState& state) {
  return std::min({state.frameSize.size(), state.frameWidth.size(),
                   state.frameHeight.size()});
}

}  // namespace

std::string_view DataFormatName(int dataFormatCode) {
  switch (dataFormatCode) {
    case kDataFormatOsd256:
      return "OSD_256";
    case kDataFormatOsd1555:
      return "OSD_1555";
    default:
      return "";
  }
}

std::vector<ReportRow> BuildReport(const ConversionState& state,
                                   int dataFormatCode, bool perFrameRecords) {
  std::vector<ReportRow> rows;
  const std::int64_t tableLength = static_cast<std::int64_t>(TableLength(state));
  if (!perFrameRecords) {
    if (tableLength > 0) {
      AppendRecordRows(rows, 0, state.identifierName, 0, state, dataFormatCode);
    }
    return rows;
  }
  const std::int64_t first = std::max<std::int64_t>(state.startFrame, 0);
  const std::int64_t last = std::min<std::int64_t>(state.endFrame, tableLength - 1);
  const auto frameName = [&state](std::int64_t frame) {
    return state.identifierName + std::to_string(frame);
  };
  const auto record = [first](std::int64_t frame) {
    return static_cast<std::int32_t>(frame - first);
  };
  for (std::int64_t frame = first; frame <= last; ++frame) {
    AppendRecordRows(rows, record(frame), frameName(frame),
                     static_cast<std::size_t>(frame), state, dataFormatCode);
    rows.emplace_back();
  }
  rows.push_back({kRecordType, state.identifierName + "Gd", ReportIcon::kRecord});
  for (std::int64_t frame = first; frame <= last; ++frame) {
    rows.push_back({"", frameName(frame) + "Gd", ReportIcon::kNone, record(frame)});
  }
  rows.emplace_back();
  return rows;
}

}  // namespace krelt
