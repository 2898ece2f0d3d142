#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gd/gd_text.h"

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

// The rows describing a GD document, names without their leading
// underscore. Without per-frame records: the nine rows of the single
// record. With them: ten rows per record (its nine and a blank one), then
// the pointer table's rows.
std::vector<ReportRow> BuildReport(const GdDocument& document);

}  // namespace krelt
