// Parses the input as GD source text and, when it parses, runs every check
// of the verifier on it: decoding every array it declares.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "gd/gd_reader.h"
#include "gd/gd_verify.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data,
                                      std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  krelt::GdSource source;
  const krelt::Status parsed = krelt::ParseGdSource(text, source);
  if (!parsed.ok()) {
    krelt::fuzz::Require(source.arrays.empty() && source.records.empty(),
                         "a failed parse leaves nothing");
    return 0;
  }
  std::size_t visited = 0;
  const krelt::Status verified = krelt::VerifyGdSource(
      source, [&](const krelt::VerifiedRecord& record,
                  std::span<const std::uint8_t> pixels) {
        ++visited;
        krelt::fuzz::Require(pixels.size() == record.rawBytes &&
                                 pixels.size() > 0,
                             "a verified record's pixels are its raw bytes");
        krelt::fuzz::Require(!krelt::DescribeRecord(record).empty(),
                             "every record described");
        return krelt::Status();
      });
  krelt::fuzz::Require(visited <= source.records.size(),
                       "at most one verified record per record");
  if (verified.ok()) {
    krelt::fuzz::Require(visited == source.records.size(), "every record verified");
  }
  return 0;
}
