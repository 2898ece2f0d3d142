#include "convert/gd_text.h"

#include <string_view>

#include "convert/report.h"

namespace krelt {
namespace {

// Collects the text, writing every "\n" of a piece as the chosen line end.
class GdTextWriter {
 public:
  explicit GdTextWriter(LineEnding lineEnding)
      : newline_(lineEnding == LineEnding::kCrlf ? "\r\n" : "\n") {}

  GdTextWriter& operator<<(std::string_view piece) {
    for (std::size_t start = 0;;) {
      const std::size_t end = piece.find('\n', start);
      if (end == std::string_view::npos) {
        text_.append(piece.substr(start));
        return *this;
      }
      text_.append(piece.substr(start, end - start)).append(newline_);
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
    static constexpr char kHexDigits[] = "0123456789abcdef";
    const std::size_t length = stream.size();
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
      const char item[] = {'0', 'x', kHexDigits[stream[k] >> 4],
                           kHexDigits[stream[k] & 0xF], ','};
      text_.append(item, sizeof item);
    }
    if (progress) progress(length, length);
  }

  void Reserve(std::size_t bytes) { text_.reserve(bytes); }
  std::string Take() { return std::move(text_); }

 private:
  std::string_view newline_;
  std::string text_;
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

// Room for the items (five characters and a line end per 16) and the
// fixed text around them.
std::size_t EstimatedLength(const GdDocument& document) {
  std::size_t length = 64;
  for (const GdPicture& picture : document.pictures) {
    length += picture.stream.size() * 5 + picture.stream.size() / 8 + 512;
  }
  return length;
}

}  // namespace

std::string FormatGdText(const GdDocument& document, LineEnding lineEnding,
                         const StreamProgress& progress) {
  GdTextWriter out(lineEnding);
  out.Reserve(EstimatedLength(document));
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
  return out.Take();
}

}  // namespace krelt
