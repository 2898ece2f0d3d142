#include "cli/colour_arguments.h"

#include "cli/arguments.h"
#include "palette/colour_reduction.h"

namespace krelt::cli {

void AddColourOptions(CLI::App& command, ColourArguments& arguments) {
  command.add_option("--map-palette", arguments.mapPalette)->option_text("TABLE");
  command.add_option("--colors", arguments.colours)
      ->check(Decimal(kMinReducedColours, static_cast<std::int32_t>(kMaxTableColours)));
  command.add_option("--fixed-colors", arguments.fixedColours)->option_text("TABLE");
  command.add_option("--dither", arguments.dither)->option_text("none|diffusion");
  command.add_option("--transparent-index", arguments.transparentIndex)
      ->check(Decimal(0, static_cast<std::int32_t>(kMaxTableColours) - 1));
  command.add_option("--palette-out", arguments.paletteOut)->option_text("FILE");
}

std::optional<std::string> ApplyColourArguments(const ColourArguments& arguments,
                                                ConversionRequest& request) {
  ColourRequest& colours = request.colours;
  const bool mapping = !arguments.mapPalette.empty();
  const bool reducing = !arguments.colours.empty();
  if (mapping && reducing) return "--map-palette maps onto a table, --colors builds one: choose one";
  if (!mapping && !reducing) {
    for (const auto& [given, name] : {std::pair{&arguments.fixedColours, "--fixed-colors"},
                                      {&arguments.dither, "--dither"},
                                      {&arguments.transparentIndex, "--transparent-index"},
                                      {&arguments.paletteOut, "--palette-out"}}) {
      if (!given->empty()) return std::string(name) + " needs --map-palette or --colors";
    }
    return std::nullopt;
  }
  if (mapping && !arguments.fixedColours.empty()) return "--fixed-colors goes with --colors";
  if (reducing && !CanReduceColours()) {
    return "--colors: this build can't reduce colours (it has no libimagequant)";
  }
  if (request.flag1555) {
    return std::string(mapping ? "--map-palette" : "--colors") +
           " writes palette indices, --1555 16-bit pixels: choose one";
  }
  if (!arguments.dither.empty() && arguments.dither != "none" && arguments.dither != "diffusion") {
    return "--dither takes none or diffusion, not '" + arguments.dither + "'";
  }
  colours.mode = mapping ? ColourMode::kMapToTable : ColourMode::kReduce;
  colours.tablePath = arguments.mapPalette;
  if (reducing) colours.colours = *ParseDecimal(arguments.colours, kMinReducedColours, 256);
  colours.fixedColoursPath = arguments.fixedColours;
  colours.mapping.dithering =
      arguments.dither == "diffusion" ? Dithering::kDiffusion : Dithering::kNone;
  if (!arguments.transparentIndex.empty()) {
    colours.mapping.transparentIndex =
        static_cast<std::uint8_t>(*ParseDecimal(arguments.transparentIndex, 0, 255));
  }
  return std::nullopt;
}

}  // namespace krelt::cli
