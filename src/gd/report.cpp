#include "gd/report.h"

#include <string_view>

namespace krelt {
namespace {

// The report shows C names without their leading underscore; no other
// value of a record starts with one.
std::string Shown(std::string_view value) {
  if (value.starts_with('_')) value.remove_prefix(1);
  return std::string(value);
}

// The record's own row, then one row per field, all naming `index`.
void AppendRecordRows(std::vector<ReportRow>& rows, std::int32_t index,
                      const GdRecord& record) {
  const std::string type(kGdRecordType);
  rows.push_back({type, Shown(record.name), ReportIcon::kRecord, index});
  for (const GdRecordField& field : RecordFields(record)) {
    rows.push_back({std::string(field.label), Shown(field.value), ReportIcon::kField, index});
  }
}

}  // namespace

std::vector<ReportRow> BuildReport(const GdDocument& document) {
  std::vector<ReportRow> rows;
  const auto count = static_cast<std::int32_t>(document.pictures.size());
  for (std::int32_t index = 0; index < count; ++index) {
    AppendRecordRows(rows, index, document.pictures[static_cast<std::size_t>(index)].record);
    if (document.perFrameRecords) rows.emplace_back();
  }
  if (!document.perFrameRecords) return rows;
  // The pointer table's row shows the name a record of the identifier
  // alone would have: "animGd" for _animGds.
  rows.push_back({std::string(kGdRecordType), Shown(RecordName(document.identifierName)),
                  ReportIcon::kRecord});
  for (std::int32_t index = 0; index < count; ++index) {
    rows.push_back({"", Shown(document.pictures[static_cast<std::size_t>(index)].record.name),
                    ReportIcon::kNone, index});
  }
  rows.emplace_back();
  return rows;
}

}  // namespace krelt
