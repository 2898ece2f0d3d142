#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/status.h"
#include "gd/gd_reader.h"

namespace krelt {

// One record of a GD source file that passed every check.
struct VerifiedRecord {
  GdRecord record;
  std::size_t compressedBytes = 0;
  std::size_t rawBytes = 0;
};

// Told of each record that passed, with the pixel bytes its array decodes
// to (valid during the call only). An error it returns ends the check.
using VerifiedRecordVisitor = std::function<Status(
    const VerifiedRecord& record, std::span<const std::uint8_t> pixels)>;

// Checks one record of a GD source file as VerifyGdSource does and decodes
// the array it names into pixels (empty on failure).
Status VerifyRecord(const GdSource& source, const GdRecord& record,
                    VerifiedRecord& verified, std::vector<std::uint8_t>& pixels);

// Checks what a GD source file declares, one record at a time: each record
// is version 1, reserved 0, COMPRESS_Tfp, at most kMaxImageDimension pixels
// a side, names an array that exists and decodes (every length and CRC-16
// checked), and its size equals both the decoded length and width x height
// x bytes per pixel of its data format. Then a file of several records must
// have a pointer table, and every pointer table must name the records in
// file order. Returns the first fault, naming it.
Status VerifyGdSource(const GdSource& source,
                      const VerifiedRecordVisitor& visit = nullptr);

// "40 x 20": a picture's size as messages give it.
std::string SizeText(std::int32_t width, std::int32_t height);

// "_logoGd: 40 x 20, OSD_256, 30 bytes compressed, 800 bytes raw (3.8%)".
std::string DescribeRecord(const VerifiedRecord& record);

}  // namespace krelt
