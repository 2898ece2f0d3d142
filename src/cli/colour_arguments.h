#pragma once

#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "convert/conversion.h"

namespace krelt::cli {

// The colour options of convert as given.
struct ColourArguments {
  std::string mapPalette;
  std::string colours;
  std::string fixedColours;
  std::string dither;
  std::string transparentIndex;
  std::string paletteOut;
};

// --map-palette TABLE, --colors N, --fixed-colors TABLE, --dither
// none|diffusion, --transparent-index N and --palette-out FILE.
void AddColourOptions(CLI::App& command, ColourArguments& arguments);

// The arguments as the request's colour settings; the usage error of a
// combination that makes no sense.
std::optional<std::string> ApplyColourArguments(const ColourArguments& arguments,
                                                ConversionRequest& request);

}  // namespace krelt::cli
