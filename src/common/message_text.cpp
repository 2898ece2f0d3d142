#include "common/message_text.h"

#include <cstdint>

namespace krelt {
namespace {

// Length of the well-formed UTF-8 sequence at the start of text and its code
// point; 0 when the bytes are not one (overlong, surrogate, cut short).
std::size_t DecodeUtf8(std::string_view text, char32_t& codePoint) {
  const auto lead = static_cast<std::uint8_t>(text[0]);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, minimum = 0x80, codePoint = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, minimum = 0x800, codePoint = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[i]);
    if ((next & 0xC0) != 0x80) return 0;
    codePoint = codePoint << 6 | (next & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < minimum || codePoint > 0x10FFFF || surrogate) return 0;
  return length;
}

// Control characters and the format characters that show nothing.
bool Printable(char32_t codePoint) {
  if (codePoint < 0x20 || (codePoint >= 0x7F && codePoint < 0xA0)) return false;
  if (codePoint == 0xAD || codePoint == 0xFEFF) return false;
  if (codePoint >= 0x200B && codePoint <= 0x200F) return false;
  if (codePoint >= 0x2028 && codePoint <= 0x202E) return false;
  if (codePoint >= 0x2060 && codePoint <= 0x206F) return false;
  return true;
}

void AppendEscaped(std::string_view bytes, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char byte : bytes) {
    const auto value = static_cast<std::uint8_t>(byte);
    out += "\\x";
    out += kHex[value >> 4];
    out += kHex[value & 0x0F];
  }
}

}  // namespace

std::string EscapeUnprintable(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t codePoint = 0;
    const std::size_t length = DecodeUtf8(text, codePoint);
    const std::size_t taken = length == 0 ? 1 : length;
    if (length != 0 && Printable(codePoint)) {
      out.append(text.substr(0, taken));
    } else {
      AppendEscaped(text.substr(0, taken), out);
    }
    text.remove_prefix(taken);
  }
  return out;
}

}  // namespace krelt
