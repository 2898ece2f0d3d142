#pragma once

#include <cstdint>

namespace krelt {

// Packs bit fields most significant bit first into a byte area of fixed
// capacity. The capacity is checked before every byte, so the area may be
// filled exactly; a field that needs one byte more fails.
class BitWriter {
 public:
  void Start(std::uint8_t* output, std::uint32_t limit) {
    output_ = output;
    count_ = 0;
    limit_ = limit;
    pending_ = 0;
    freeBits_ = 8;
  }

  // Writes the low n bits of x (n 0..16, x < 2^n). Returns false when a byte
  // is due while limit bytes have already been written.
  bool PutBits(int n, unsigned x) {
    if (n < freeBits_) {
      freeBits_ -= n;
      pending_ |= x << freeBits_;
      return true;
    }
    if (count_ >= limit_) return false;
    const int overflow = n - freeBits_;
    output_[count_++] = static_cast<std::uint8_t>(pending_ | (x >> overflow));
    if (overflow >= 8) {
      if (count_ >= limit_) return false;
      output_[count_++] = static_cast<std::uint8_t>(x >> (overflow - 8));
      freeBits_ = 16 - overflow;
    } else {
      freeBits_ = 8 - overflow;
    }
    pending_ = (x << freeBits_) & 0xFF;
    return true;
  }

  // Pads a partly filled byte with zero bits and writes it.
  bool Flush() { return PutBits(7, 0); }

  // Bits written since Start, counting those not yet in a whole byte.
  std::uint64_t bitCount() const { return std::uint64_t{count_} * 8 + 8 - static_cast<unsigned>(freeBits_); }

  // Bytes written since Start.
  std::uint32_t count() const { return count_; }

 private:
  std::uint8_t* output_ = nullptr;
  std::uint32_t count_ = 0;
  std::uint32_t limit_ = 0;
  unsigned pending_ = 0;  // bits not yet written, at the top of the byte
  int freeBits_ = 8;      // unfilled positions of the pending byte, 1..8
};

}  // namespace krelt
