#include "compress/lh5_decoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

#include "compress/lh5_format.h"

namespace krelt {
namespace {

constexpr int kLookupBits = 12;  // codes up to this long decode in one step

// Eight bytes read as a big-endian value; compilers turn this into one load
// and a byte swap.
std::uint64_t LoadBe64(const std::uint8_t* bytes) {
  std::uint64_t word;
  std::memcpy(&word, bytes, sizeof word);
  if constexpr (std::endian::native == std::endian::little) {
    word = (word >> 56) | ((word >> 40) & 0xFF00) | ((word >> 24) & 0xFF0000) |
           ((word >> 8) & 0xFF000000) | ((word << 8) & 0xFF00000000) |
           ((word << 24) & 0xFF0000000000) |
           ((word << 40) & 0xFF000000000000) | (word << 56);
  }
  return word;
}

// Reads bits most significant first through a 64-bit buffer whose top bit is
// the next bit. Past the end of the data it supplies zero bits; Overrun()
// tells whether any of those were consumed, so callers check it at the end
// instead of at every read.
class BitReader {
 public:
  explicit BitReader(std::span<const std::uint8_t> data) : data_(data) {}

  // Makes at least 56 bits available.
  void Refill() {
    if (position_ + 8 <= data_.size()) {
      // Bits below the whole bytes taken are loaded again, unchanged, by the
      // next refill.
      buffer_ |= LoadBe64(data_.data() + position_) >> available_;
      position_ += static_cast<std::size_t>((63 - available_) >> 3);
      available_ |= 56;
      return;
    }
    while (available_ <= 56) {
      const std::uint64_t byte =
          position_ < data_.size() ? data_[position_] : 0;
      buffer_ |= byte << (56 - available_);
      ++position_;
      available_ += 8;
    }
  }

  // The next count bits (1..32) without consuming them.
  std::uint32_t Peek(int count) const {
    return static_cast<std::uint32_t>(buffer_ >> (64 - count));
  }
  void Skip(int count) {
    buffer_ <<= count;
    available_ -= count;
  }
  // Consumes and returns count bits (0..16).
  std::uint32_t Read(int count) {
    Refill();
    if (count == 0) return 0;
    const std::uint32_t value = Peek(count);
    Skip(count);
    return value;
  }

  bool Overrun() const {
    return position_ * 8 - static_cast<std::size_t>(available_) >
           data_.size() * 8;
  }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;  // next byte to load; may pass the end
  std::uint64_t buffer_ = 0;
  int available_ = 0;
};

// A canonical Huffman code (codes of one length are consecutive in symbol
// order, shorter codes first) with a lookup table for codes of up to
// kLookupBits bits and a per-length search for longer ones.
class HuffmanCode {
 public:
  // Builds the code from one length per symbol (0: unused, else 1..16).
  // Lengths that don't form a complete prefix code are an error, except all
  // zero: that gives a code that matches no bits.
  Status Build(std::span<const std::uint8_t> lengths) {
    counts_.fill(0);
    for (std::uint8_t length : lengths) ++counts_[length];
    counts_[0] = 0;
    std::uint32_t kraftSum = 0;  // in units of 2^-16
    for (int length = 1; length <= kLh5MaxCodeLength; ++length) {
      kraftSum += std::uint32_t{counts_[length]} << (kLh5MaxCodeLength - length);
    }
    if (kraftSum > (1u << kLh5MaxCodeLength)) {
      return Status::Error(ErrorKind::kDamaged, "code lengths are over-subscribed");
    }
    if (kraftSum != 0 && kraftSum < (1u << kLh5MaxCodeLength)) {
      return Status::Error(ErrorKind::kDamaged, "code lengths leave codes unused");
    }

    std::uint32_t code = 0;
    std::uint16_t index = 0;
    int longest = 1;
    for (int length = 1; length <= kLh5MaxCodeLength; ++length) {
      firstCode_[length] = code;
      firstIndex_[length] = index;
      code = (code + counts_[length]) << 1;
      index = static_cast<std::uint16_t>(index + counts_[length]);
      if (counts_[length] != 0) longest = length;
    }
    std::array<std::uint16_t, kLh5MaxCodeLength + 1> next = firstIndex_;
    for (std::size_t symbol = 0; symbol < lengths.size(); ++symbol) {
      if (lengths[symbol] != 0) {
        sorted_[next[lengths[symbol]]++] = static_cast<std::uint16_t>(symbol);
      }
    }
    FillLookup(std::min(longest, kLookupBits));
    return {};
  }

  // Every decode gives symbol and consumes no bits.
  void SetSingleSymbol(int symbol) {
    counts_.fill(0);
    lookupBits_ = 1;
    lookup_[0] = lookup_[1] = Entry(symbol, 0);
  }

  // The decoding side of the code. Kept in local variables by the token
  // loop, so that its byte stores cannot force the table pointer and width
  // to be reloaded for every token.
  class View {
   public:
    explicit View(const HuffmanCode& code)
        : lookup_(code.lookup_.data()), bits_(code.lookupBits_), code_(&code) {}

    // Decodes one symbol from at least 16 available bits; -1 when the bits
    // match no code.
    int Decode(BitReader& reader) const {
      std::uint32_t entry = lookup_[reader.Peek(bits_)];
      if ((entry >> 16) == kLongCode) {
        entry = code_->FindLongCode(reader.Peek(kLh5MaxCodeLength));
        if ((entry >> 16) == kLongCode) return -1;
      }
      reader.Skip(static_cast<int>(entry >> 16));
      return static_cast<int>(entry & 0xFFFF);
    }

   private:
    const std::uint32_t* lookup_;
    int bits_;
    const HuffmanCode* code_;
  };

  int Decode(BitReader& reader) const { return View(*this).Decode(reader); }

 private:
  // Lookup entries hold the symbol in bits 0..15 and the code length above.
  static constexpr std::uint32_t kLongCode = 0xFF;  // longer than the lookup
  static constexpr std::uint32_t Entry(std::uint32_t symbol,
                                       std::uint32_t length) {
    return symbol | length << 16;
  }

  void FillLookup(int bits) {
    lookupBits_ = bits;
    std::fill_n(lookup_.begin(), std::size_t{1} << bits, Entry(0, kLongCode));
    for (int length = 1; length <= bits; ++length) {
      const std::size_t span = std::size_t{1} << (bits - length);
      for (std::uint16_t k = 0; k < counts_[length]; ++k) {
        const std::uint32_t entry =
            Entry(sorted_[firstIndex_[length] + k],
                  static_cast<std::uint32_t>(length));
        const std::size_t start = (firstCode_[length] + k) << (bits - length);
        std::fill_n(lookup_.begin() + static_cast<std::ptrdiff_t>(start), span,
                    entry);
      }
    }
  }

  // bits: the next 16 bits. Codes not in the lookup are longer than it.
  std::uint32_t FindLongCode(std::uint32_t bits) const {
    for (int length = lookupBits_ + 1; length <= kLh5MaxCodeLength; ++length) {
      const std::uint32_t offset =
          (bits >> (kLh5MaxCodeLength - length)) - firstCode_[length];
      if (offset < counts_[length]) {
        return Entry(sorted_[firstIndex_[length] + offset],
                     static_cast<std::uint32_t>(length));
      }
    }
    return Entry(0, kLongCode);
  }

  int lookupBits_ = 1;
  std::array<std::uint32_t, std::size_t{1} << kLookupBits> lookup_{};
  std::array<std::uint16_t, kLh5MaxCodeLength + 1> counts_{};
  std::array<std::uint32_t, kLh5MaxCodeLength + 1> firstCode_{};
  std::array<std::uint16_t, kLh5MaxCodeLength + 1> firstIndex_{};
  std::array<std::uint16_t, kLh5SymbolCount> sorted_{};
};

Status Fault(const std::string& table, const Status& status) {
  return status.WithMessage(table + ": " + status.message());
}

}  // namespace

struct Lh5Tables {
  HuffmanCode symbols;
  HuffmanCode codeLengths;  // codes for transmitting the symbol lengths
  HuffmanCode distanceClasses;
  std::array<std::uint8_t, kLh5SymbolCount> lengths{};
};

namespace {

// Decodes one block at a time into one chunk's output.
class BlockDecoder {
 public:
  BlockDecoder(Lh5Tables& tables, std::span<const std::uint8_t> coded,
               std::span<std::uint8_t> output)
      : tables_(tables), reader_(coded), output_(output) {}

  Status DecodeChunk() {
    for (int block = 1; written_ < output_.size(); ++block) {
      const Status status = DecodeBlock();
      if (reader_.Overrun()) return EndedEarly();
      if (!status.ok()) {
        return Status::Error(ErrorKind::kDamaged, "block " + std::to_string(block) + ": " +
                             status.message());
      }
    }
    return {};
  }

 private:
  Status EndedEarly() const {
    return Status::Error(ErrorKind::kDamaged, "coded data ends after " + std::to_string(written_) +
                         " of " + std::to_string(output_.size()) +
                         " bytes were decoded");
  }

  Status DecodeBlock() {
    const std::uint32_t tokenCount = reader_.Read(kLh5TokenCountBits);
    Status status = ReadSmallCode(tables_.codeLengths, kLh5LengthSymbolCount,
                                  kLh5LengthSymbolCountBits, kLh5SkipFieldPosition);
    if (!status.ok()) return Fault("code-length table", status);
    status = ReadSymbolCode();
    if (!status.ok()) return Fault("symbol table", status);
    status = ReadSmallCode(tables_.distanceClasses, kLh5DistanceClassCount,
                           kLh5DistanceClassCountBits, 0);
    if (!status.ok()) return Fault("distance table", status);
    return DecodeTokens(tokenCount);
  }

  // A code for up to 19 symbols: a count, then 3-bit lengths where 7 is
  // followed by one 1 bit per extra unit and a 0 bit. After the length of
  // symbol skipAfter - 1 (when skipAfter > 0) a 2-bit field gives how many
  // following lengths are zero and left out. A count of 0 is followed by the
  // one symbol every decode gives.
  Status ReadSmallCode(HuffmanCode& code, int alphabetSize, int countBits,
                       int skipAfter) {
    const auto count = static_cast<int>(reader_.Read(countBits));
    if (count == 0) return ReadSingleSymbol(code, alphabetSize, countBits);
    if (count > alphabetSize) return TooMany(count, alphabetSize);
    auto& lengths = tables_.lengths;
    std::fill_n(lengths.begin(), alphabetSize, 0);
    for (int i = 0; i < count;) {
      std::uint32_t length = reader_.Read(kLh5SmallLengthBits);
      if (length == kLh5SmallLengthEscape) {
        while (reader_.Read(1) == 1) {
          if (++length > kLh5MaxCodeLength) {
            return Status::Error(ErrorKind::kDamaged, "code length above 16");
          }
        }
      }
      lengths[static_cast<std::size_t>(i++)] = static_cast<std::uint8_t>(length);
      if (i == skipAfter) i += static_cast<int>(reader_.Read(kLh5SkipFieldBits));
    }
    return code.Build(
        std::span(lengths).first(static_cast<std::size_t>(alphabetSize)));
  }

  // The symbol lengths, each sent as a code-length symbol: 0 = one zero
  // length, 1 = 3..18 zeros (4-bit field), 2 = 20 or more zeros (9-bit
  // field), 3..18 = length 1..16.
  Status ReadSymbolCode() {
    const auto count = static_cast<int>(reader_.Read(kLh5SymbolCountBits));
    if (count == 0) {
      return ReadSingleSymbol(tables_.symbols, kLh5SymbolCount, kLh5SymbolCountBits);
    }
    if (count > kLh5SymbolCount) return TooMany(count, kLh5SymbolCount);
    auto& lengths = tables_.lengths;
    lengths.fill(0);
    for (int i = 0; i < count;) {
      reader_.Refill();
      const int lengthSymbol = tables_.codeLengths.Decode(reader_);
      if (lengthSymbol < 0) {
        return Status::Error(ErrorKind::kDamaged, "bits match no code-length code");
      }
      if (lengthSymbol > kLh5LongZeroRunSymbol) {
        lengths[static_cast<std::size_t>(i++)] =
            static_cast<std::uint8_t>(lengthSymbol - kLh5LengthSymbolBias);
        continue;
      }
      const int zeros =
          lengthSymbol == 0 ? 1
          : lengthSymbol == kLh5ShortZeroRunSymbol
              ? kLh5ShortZeroRunMin + static_cast<int>(reader_.Read(kLh5ShortZeroRunBits))
              : kLh5LongZeroRunMin + static_cast<int>(reader_.Read(kLh5LongZeroRunBits));
      if (zeros > count - i) {
        return Status::Error(ErrorKind::kDamaged, "a run of zero lengths passes the count " +
                             std::to_string(count));
      }
      i += zeros;
    }
    return tables_.symbols.Build(lengths);
  }

  Status ReadSingleSymbol(HuffmanCode& code, int alphabetSize, int bits) {
    const auto symbol = static_cast<int>(reader_.Read(bits));
    if (symbol >= alphabetSize) {
      return Status::Error(ErrorKind::kDamaged, "single symbol " + std::to_string(symbol) +
                           " is not below " + std::to_string(alphabetSize));
    }
    code.SetSingleSymbol(symbol);
    return {};
  }

  static Status TooMany(int count, int alphabetSize) {
    return Status::Error(ErrorKind::kDamaged, "count " + std::to_string(count) + " exceeds " +
                         std::to_string(alphabetSize));
  }

  Status DecodeTokens(std::uint32_t tokenCount) {
    // Work on local copies so that the byte stores to the output cannot
    // force the bit buffer and position out of registers.
    BitReader reader = reader_;
    std::size_t written = written_;
    std::uint8_t* const out = output_.data();
    const std::size_t size = output_.size();
    const HuffmanCode::View symbols(tables_.symbols);
    const HuffmanCode::View distanceClasses(tables_.distanceClasses);
    Status status;
    for (std::uint32_t token = 0; token < tokenCount; ++token) {
      reader.Refill();  // enough for a symbol, a class and its extra bits
      const int symbol = symbols.Decode(reader);
      if (symbol < kLh5FirstMatchSymbol) {
        if (symbol < 0) {
          status = Status::Error(ErrorKind::kDamaged, "bits match no symbol code");
          break;
        }
        if (written == size) {
          status = TooLong();
          break;
        }
        out[written++] = static_cast<std::uint8_t>(symbol);
        continue;
      }
      const std::int32_t distance = ReadDistance(distanceClasses, reader);
      if (distance < 0) {
        status = Status::Error(ErrorKind::kDamaged, "bits match no distance code");
        break;
      }
      const auto length = static_cast<std::size_t>(symbol - kLh5MatchSymbolOffset);
      if (static_cast<std::size_t>(distance) > written) {
        status = Status::Error(ErrorKind::kDamaged, "match at byte " + std::to_string(written) +
                               " reaches " + std::to_string(distance) +
                               " bytes back, before the chunk start");
        break;
      }
      if (length > size - written) {
        status = TooLong();
        break;
      }
      if (static_cast<std::size_t>(distance) < length && size - written - length >= kCopyWord) {
        CopyMatchInWords(out + written, static_cast<std::size_t>(distance), length);
      } else {
        CopyMatch(out + written, static_cast<std::size_t>(distance), length);
      }
      written += length;
    }
    reader_ = reader;
    written_ = written;
    return status;
  }

  // A match's distance: the class code, then for class c > 1 the c - 1 bits
  // of d below its top bit; distance = d + 1. -1 when no code matches.
  static std::int32_t ReadDistance(const HuffmanCode::View& classes,
                                   BitReader& reader) {
    const int distanceClass = classes.Decode(reader);
    if (distanceClass <= 1) return distanceClass < 0 ? -1 : distanceClass + 1;
    const int extraBits = Lh5DistanceExtraBits(distanceClass);
    const auto extra = static_cast<std::int32_t>(reader.Peek(extraBits));
    reader.Skip(extraBits);
    return (std::int32_t{1} << extraBits) + extra + 1;
  }

  // Overlapping copies (distance < length) repeat the last distance bytes.
  static void CopyMatch(std::uint8_t* destination, std::size_t distance,
                        std::size_t length) {
    const std::uint8_t* source = destination - distance;
    if (distance >= length) {
      std::memcpy(destination, source, length);
    } else {
      for (std::size_t k = 0; k < length; ++k) destination[k] = source[k];
    }
  }

  static constexpr std::size_t kCopyWord = 8;
  // Loads at least this far behind the stores, so that a load never waits
  // for a store it only partly overlaps.
  static constexpr std::size_t kMinWordStep = 32;

  // CopyMatch for an overlapping match followed by at least kCopyWord bytes
  // of room: it copies whole words and may write up to kCopyWord - 1 bytes
  // past the match, which later tokens overwrite. A distance below
  // kMinWordStep repeats with the period of its smallest multiple of at
  // least kMinWordStep; the bytes before that step are copied one by one.
  static void CopyMatchInWords(std::uint8_t* destination, std::size_t distance,
                               std::size_t length) {
    const std::size_t step = distance >= kMinWordStep
                                 ? distance
                                 : (kMinWordStep + distance - 1) / distance * distance;
    const std::size_t head = std::min(step - distance, length);
    const std::uint8_t* source = destination - distance;
    for (std::size_t k = 0; k < head; ++k) destination[k] = source[k];
    for (std::size_t k = head; k < length; k += kCopyWord) {
      std::uint64_t word;
      std::memcpy(&word, destination + k - step, kCopyWord);
      std::memcpy(destination + k, &word, kCopyWord);
    }
  }

  Status TooLong() const {
    return Status::Error(ErrorKind::kDamaged, "decodes to more than " +
                         std::to_string(output_.size()) + " bytes");
  }

  Lh5Tables& tables_;
  BitReader reader_;
  std::span<std::uint8_t> output_;
  std::size_t written_ = 0;
};

}  // namespace

Lh5Decoder::Lh5Decoder() : tables_(std::make_unique<Lh5Tables>()) {}
Lh5Decoder::~Lh5Decoder() = default;

Status Lh5Decoder::DecodeChunk(std::span<const std::uint8_t> coded,
                               std::span<std::uint8_t> output) {
  return BlockDecoder(*tables_, coded, output).DecodeChunk();
}

}  // namespace krelt
