#include "convert/colour_request.h"

#include <vector>

#include "common/file_io.h"
#include "common/utf8_path.h"
#include "convert/conversion.h"
#include "convert/conversion_pictures.h"
#include "palette/colour_reduction.h"

namespace krelt {
namespace {

std::string FileNameOf(const std::string& path) {
  return PathToUtf8(PathFromUtf8(path).filename());
}

// Counts the colours of every picture (every frame of the request's range
// of a sprite file) into the histogram.
Status CountColours(const ConversionRequest& request, std::span<const std::string> pictures,
                    ColourHistogram& histogram) {
  ConversionRequest reading = request;
  reading.colours = ColourRequest();
  const bool withTransparent = !request.colours.mapping.transparentIndex.has_value();
  ConversionPictures source;
  for (const std::string& path : pictures) {
    reading.sourcePath = path;
    if (Status status = source.Open(reading); !status.ok()) return status;
    for (std::size_t index = 0; index < source.count(); ++index) {
      Picture picture;
      if (Status status = source.Read(index, picture); !status.ok()) return status;
      histogram.AddPicture(picture, withTransparent);
    }
  }
  return Status();
}

}  // namespace

Status ReadColourTableFile(const std::string& path, ColourTable& table) {
  std::vector<std::uint8_t> file;
  if (Status status = ReadFileBytes(PathFromUtf8(path), file); !status.ok()) return status;
  if (Status status = ParseColourTable(file, table); !status.ok()) {
    return status.WithMessage(FileNameOf(path) + ": " + status.message());
  }
  return Status();
}

Status WriteColourTableFile(const std::string& path, const ColourTable& table) {
  const std::string name = FileNameOf(path);
  TableFormat format = TableFormat::kGpl;
  if (!TableFormatOfName(name, format)) {
    return Status::Error(ErrorKind::kUsage,
                         name + ": a colour table file ends in .gpl, .pal, .png or .c");
  }
  const std::size_t dot = name.find_last_of('.');
  std::vector<std::uint8_t> file;
  if (Status status = FormatColourTable(table, format, name.substr(0, dot), file); !status.ok()) {
    return status.WithMessage(name + ": " + status.message());
  }
  return WriteFileAtomically(PathFromUtf8(path), file);
}

Status ResolveColourTable(const ConversionRequest& request, std::span<const std::string> pictures,
                          ColourTable& table) {
  const ColourRequest& colours = request.colours;
  if (colours.table) {
    table = *colours.table;
    return Status();
  }
  if (colours.mode == ColourMode::kMapToTable) return ReadColourTableFile(colours.tablePath, table);
  if (!CanReduceColours()) return ReduceColours({}, colours.colours, {}, table);
  ColourTable fixed;
  if (!colours.fixedColoursPath.empty()) {
    if (Status status = ReadColourTableFile(colours.fixedColoursPath, fixed); !status.ok()) {
      return status;
    }
  }
  ColourHistogram histogram;
  if (Status status = CountColours(request, pictures, histogram); !status.ok()) return status;
  return ReduceColours(histogram, colours.colours, fixed, table);
}

}  // namespace krelt
