#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/status.h"
#include "image/colour_table.h"
#include "palette/colour_mapping.h"

namespace krelt {

struct ConversionRequest;

// What a conversion does with the colours of its pictures.
enum class ColourMode {
  kAsPicture,   // indices and colours as the picture has them
  kMapToTable,  // palette indices of a given colour table
  kReduce,      // palette indices of a table built from the pictures
};

struct ColourRequest {
  ColourMode mode = ColourMode::kAsPicture;
  // kMapToTable: the table file.
  std::string tablePath;
  // kReduce: the most entries of the table, and the file of the entries
  // kept at their places ("" for none).
  std::int32_t colours = 256;
  std::string fixedColoursPath;
  MappingOptions mapping;
  // The table itself, once built for a set of pictures: used as it is.
  std::shared_ptr<const ColourTable> table;
};

// Reads a colour table file; errors start with its name.
Status ReadColourTableFile(const std::string& path, ColourTable& table);

// Writes the table in the format its file name's extension gives (.gpl,
// .pal, .png, .c), the palette named after the file.
Status WriteColourTableFile(const std::string& path, const ColourTable& table);

// The table the pictures of a request map onto: its table file, or (for
// kReduce) one table reduced over the colours of all the pictures, each
// read with the request's settings. The pictures are counted in the order
// given, and the table does not depend on that order.
Status ResolveColourTable(const ConversionRequest& request, std::span<const std::string> pictures,
                          ColourTable& table);

}  // namespace krelt
