#include "convert/gd_text.h"

#include <string_view>

#include "convert/report.h"

namespace krelt {
namespace {

// Collects the text, writing every "\n" of a piece as the chosen line end;
// or, when measuring, only counts its characters.
class GdTextWriter {
 public:
  GdTextWriter(LineEnding lineEnding, bool measuring)
      : newline_(lineEnding == LineEnding::kCrlf ? "\r\n" : "\n"),
        measuring_(measuring) {}

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
  GdTextWriter& operator<<(std::int32_t number) {
    return *this << std::string_view(std::to_string(number));
  }

  // "0x%02x," items, with a line end before every item whose index is a
  // non-zero multiple of 16.
  void WriteStream(const std::vector<std::uint8_t>& stream,
                   const StreamProgress& progress) {
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
    }
    if (progress) progress(length, length);
  }

  void Reserve(std::size_t bytes) { text_.reserve(bytes); }
  std::string Take() { return std::move(text_); }
  std::size_t length() const { return length_; }

 private:
  static constexpr std::size_t kItemLength = 5;

  void Append(std::string_view piece) {
    if (measuring_) {
      length_ += piece.size();
    } else {
      text_.append(piece);
    }
  }

  std::string_view newline_;
  bool measuring_;
  std::string text_;
  std::size_t length_ = 0;
};

// The identifier name with the picture's frame number when the names carry
// one.
std::string PictureName(const GdDocument& document, const GdPicture& picture) {
  return document.perFrameRecords
             ? document.identifierName + std::to_string(picture.frame)
             : document.identifierName;
}

void WriteRecord(GdTextWriter& out, const std::string& name,
                 const GdPicture& picture, int dataFormatCode) {
  out << "\nTYPE_GrData _" << name << "Gd =\n{\n";
  out << "\t" << 1 << ",\t\t//version\n";
  out << "\t" << 0 << ",\t\t//reserved\n";
  const std::string_view dataFormat = DataFormatName(dataFormatCode);
  if (!dataFormat.empty()) out << "\t" << dataFormat << ",\t\t//data format\n";
  out << "\tCOMPRESS_Tfp,\t\t//compressed method\n";
  out << "\t_" << name << "Cpm,\t\t//data\n";
  out << "\t" << picture.size << ",\t\t//size\n";
  out << "\t" << picture.width << ",\t\t//width\n";
  out << "\t" << picture.height << "\t\t//height\n";
  out << "};\n";
}

void WriteDocument(GdTextWriter& out, const GdDocument& document,
                   const StreamProgress& progress) {
  out << "#include \"type.h\"\n";
  for (const GdPicture& picture : document.pictures) {
    out << "byte _" << PictureName(document, picture) << "Cpm[] = \n{\n";
    out.WriteStream(picture.stream, progress);
    out << "\n};\n\n";
  }
  for (const GdPicture& picture : document.pictures) {
    WriteRecord(out, PictureName(document, picture), picture,
                document.dataFormatCode);
  }
  if (document.perFrameRecords) {
    out << "\nTYPE_GrData *_" << document.identifierName << "Gds[] =\n{\n";
    for (const GdPicture& picture : document.pictures) {
      out << "\t&_" << PictureName(document, picture) << "Gd,\n";
    }
    out << "};\n";
  }
}

}  // namespace

std::string FormatGdText(const GdDocument& document, LineEnding lineEnding,
                         const StreamProgress& progress) {
  GdTextWriter out(lineEnding, false);
  out.Reserve(GdTextLength(document, lineEnding));
  WriteDocument(out, document, progress);
  return out.Take();
}

std::size_t GdTextLength(const GdDocument& document, LineEnding lineEnding) {
  GdTextWriter out(lineEnding, true);
  WriteDocument(out, document, nullptr);
  return out.length();
}

}  // namespace krelt
