#pragma once

#include <cstdint>

namespace krelt {

// Packs bit fields most significant bit first into a byte area of fixed
// capacity. Fields gather in a 64-bit register that goes out four bytes at
// a time while the area has room for them, then byte by byte, so the area
// may be filled exactly; a field that needs one byte more fails.
class BitWriter {
 public:
  void Start(std::uint8_t* output, std::uint32_t limit) {
    output_ = output;
    count_ = 0;
    limit_ = limit;
    pending_ = 0;
    pendingBits_ = 0;
    spillBits_ = SpillBits();
  }

  // Writes the low n bits of x (n 0..16, x < 2^n). Returns false when a byte
  // is due while limit bytes have already been written.
  bool PutBits(int n, unsigned x) {
    pending_ = pending_ << n | x;
    pendingBits_ += n;
    return pendingBits_ < spillBits_ || Spill();
  }

  // Pads a partly filled byte with zero bits and writes it.
  bool Flush() {
    pending_ <<= (8 - pendingBits_ % 8) % 8;
    pendingBits_ = (pendingBits_ + 7) / 8 * 8;
    return WriteWholeBytes();
  }

  // Bits written since Start, counting those not yet in a whole byte.
  std::uint64_t bitCount() const { return std::uint64_t{count_} * 8 + pendingBits_; }

  // Bytes written since Start (after Flush, all of them).
  std::uint32_t count() const { return count_; }

 private:
  static constexpr unsigned kWordBits = 32;

  // Pending bits that start a write: a word's worth while the area has room
  // for a word, else every whole byte, so that a byte due without room
  // fails at once.
  unsigned SpillBits() const { return limit_ - count_ >= kWordBits / 8 ? kWordBits : 8; }

  bool Spill() {
    if (pendingBits_ >= kWordBits && limit_ - count_ >= kWordBits / 8) {
      const auto word = static_cast<std::uint32_t>(pending_ >> (pendingBits_ - kWordBits));
      std::uint8_t* out = output_ + count_;
      out[0] = static_cast<std::uint8_t>(word >> 24);
      out[1] = static_cast<std::uint8_t>(word >> 16);
      out[2] = static_cast<std::uint8_t>(word >> 8);
      out[3] = static_cast<std::uint8_t>(word);
      count_ += kWordBits / 8;
      pendingBits_ -= kWordBits;
    }
    const bool written = WriteWholeBytes();
    spillBits_ = SpillBits();
    return written;
  }

  bool WriteWholeBytes() {
    for (; pendingBits_ >= 8; pendingBits_ -= 8) {
      if (count_ >= limit_) return false;
      output_[count_++] = static_cast<std::uint8_t>(pending_ >> (pendingBits_ - 8));
    }
    return true;
  }

  std::uint8_t* output_ = nullptr;
  std::uint32_t count_ = 0;
  std::uint32_t limit_ = 0;
  std::uint64_t pending_ = 0;   // the low pendingBits_ bits are not yet written
  unsigned pendingBits_ = 0;    // below spillBits_ between calls
  unsigned spillBits_ = kWordBits;
};

}  // namespace krelt
