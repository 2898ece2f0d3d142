#include "gd/gd_reader.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>

#include "common/file_io.h"
#include "common/message_text.h"
#include "common/utf8_path.h"

namespace krelt {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

enum class TokenKind { kIdentifier, kNumber, kString, kSymbol, kEnd };

struct Token {
  TokenKind kind = TokenKind::kEnd;
  std::string_view text;
  std::size_t line = 1;
};

bool IsIdentifierStart(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
}
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsIdentifierPart(char c) { return IsIdentifierStart(c) || IsDigit(c); }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A decimal or 0x-prefixed hexadecimal literal up to 2^32 - 1; false for
// anything else.
bool ParseNumber(std::string_view text, std::uint64_t& value) {
  constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();
  int base = 10;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  value = 0;
  for (char c : text) {
    const int digit = HexValue(c);
    if (digit < 0 || digit >= base) return false;
    value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (value > kLimit) return false;
  }
  return true;
}

// Splits GD text into tokens; comments and white space are skipped.
class GdLexer {
 public:
  explicit GdLexer(std::string_view text) : text_(text) {}

  // The next token, or an error message in `error`.
  bool Next(Token& token, std::string& error) {
    if (!SkipSpaceAndComments(error)) return false;
    token.line = line_;
    if (position_ == text_.size()) {
      token = {TokenKind::kEnd, {}, line_};
      return true;
    }
    const char c = text_[position_];
    if (IsIdentifierStart(c) || IsDigit(c)) {
      token.kind = IsDigit(c) ? TokenKind::kNumber : TokenKind::kIdentifier;
      token.text = TakeWhile(IsIdentifierPart);
      return true;
    }
    if (c == '"') return TakeString(token, error);
    if (std::string_view("#[]={};,*&-").find(c) != std::string_view::npos) {
      token.kind = TokenKind::kSymbol;
      token.text = text_.substr(position_++, 1);
      return true;
    }
    error = position_ == 0 && text_.starts_with(kUtf8ByteOrderMark)
                ? "the file starts with a UTF-8 byte-order mark"
                : "unexpected character '" + EscapeUnprintable(text_.substr(position_, 1)) + "'";
    return false;
  }

 private:
  bool SkipSpaceAndComments(std::string& error) {
    while (position_ < text_.size()) {
      const char c = text_[position_];
      if (c == '\n') {
        ++line_;
        ++position_;
      } else if (c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f') {
        ++position_;
      } else if (text_.substr(position_, 2) == "//") {
        position_ = std::min(text_.find('\n', position_), text_.size());
      } else if (text_.substr(position_, 2) == "/*") {
        const std::size_t end = text_.find("*/", position_ + 2);
        if (end == std::string_view::npos) {
          error = "unterminated comment";
          return false;
        }
        line_ += static_cast<std::size_t>(
            std::count(text_.begin() + static_cast<std::ptrdiff_t>(position_),
                       text_.begin() + static_cast<std::ptrdiff_t>(end), '\n'));
        position_ = end + 2;
      } else {
        return true;
      }
    }
    return true;
  }

  std::string_view TakeWhile(bool (*belongs)(char)) {
    const std::size_t start = position_;
    while (position_ < text_.size() && belongs(text_[position_])) ++position_;
    return text_.substr(start, position_ - start);
  }

  // A string literal on one line, without escapes; the token is its content.
  bool TakeString(Token& token, std::string& error) {
    const std::size_t end = text_.find_first_of("\"\n", position_ + 1);
    if (end == std::string_view::npos || text_[end] != '"') {
      error = "unterminated string";
      return false;
    }
    token.kind = TokenKind::kString;
    token.text = text_.substr(position_ + 1, end - position_ - 1);
    position_ = end + 1;
    return true;
  }

  std::string_view text_;
  std::size_t position_ = 0;
  std::size_t line_ = 1;
};

// Recursive-descent parser over the tokens. Each step returns false after
// recording the first error.
class GdParser {
 public:
  explicit GdParser(std::string_view text) : lexer_(text) {}

  Status Parse(GdSource& source) {
    if (!Advance()) return error_;
    while (current_.kind != TokenKind::kEnd) {
      if (!ParseDeclaration(source)) return error_;
    }
    return Status();
  }

 private:
  bool ParseDeclaration(GdSource& source) {
    if (IsSymbol('#')) return ParseInclude(source);
    if (IsWord("byte")) return Advance() && ParseArray(source);
    if (IsWord(kGdRecordType)) {
      if (!Advance()) return false;
      return IsSymbol('*') ? ParsePointerTable(source) : ParseRecord(source);
    }
    return Fail("expected a declaration");
  }

  bool ParseInclude(GdSource& source) {
    if (!Advance()) return false;
    if (!IsWord("include")) return Fail("expected 'include' after '#'");
    if (!Advance()) return false;
    if (current_.kind != TokenKind::kString) {
      return Fail("expected a quoted file name after #include");
    }
    source.includes.emplace_back(current_.text);
    return Advance();
  }

  bool ParseArray(GdSource& source) {
    GdArray array;
    array.line = current_.line;
    if (!(ExpectIdentifier(array.name, "as the array name") &&
          Expect('[') && Expect(']') && Expect('=') && Expect('{') &&
          ParseByteItems(array.bytes) && Expect(';'))) {
      return false;
    }
    source.arrays.push_back(std::move(array));
    return true;
  }

  // Byte items up to and including the closing '}'; a comma after the last
  // item is allowed.
  bool ParseByteItems(std::vector<std::uint8_t>& bytes) {
    for (;;) {
      if (IsSymbol('}')) return Advance();
      std::uint64_t value = 0;
      if (!ExpectNumber(value, "as a byte item")) return false;
      if (value > 0xFF) return FailBefore("byte item above 0xff");
      bytes.push_back(static_cast<std::uint8_t>(value));
      if (IsSymbol(',')) {
        if (!Advance()) return false;
      } else if (!IsSymbol('}')) {
        return Fail("expected ',' or '}' after a byte item");
      }
    }
  }

  bool ParseRecord(GdSource& source) {
    GdRecord record;
    record.line = current_.line;
    if (!(ExpectIdentifier(record.name, "as the record name") && Expect('=') &&
          Expect('{') && ExpectInt32(record.version, "as the version") &&
          Expect(',') && ExpectInt32(record.reserved, "as the reserved word") &&
          Expect(',') && ParseFormatAndMethod(record) && Expect(',') &&
          ExpectIdentifier(record.dataName, "as the data array") &&
          Expect(',') && ExpectInt32(record.size, "as the size") &&
          Expect(',') && ExpectInt32(record.width, "as the width") &&
          Expect(',') && ExpectInt32(record.height, "as the height") &&
          SkipOptional(',') && Expect('}') && Expect(';'))) {
      return false;
    }
    source.records.push_back(std::move(record));
    return true;
  }

  // The optional data format, then the compression method.
  bool ParseFormatAndMethod(GdRecord& record) {
    std::string word;
    if (!ExpectIdentifier(word, "as the data format or compression method")) {
      return false;
    }
    const std::optional<DataFormat> format = DataFormatNamed(word);
    if (!format) {
      record.compressMethod = std::move(word);
      return true;
    }
    record.dataFormat = *format;
    return Expect(',') &&
           ExpectIdentifier(record.compressMethod, "as the compression method");
  }

  bool ParsePointerTable(GdSource& source) {
    GdPointerTable table;
    table.line = current_.line;
    if (!(Expect('*') &&
          ExpectIdentifier(table.name, "as the pointer table name") &&
          Expect('[') && Expect(']') && Expect('=') && Expect('{'))) {
      return false;
    }
    for (;;) {
      if (IsSymbol('}')) break;
      std::string entry;
      if (!(Expect('&') && ExpectIdentifier(entry, "as a pointer entry"))) {
        return false;
      }
      table.entries.push_back(std::move(entry));
      if (IsSymbol(',')) {
        if (!Advance()) return false;
      } else if (!IsSymbol('}')) {
        return Fail("expected ',' or '}' after a pointer entry");
      }
    }
    if (!(Expect('}') && Expect(';'))) return false;
    source.pointerTables.push_back(std::move(table));
    return true;
  }

  bool Advance() {
    previousLine_ = current_.line;
    std::string error;
    if (lexer_.Next(current_, error)) return true;
    error_ = Status::Error(ErrorKind::kDamaged, "line " + std::to_string(current_.line) + ": " + error);
    return false;
  }

  bool IsSymbol(char symbol) const {
    return current_.kind == TokenKind::kSymbol && current_.text[0] == symbol;
  }
  bool IsWord(std::string_view word) const {
    return current_.kind == TokenKind::kIdentifier && current_.text == word;
  }

  bool Expect(char symbol) {
    if (!IsSymbol(symbol)) return Fail("expected '" + std::string(1, symbol) + "'");
    return Advance();
  }
  bool SkipOptional(char symbol) { return !IsSymbol(symbol) || Advance(); }

  bool ExpectIdentifier(std::string& name, std::string_view role) {
    if (current_.kind != TokenKind::kIdentifier) {
      return Fail("expected a name " + std::string(role));
    }
    name = current_.text;
    return Advance();
  }

  bool ExpectNumber(std::uint64_t& value, std::string_view role) {
    if (current_.kind != TokenKind::kNumber) {
      return Fail("expected a number " + std::string(role));
    }
    if (!ParseNumber(current_.text, value)) return Fail("malformed or too large number");
    return Advance();
  }

  // An optionally negative number within the signed 32-bit range.
  bool ExpectInt32(std::int32_t& value, std::string_view role) {
    const bool negative = IsSymbol('-');
    if (negative && !Advance()) return false;
    std::uint64_t magnitude = 0;
    if (!ExpectNumber(magnitude, role)) return false;
    const std::uint64_t limit =
        negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    if (magnitude > limit) return FailBefore("number out of the 32-bit range");
    value = static_cast<std::int32_t>(negative ? -static_cast<std::int64_t>(magnitude)
                                               : static_cast<std::int64_t>(magnitude));
    return true;
  }

  bool Fail(const std::string& what) {
    error_ = Status::Error(ErrorKind::kDamaged, "line " + std::to_string(current_.line) + ": " +
                           what + ", found " + Describe(current_));
    return false;
  }

  // For faults in the token just consumed, reported at its line.
  bool FailBefore(const std::string& what) {
    error_ = Status::Error(ErrorKind::kDamaged, "line " + std::to_string(previousLine_) + ": " + what);
    return false;
  }

  static std::string Describe(const Token& token) {
    if (token.kind == TokenKind::kEnd) return "the end of the text";
    constexpr std::size_t kShown = 24;
    std::string shown = EscapeUnprintable(token.text.substr(0, kShown));
    if (token.text.size() > kShown) shown += "...";
    return token.kind == TokenKind::kString ? "\"" + shown + "\"" : "'" + shown + "'";
  }

  GdLexer lexer_;
  Token current_;
  std::size_t previousLine_ = 1;
  Status error_;
};

}  // namespace

const GdArray* GdSource::FindArray(std::string_view name) const {
  const auto found = std::find_if(arrays.begin(), arrays.end(),
                                  [name](const GdArray& a) { return a.name == name; });
  return found == arrays.end() ? nullptr : &*found;
}

const GdRecord* GdSource::FindRecord(std::string_view name) const {
  const auto found = std::find_if(records.begin(), records.end(),
                                  [name](const GdRecord& r) { return r.name == name; });
  return found == records.end() ? nullptr : &*found;
}

Status ParseGdSource(std::string_view text, GdSource& source) {
  source = GdSource();
  Status status = CatchAllocationFailure([&] { return GdParser(text).Parse(source); });
  if (!status.ok()) source = GdSource();
  return status;
}

Status ReadGdSource(const std::filesystem::path& path, GdSource& source) {
  std::vector<std::uint8_t> bytes;
  if (Status status = ReadFileBytes(path, bytes); !status.ok()) return status;
  Status status = ParseGdSource(
      std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
      source);
  if (status.ok()) return status;
  return status.WithMessage(EscapeUnprintable(PathToUtf8(path.filename())) + ": " +
                            status.message());
}

}  // namespace krelt
