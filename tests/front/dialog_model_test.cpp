// The dialog without a window: selection and names, the request, the
// messages, the run states and the rows of a run.

#include "front/dialog_model.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/utf8_path.h"
#include "front/dialog_texts.h"
#include "recording_view.h"
#include "support/files.h"
#include "support/picture_writers.h"

namespace krelt::test {
namespace {

class DialogModelTest : public testing::Test {
 protected:
  std::string Sample(const std::string& name) const {
    std::filesystem::copy_file(PathFromUtf8(KRELT_SAMPLES_DIR "/" + name), scratch / name,
                               std::filesystem::copy_options::overwrite_existing);
    return PathToUtf8(scratch / name);
  }

  // Runs the posted calls until the run and the preview are done.
  void WaitUntilIdle() {
    ASSERT_TRUE(view.RunUntil([this] {
      return model.runState() == RunState::kIdle && !model.preview().decoding();
    }));
  }

  std::vector<RowKind> Kinds() const {
    std::vector<RowKind> kinds;
    for (const ShownRow& row : view.report) kinds.push_back(row.kind);
    return kinds;
  }

  TempDir scratch;
  RecordingView view;
  DialogModel model{view, view.Poster()};
};

const Message kRejected{std::string(kRejectedFileMessage), "Krelt"};

// A drop or start-up name must have an extension Krelt reads; Find.. takes
// any file; a cancelled Find.. shows nothing. Every selection disables
// "Open..", and the names follow the last accepted one.
TEST_F(DialogModelTest, TheOutputNameFollowsTheLastAcceptedSelection) {
  struct Step {
    bool find;
    std::optional<std::string> path;  // Find.. without: cancelled
    std::string pathField;
    std::string outputName;  // "": nothing shown
    bool rejected;
  };
  const Step steps[] = {
      {false, "/pics/notes.txt", "", ".GD", true},
      {false, "/pics/LOGO.Pcx", "/pics/LOGO.Pcx", "/pics/LOGO.GD", false},
      {false, "/v1.0/readme", "/pics/LOGO.Pcx", "/pics/LOGO.GD", true},
      {false, "/pics/a.pc", "/pics/LOGO.Pcx", "/pics/LOGO.GD", true},
      {false, "/pics/a.pcxz", "/pics/a.pcxz", "/pics/a.GD", false},
      {true, std::nullopt, "/pics/a.pcxz", "", false},
      {true, "/a.b/file", "/a.b/file", "/a.b/file.GD", false},
      {true, "  /art/my.pic.bmp \t", "  /art/my.pic.bmp \t", "/art/my.pic.GD", false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.path.value_or("cancelled"));
    view.outputName.clear();
    view.openEnabled = true;
    view.messages.clear();
    if (step.find) {
      view.chooserAnswer = step.path;
      model.Find();
    } else {
      model.SelectPicture(*step.path);
    }
    EXPECT_EQ(view.pathField, step.pathField);
    EXPECT_EQ(PathFromUtf8(view.outputName), PathFromUtf8(step.outputName));
    EXPECT_EQ(view.openEnabled, step.outputName.empty());
    EXPECT_EQ(view.messages, step.rejected ? std::vector{kRejected} : std::vector<Message>{});
  }
}

TEST_F(DialogModelTest, FindStartsWithTheProfileValueOrStarDotPcx) {
  for (const std::string profile : {"", "/home/art/logo.pcx"}) {
    view.profilePath = profile;
    model.Find();
  }
  EXPECT_EQ(view.chooserInitialNames, (std::vector<std::string>{"*.PCX", "/home/art/logo.pcx"}));
  EXPECT_EQ(view.chooserFilters,
            (std::vector<std::string_view>{"PCX File   (*.PCX)", "XSP File   (*.XSP)",
                                           "BMP File   (*.BMP)", "PNG File   (*.PNG)",
                                           "All Files   (*)"}));
}

TEST_F(DialogModelTest, TheFieldsMakeTheRequest) {
  struct Case {
    std::string startFrame;
    std::string endFrame;
    int clicks1555;  // since the case before
    bool smallest;
    bool flag1555;
  };
  const Case cases[] = {{"", "", 0, false, false}, {"2", "7", 1, true, true}, {"", "3", 2, false, true}};
  for (const Case& c : cases) {
    model.SetStartFrameText(c.startFrame);
    model.SetEndFrameText(c.endFrame);
    model.SetSmallest(c.smallest);
    for (int click = 0; click < c.clicks1555; ++click) model.Toggle1555();
    const ConversionRequest request = model.RequestFor("/pics/my.pic.bmp");
    EXPECT_EQ(request.sourcePath, "/pics/my.pic.bmp");
    EXPECT_EQ(request.startFrameText, c.startFrame);
    EXPECT_EQ(request.endFrameText, c.endFrame);
    EXPECT_EQ(request.flag1555, c.flag1555);
    EXPECT_EQ(request.level, c.smallest ? CompressionLevel::kMax : CompressionLevel::kDefault);
    EXPECT_EQ(request.outputDirectory, PathFromUtf8("/pics"));
    EXPECT_EQ(request.outputBaseName, "my.pic");
  }
  // An accepted selection shows the flag on the 1555 box.
  model.SelectPicture("/pics/logo.bmp");
  EXPECT_TRUE(view.mark1555);
}

// The colours control: a table is asked for before mapping onto one, and
// kept; a table or a reduction and "1555" exclude each other; the choice
// makes the request's colours.
TEST_F(DialogModelTest, TheColoursControlMakesTheRequestsColours) {
  struct Step {
    std::function<void()> act;
    ColourChoice shown;
    bool mark1555;
  };
  const ColourChoice asPicture;
  const ColourChoice mapped{ColourMode::kMapToTable, "/t/osd.gpl", 256, false};
  const Step steps[] = {
      {[this] { model.SetColourMode(ColourMode::kMapToTable); }, asPicture, false},  // cancelled
      {[this] {
         view.chooserAnswer = "/t/osd.gpl";
         model.SetColourMode(ColourMode::kMapToTable);
       },
       mapped, false},
      {[this] {
         model.Toggle1555();
         view.mark1555 = true;  // the box ticks itself
       },
       {ColourMode::kAsPicture, "/t/osd.gpl", 256, false}, true},
      {[this] { model.SetColourMode(ColourMode::kReduce); },
       {ColourMode::kReduce, "/t/osd.gpl", 256, false}, false},
      {[this] { model.SetColourCount(1); }, {ColourMode::kReduce, "/t/osd.gpl", 2, false}, false},
      {[this] { model.SetColourCount(300); },
       {ColourMode::kReduce, "/t/osd.gpl", 256, false}, false},
      {[this] { model.SetDithering(true); }, {ColourMode::kReduce, "/t/osd.gpl", 256, true}, false},
      {[this] {
         view.chooserAnswer.reset();
         model.SetColourMode(ColourMode::kMapToTable);  // the table is kept: no chooser
       },
       {ColourMode::kMapToTable, "/t/osd.gpl", 256, true}, false},
  };
  for (std::size_t k = 0; k < std::size(steps); ++k) {
    steps[k].act();
    ASSERT_FALSE(view.colourChoices.empty()) << k;
    EXPECT_EQ(view.colourChoices.back(), steps[k].shown) << k;
    EXPECT_EQ(model.colourChoice(), steps[k].shown) << k;
    EXPECT_EQ(view.mark1555, steps[k].mark1555) << k;
    const ConversionRequest request = model.RequestFor("/pics/logo.bmp");
    EXPECT_EQ(request.flag1555, steps[k].mark1555) << k;
    EXPECT_EQ(request.colours.mode, steps[k].shown.mode) << k;
    EXPECT_EQ(request.colours.tablePath, steps[k].shown.tablePath) << k;
    EXPECT_EQ(request.colours.colours, steps[k].shown.colours) << k;
    EXPECT_EQ(request.colours.mapping.dithering,
              steps[k].shown.dithering ? Dithering::kDiffusion : Dithering::kNone);
  }
  EXPECT_EQ(view.chooserInitialNames, (std::vector<std::string>{"*.gpl", "*.gpl"}));
  EXPECT_EQ(view.chooserFilters,
            std::vector<std::string_view>(std::begin(kTableFilters), std::end(kTableFilters)));
}

TEST(DialogModelTextTest, FrameFieldsTakeDigitsOnly) {
  for (const char* text : {"", "0", "0123", "512"}) EXPECT_TRUE(IsFrameText(text)) << text;
  for (const char* text : {"-1", "+1", "1a", " 1", "1.5"}) EXPECT_FALSE(IsFrameText(text)) << text;
  EXPECT_EQ(MessageWithCaption("text"), (Message{"text", "Krelt"}));
  EXPECT_EQ(MessageWithCaption("text", "Notice"), (Message{"text", "Notice"}));
}

TEST_F(DialogModelTest, MessagesWithoutARun) {
  model.PressConversion();
  model.ShowHelp();
  ASSERT_EQ(view.messages.size(), 2u);
  EXPECT_EQ(view.messages[0], (Message{"Select File!!", "Notice"}));
  EXPECT_EQ(view.messages[1].caption, "Krelt help");
  EXPECT_NE(view.messages[1].text.find("\"Conversion\""), std::string::npos);
  EXPECT_TRUE(view.controls.empty());
  model.Open();
  EXPECT_TRUE(view.openedFiles.empty());
  model.RequestClose();
  EXPECT_EQ(view.closed, 1);
}

TEST_F(DialogModelTest, AConversionShowsItsRowsOpenAndThePreview) {
  const std::string picture = Sample("logo.bmp");
  model.SelectPicture(picture);
  WaitUntilIdle();
  EXPECT_EQ(view.preview.title, "Input picture");
  EXPECT_EQ(view.preview.figures, "64 \u00d7 48, 24-bit RGB (not converted yet)");

  model.PressConversion();
  EXPECT_EQ(model.runState(), RunState::kRunning);
  EXPECT_FALSE(model.AcceptsDrop());
  EXPECT_EQ(view.controls.back(), (RunControls{"Cancel", false}));
  WaitUntilIdle();
  EXPECT_EQ(view.controls.back(), (RunControls{"Conversion", true}));
  EXPECT_EQ(view.progress.back(), (RunProgress{1000, 1000}));
  std::vector<RowKind> expected(9, RowKind::kField);
  expected[0] = RowKind::kRecordHeader;
  EXPECT_EQ(Kinds(), expected);
  EXPECT_EQ(view.report[6].content, "9216");
  EXPECT_TRUE(view.openEnabled);
  EXPECT_TRUE(view.messages.empty());
  model.Open();
  EXPECT_EQ(view.openedFiles, std::vector{PathToUtf8(scratch / "logo.GD")});
  EXPECT_EQ(view.preview.title, "Decoded from _logoGd");
  const std::string& figures = view.preview.figures;
  EXPECT_TRUE(figures.starts_with("64 \u00d7 48, 24-bit RGB\ninput 9216 bytes, stream ")) << figures;
  EXPECT_NE(figures.find("%)\nfile: 1 record, input 9216 bytes, stream "), std::string::npos)
      << figures;
}

// A noisy picture whose conversion takes long enough to be cancelled.
std::string WriteSlowPicture(const TempDir& scratch) {
  BmpSpec layout;
  layout.width = layout.height = 1000;
  layout.pixels.resize(3u * 1000 * 1000);
  std::uint32_t noise = 1;
  for (std::uint8_t& byte : layout.pixels) byte = static_cast<std::uint8_t>((noise *= 1103515245u) >> 24);
  WriteBytes(scratch / "slow.bmp", MakeBmp(layout));
  return PathToUtf8(scratch / "slow.bmp");
}

// Escape during a run cancels it, then closes; nothing is written and the
// report stays as it was.
TEST_F(DialogModelTest, CloseDuringARunCancelsFirst) {
  model.SelectPicture(WriteSlowPicture(scratch));
  view.report = {ShownRow{"before", "", RowKind::kBlank}};
  model.PressConversion();
  model.RequestClose();
  EXPECT_EQ(model.runState(), RunState::kCancelling);
  EXPECT_EQ(view.controls.back(), (RunControls{"Cancel", false}));
  EXPECT_EQ(view.closed, 0);
  WaitUntilIdle();
  EXPECT_EQ(view.closed, 1);
  EXPECT_EQ(view.progress.back().position, 0);
  EXPECT_EQ(view.report.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(scratch / "slow.GD"));
}

// Each file under a row naming it, refusals and all; rows lead the preview
// to their record only within the file it shows, the last one written.
TEST_F(DialogModelTest, SeveralDroppedFilesAreGroupedAndRowsChooseFrames) {
  model.SetStartFrameText("2");
  model.Drop({Sample("logo.bmp"), PathToUtf8(scratch / "notes.txt"), Sample("spin.xsp")});
  WaitUntilIdle();
  EXPECT_TRUE(view.messages.empty());
  EXPECT_EQ(view.pathField, "");
  using enum RowKind;
  const std::vector<RowKind> record = {kRecordHeader, kField, kField, kField, kField,
                                       kField,        kField, kField, kField};
  std::vector<RowKind> expected = {kFileHeader};
  expected.insert(expected.end(), record.begin(), record.end());
  expected.insert(expected.end(), {kFileHeader, kFileHeader});
  for (int frame = 0; frame < 2; ++frame) {
    expected.insert(expected.end(), record.begin(), record.end());
    expected.push_back(kBlank);
  }
  expected.insert(expected.end(), {kPointerTable, kPointer, kPointer, kBlank});
  EXPECT_EQ(Kinds(), expected);
  EXPECT_EQ(view.report[0].content, "logo.GD");
  EXPECT_EQ(view.report[10].content, kRejectedFileMessage);
  EXPECT_EQ(view.report[11].content, "spin2.GD");
  EXPECT_EQ(view.preview.frames, (FrameBox{2, 3, 2, true}));

  struct Choice {
    std::int32_t row;
    std::int32_t frame;  // the frame shown afterwards
  };
  // 22: spin3Gd's header; 27: one of its fields; 33: the pointer to
  // spin2Gd; 1: logoGd, another file; 21 and 32: blank and pointer table.
  for (const Choice& choice : {Choice{22, 3}, Choice{1, 3}, Choice{33, 2}, Choice{27, 3},
                               Choice{21, 3}, Choice{32, 3}, Choice{99, 3}}) {
    model.ChooseRow(choice.row);
    WaitUntilIdle();
    EXPECT_EQ(view.preview.frames.value, choice.frame) << choice.row;
    EXPECT_EQ(view.preview.title, "Decoded from _spin" + std::to_string(choice.frame) + "Gd");
  }
  model.Open();
  EXPECT_EQ(view.openedFiles, std::vector{PathToUtf8(scratch / "spin2.GD")});
}

}  // namespace
}  // namespace krelt::test
