#include "gd/gd_text.h"

#include <string_view>

namespace krelt {
namespace {

// Gathers the text in a buffer that goes to the sink whenever it fills,
// writing every "\n" of a piece as the chosen line end; or, without a sink,
// only counts its characters. After a sink error nothing more is passed on.
class GdTextWriter {
 public:
  GdTextWriter(LineEnding lineEnding, const TextSink* sink)
      : newline_(lineEnding == LineEnding::kCrlf ? "\r\n" : "\n"),
        measuring_(sink == nullptr),
        sink_(sink) {
    if (!measuring_) text_.reserve(kBufferSize + kBufferSlack);
  }

  GdTextWriter& operator<<(std::string_view piece) {
    for (std::size_t start = 0;;) {
      const std::size_t end = piece.find('\n', start);
      if (end == std::string_view::npos) {
        Append(piece.substr(start));
        return *this;
      }
      Append(piece.substr(start, end - start));
      Append(newline_);
      start = end + 1;
    }
  }

  // "0x%02x," items, with a line end before every item whose index is a
  // non-zero multiple of 16.
  void WriteStream(const std::vector<std::uint8_t>& stream,
                   const StreamProgress& progress) {
    if (!status_.ok()) return;
    const std::size_t length = stream.size();
    if (measuring_) {
      const std::size_t lineEnds = length == 0 ? 0 : (length - 1) / 16;
      length_ += length * kItemLength + lineEnds * newline_.size();
      return;
    }
    static constexpr char kHexDigits[] = "0123456789abcdef";
    const std::size_t step = length / 100 + 1;
    std::size_t nextReport = step;
    if (progress) progress(0, length);
    for (std::size_t k = 0; k < length; ++k) {
      if (k != 0 && k % 16 == 0) {
        text_.append(newline_);
        if (progress && k >= nextReport) {
          progress(k, length);
          nextReport = k + step;
        }
      }
      const char item[kItemLength] = {'0', 'x', kHexDigits[stream[k] >> 4],
                                      kHexDigits[stream[k] & 0xF], ','};
      text_.append(item, sizeof item);
      if (text_.size() >= kBufferSize) Flush();
    }
    if (progress) progress(length, length);
  }

  // Hands the buffered text to the sink; the sink's first error.
  Status Finish() {
    Flush();
    return status_;
  }
  std::size_t length() const { return length_; }

 private:
  static constexpr std::size_t kItemLength = 5;
  static constexpr std::size_t kBufferSize = std::size_t{64} << 10;
  // Room for the line end and item that may pass the buffer size.
  static constexpr std::size_t kBufferSlack = 16;

  void Append(std::string_view piece) {
    if (measuring_) {
      length_ += piece.size();
      return;
    }
    text_.append(piece);
    if (text_.size() >= kBufferSize) Flush();
  }

  void Flush() {
    if (measuring_ || text_.empty()) return;
    if (status_.ok()) status_ = (*sink_)(text_);
    text_.clear();
  }

  std::string_view newline_;
  bool measuring_;
  const TextSink* sink_;
  Status status_;
  std::string text_;
  std::size_t length_ = 0;
};

// "\t1,\t\t//version" and so on; the last field has no comma, and a field
// without a value (the data format of an RGB record) has no line.
void WriteRecord(GdTextWriter& out, const GdRecord& record) {
  out << "\n" << kGdRecordType << " " << record.name << " =\n{\n";
  const auto fields = RecordFields(record);
  for (const GdRecordField& field : fields) {
    if (field.value.empty()) continue;
    const bool last = &field == &fields.back();
    out << "\t" << field.value << (last ? "" : ",") << "\t\t//" << field.label << "\n";
  }
  out << "};\n";
}

void WriteDocument(GdTextWriter& out, const GdDocument& document,
                   const StreamProgress& progress) {
  out << "#include \"type.h\"\n";
  for (const GdPicture& picture : document.pictures) {
    out << "byte " << picture.record.dataName << "[] = \n{\n";
    out.WriteStream(StreamOf(document, picture), progress);
    out << "\n};\n\n";
  }
  for (const GdPicture& picture : document.pictures) WriteRecord(out, picture.record);
  if (document.perFrameRecords) {
    out << "\n" << kGdRecordType << " *" << PointerTableName(document.identifierName)
        << "[] =\n{\n";
    for (const GdPicture& picture : document.pictures) {
      out << "\t&" << picture.record.name << ",\n";
    }
    out << "};\n";
  }
}

}  // namespace

const std::vector<std::uint8_t>& StreamOf(const GdDocument& document,
                                          const GdPicture& picture) {
  if (picture.sameStreamAs < 0) return picture.stream;
  return document.pictures.at(static_cast<std::size_t>(picture.sameStreamAs)).stream;
}

Status WriteGdText(const GdDocument& document, LineEnding lineEnding,
                   const TextSink& sink, const StreamProgress& progress) {
  GdTextWriter out(lineEnding, &sink);
  WriteDocument(out, document, progress);
  return out.Finish();
}

std::string FormatGdText(const GdDocument& document, LineEnding lineEnding,
                         const StreamProgress& progress) {
  std::string text;
  text.reserve(GdTextLength(document, lineEnding));
  // Appending to a string never fails.
  static_cast<void>(WriteGdText(
      document, lineEnding,
      [&text](std::string_view piece) {
        text.append(piece);
        return Status();
      },
      progress));
  return text;
}

std::size_t GdTextLength(const GdDocument& document, LineEnding lineEnding) {
  GdTextWriter out(lineEnding, nullptr);
  WriteDocument(out, document, nullptr);
  return out.length();
}

}  // namespace krelt
