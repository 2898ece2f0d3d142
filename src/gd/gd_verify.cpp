#include "gd/gd_verify.h"

#include <algorithm>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "compress/tfp_decoder.h"
#include "compress/tfp_format.h"
#include "image/picture.h"

namespace krelt {
namespace {

// A fault of the file itself: a record that breaks what Krelt writes.
Status RecordFault(const GdRecord& record, const std::string& what) {
  return Status::Error(ErrorKind::kDamaged, "record " + record.name + " (line " +
                       std::to_string(record.line) + "): " + what);
}

// The fields every record Krelt writes holds, and a size matching its sides.
Status CheckRecordFields(const GdRecord& record) {
  if (record.version != kGdRecordVersion) {
    return RecordFault(record, "version " + std::to_string(record.version) +
                                   ", expected " + std::to_string(kGdRecordVersion));
  }
  if (record.reserved != kGdRecordReserved) {
    return RecordFault(record, "reserved word " + std::to_string(record.reserved) +
                                   ", expected " + std::to_string(kGdRecordReserved));
  }
  if (record.compressMethod != kGdCompressMethod) {
    return RecordFault(record, "compression method " + record.compressMethod +
                                   ", expected " + std::string(kGdCompressMethod));
  }
  const std::int64_t bytesPerPixel = BytesPerPixel(record.dataFormat);
  if (record.width <= 0 || record.height <= 0 ||
      record.width > kMaxImageDimension || record.height > kMaxImageDimension) {
    return RecordFault(record, "invalid size " + std::to_string(record.width) +
                                   " x " + std::to_string(record.height));
  }
  const std::int64_t expected =
      std::int64_t{record.width} * record.height * bytesPerPixel;
  if (record.size != expected) {
    return RecordFault(record, "size " + std::to_string(record.size) +
                                   " does not match " +
                                   std::to_string(record.width) + " x " +
                                   std::to_string(record.height) + " x " +
                                   std::to_string(bytesPerPixel) + " = " +
                                   std::to_string(expected));
  }
  return Status();
}

// Every chunk but the last holds kTfpMaxChunkLength bytes, so the chunk
// count in the stream header follows from the record's size. Checking it
// first bounds what decoding a hostile array can produce.
Status CheckChunkCount(const GdRecord& record, const GdArray& array) {
  if (array.bytes.size() < kTfpStreamHeaderSize) return Status();  // decoder names it
  const std::size_t announced =
      static_cast<std::size_t>(array.bytes[kTfpChunkCountOffset] << 8 |
                               array.bytes[kTfpChunkCountOffset + 1]);
  const std::size_t needed =
      (static_cast<std::size_t>(record.size) + kTfpMaxChunkLength - 1) /
      kTfpMaxChunkLength;
  if (announced != needed) {
    return RecordFault(record, "array " + array.name + " holds " +
                                   std::to_string(announced) +
                                   " chunks where a size of " +
                                   std::to_string(record.size) + " needs " +
                                   std::to_string(needed));
  }
  return Status();
}

// Decodes the array a record names; its length must be the record's size.
Status DecodeRecordArray(const GdSource& source, const GdRecord& record,
                         VerifiedRecord& verified,
                         std::vector<std::uint8_t>& pixels) {
  const GdArray* array = source.FindArray(record.dataName);
  if (array == nullptr) {
    return RecordFault(record, "its data array " + record.dataName +
                                   " is not declared");
  }
  if (Status status = CheckChunkCount(record, *array); !status.ok()) {
    return status;
  }
  if (Status status = TfpDecoder::Decode(array->bytes, pixels); !status.ok()) {
    // Keeps the decoder's kind: a damaged stream, or memory running out.
    return status.WithMessage(RecordFault(record, "array " + array->name + " (line " +
                                                      std::to_string(array->line) +
                                                      ") does not decode: " +
                                                      status.message())
                                  .message());
  }
  if (pixels.size() != static_cast<std::size_t>(record.size)) {
    return RecordFault(record, "size " + std::to_string(record.size) +
                                   " but array " + array->name + " decodes to " +
                                   std::to_string(pixels.size()) + " bytes");
  }
  verified.compressedBytes = array->bytes.size();
  verified.rawBytes = pixels.size();
  return Status();
}

Status CheckPointerTable(const GdSource& source, const GdPointerTable& table) {
  const std::string where =
      "pointer table " + table.name + " (line " + std::to_string(table.line) + ")";
  for (const std::string& entry : table.entries) {
    if (source.FindRecord(entry) == nullptr) {
      return Status::Error(ErrorKind::kDamaged, where + ": names " + entry +
                           ", which is not a declared record");
    }
  }
  const bool inOrder =
      table.entries.size() == source.records.size() &&
      std::equal(table.entries.begin(), table.entries.end(),
                 source.records.begin(),
                 [](const std::string& entry, const GdRecord& record) {
                   return entry == record.name;
                 });
  if (!inOrder) {
    return Status::Error(ErrorKind::kDamaged, where + ": does not list the " +
                         std::to_string(source.records.size()) +
                         " records in file order");
  }
  return Status();
}

}  // namespace

std::string SizeText(std::int32_t width, std::int32_t height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

Status VerifyRecord(const GdSource& source, const GdRecord& record,
                    VerifiedRecord& verified, std::vector<std::uint8_t>& pixels) {
  verified = VerifiedRecord{record, 0, 0};
  pixels.clear();
  if (Status status = CheckRecordFields(record); !status.ok()) return status;
  return DecodeRecordArray(source, record, verified, pixels);
}

static Status CheckGdSource(const GdSource& source,
                            const VerifiedRecordVisitor& visit) {
  if (source.records.empty()) {
    return Status::Error(ErrorKind::kDamaged,
                         "the file declares no " + std::string(kGdRecordType) + " record");
  }
  std::vector<std::uint8_t> pixels;
  VerifiedRecord verified;
  for (const GdRecord& record : source.records) {
    if (Status status = VerifyRecord(source, record, verified, pixels);
        !status.ok()) {
      return status;
    }
    if (visit) {
      if (Status status = visit(verified, pixels); !status.ok()) return status;
    }
  }
  if (source.records.size() > 1 && source.pointerTables.empty()) {
    return Status::Error(ErrorKind::kDamaged, "the file declares " +
                         std::to_string(source.records.size()) +
                         " records but no pointer table");
  }
  for (const GdPointerTable& table : source.pointerTables) {
    if (Status status = CheckPointerTable(source, table); !status.ok()) {
      return status;
    }
  }
  return Status();
}

std::string DescribeRecord(const VerifiedRecord& record) {
  const double percent =
      record.rawBytes == 0 ? 0.0
                           : 100.0 * static_cast<double>(record.compressedBytes) /
                                 static_cast<double>(record.rawBytes);
  char ratio[32];
  std::snprintf(ratio, sizeof ratio, "%.1f%%", percent);
  const GdRecord& fields = record.record;
  return fields.name + ": " + SizeText(fields.width, fields.height) + ", " +
         std::string(DataFormatLabel(fields.dataFormat)) + ", " +
         std::to_string(record.compressedBytes) +
         " bytes compressed, " + std::to_string(record.rawBytes) +
         " bytes raw (" + ratio + ")";
}

Status VerifyGdSource(const GdSource& source,
                      const VerifiedRecordVisitor& visit) {
  return CatchAllocationFailure([&] { return CheckGdSource(source, visit); });
}

}  // namespace krelt
