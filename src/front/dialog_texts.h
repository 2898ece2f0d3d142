#pragma once

#include <cstdint>
#include <string_view>

namespace krelt {

// The fixed texts of the dialog, for every front end.

// Caption of messages that bring none of their own.
inline constexpr std::string_view kApplicationName = "Krelt";
inline constexpr std::string_view kDialogTitle = "Krelt 2.0.0.1";

inline constexpr std::string_view kFindText = "Find..";
inline constexpr std::string_view kOpenText = "Open..";
inline constexpr std::string_view kConversionText = "Conversion";
inline constexpr std::string_view kCancelText = "Cancel";
inline constexpr std::string_view k1555Text = "1555";
inline constexpr std::string_view kSmallestText = "Smallest";
inline constexpr std::string_view kSmallestTip =
    "Smaller streams for the same firmware decoder; conversion takes longer";
inline constexpr std::string_view kAlphaLabel = "alpha";
inline constexpr std::string_view kStartFrameLabel = "start frame";
inline constexpr std::string_view kEndFrameLabel = "end frame";

// The alpha list offers "0" to "15" and starts with none chosen; the
// choice changes nothing that is written.
inline constexpr std::int32_t kAlphaLevels = 16;

struct ReportColumn {
  std::string_view title;
  std::int32_t width;  // pixels
};
inline constexpr ReportColumn kReportColumns[] = {{"type", 180}, {"content", 260}};

// The open-file dialog's filters, the first one active. "*" rather than
// "*.*" for all files: "*.*" would hide names without a dot.
inline constexpr std::string_view kFileFilters[] = {
    "PCX File   (*.PCX)", "XSP File   (*.XSP)", "BMP File   (*.BMP)",
    "PNG File   (*.PNG)", "All Files   (*)"};
// The file dialog's initial name when the profile names none.
inline constexpr std::string_view kDefaultInitialName = "*.PCX";

// The colours control: its label, its modes in the order of ColourMode,
// the colour count's label and the dithering box.
inline constexpr std::string_view kColoursLabel = "colours";
inline constexpr std::string_view kColourModeTexts[] = {"as in the picture", "map to a table..",
                                                        "reduce to N"};
inline constexpr std::string_view kColourCountLabel = "N";
// A front end whose mode list can't be chosen again offers a button for
// another table; it reads this until a table is mapped onto.
inline constexpr std::string_view kColourTableText = "table..";
inline constexpr std::string_view kDitheringText = "Dither";
inline constexpr std::string_view kColoursTip =
    "Palette indices of one colour table for OSD_256 records: a table file (.gpl, .pal or a "
    "palette picture), or one built from the picture with at most N colours";
// The open-file dialog's filters for a colour table, the first one active.
inline constexpr std::string_view kTableFilters[] = {
    "Colour tables   (*.gpl *.pal *.png *.bmp *.pcx)", "All Files   (*)"};
inline constexpr std::string_view kDefaultTableName = "*.gpl";

inline constexpr std::string_view kRejectedFileMessage = "Please select a correct image file!";

inline constexpr std::string_view kHelpCaption = "Krelt help";
inline constexpr std::string_view kHelpText =
    "Krelt turns a picture (BMP, PCX, PNG or an XSP sprite file) into a GD source "
    "file: C source holding each picture or frame compressed with the "
    "COMPRESS_Tfp method and a TYPE_GrData record for it.\n\n"
    "1. Choose the picture with \"Find..\" or drop it on this window. The "
    "field below the path shows the GD file that will be written next to "
    "it.\n"
    "2. Tick \"1555\" for 16-bit pixels. For a sprite file, give a start and "
    "an end frame; empty fields mean all frames. Tick \"Smallest\" for "
    "smaller arrays that the same firmware decodes; conversion then takes "
    "longer. \"colours\" writes palette indices of one colour table "
    "(OSD_256): \"map to a table..\" asks for the table file (.gpl, .pal or "
    "a palette picture), \"reduce to N\" builds a table of at most N "
    "colours from the picture; \"Dither\" mixes the entries of pictures "
    "without a palette.\n"
    "3. Press \"Conversion\". The list shows every record written, and "
    "\"Open..\" opens the GD file. While it runs the button reads "
    "\"Cancel\": pressing it stops the conversion and leaves the files as "
    "they were.\n"
    "4. The preview shows the pictures decoded from the GD file: pick a "
    "frame, or choose a report row of its record, and a zoom.\n\n"
    "Dropping several pictures at once converts them one after the other "
    "with the current settings; the list shows each file's records under "
    "its name, and the preview the last file written.\n\n"
    "Escape or the close box ends Krelt, cancelling a conversion first.";

}  // namespace krelt
