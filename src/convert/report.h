#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace krelt {

enum class ReportIcon { kNone = 0, kField = 1, kRecord = 2 };

// One row of the conversion report: what the GD file declares.
struct ReportRow {
  std::string type;
  std::string content;
  ReportIcon icon = ReportIcon::kNone;
  // The record the row shows or points to, counted from 0 in the order the
  // GD file declares them; -1 for blank rows and the pointer table's own.
  std::int32_t record = -1;

  bool operator==(const ReportRow&) const = default;
};

struct ConversionState;

// Data format codes of a record: OSD_256 (8-bit indices), OSD_1555 (16-bit
// pixels); any other code means the record has no data-format line.
inline constexpr int kDataFormatOsd256 = 1;
inline constexpr int kDataFormatOsd1555 = 2;

// "OSD_256", "OSD_1555", or "" for any other code.
std::string_view DataFormatName(int dataFormatCode);

// The rows describing what a conversion wrote. Without per-frame records:
// the nine rows of the single record, from table entry 0. With them: ten
// rows per frame of the range, then the pointer table's rows. Frames outside
// the state's tables are left out.
std::vector<ReportRow> BuildReport(const ConversionState& state,
                                   int dataFormatCode, bool perFrameRecords);

}  // namespace krelt
