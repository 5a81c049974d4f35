// `vask controls` through the host library: each plug-in's panel, drawn by
// the real effects through `main`, at its initial state and after a few
// drags, against committed pictures; the printed changes, the saved
// project, and the messages for a wrong layer or tool.
//
// Tolerance as the other goldens: at most 0.5 % of the pixels may differ by
// more than 2 levels. VASK_UPDATE_GOLDEN=1 rewrites the pictures.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "host/ControlsCommand.h"
#include "host/PngImage.h"
#include "host/Project.h"
#include "platform/os/HeadlessDesktop.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

std::filesystem::path goldenDir() {
  return std::filesystem::path(__FILE__).parent_path().parent_path() / "data" / "golden";
}

constexpr const char* kProject = R"({
  "format": 1,
  "composition": {"width": 32, "height": 32, "frame_rate": 24, "frames": 4},
  "layers": [
    {"name": "File", "solid": "#000000", "effects": [{"effect": "HALV VASKMESHFILE1"}]},
    {"name": "Mesh", "solid": "#000000", "effects": [{"effect": "HALV VASKSHAPEMESH1",
      "params": {"Z Scale": {"keyframes": [{"f": 0, "value": 1}, {"f": 3, "value": 2}]}}}]},
    {"name": "Spot", "solid": "#000000", "effects": [{"effect": "HALV VASKSPOT1"}]},
    {"name": "Point", "solid": "#000000", "effects": [{"effect": "HALV VASKPNT1",
      "params": {"Z Position": 0.5}}]}
  ]})";

class ControlsCommandTest : public ::testing::Test {
 protected:
  ControlsRequest request(const std::string& layer, const std::string& out) {
    ControlsRequest r;
    r.project = project_;
    r.layer = layer;
    r.out = dir_.path() / out;
    r.plugins = test::pluginFolders();
    r.answerOpenFile = [this](const std::string& path) { desktop_.queueOpenFileAnswer(path); };
    return r;
  }

  int run(const ControlsRequest& r) {
    out_.str("");
    err_.str("");
    return runControls(r, out_, err_);
  }

  void expectGolden(const std::filesystem::path& got, const std::string& name) {
    const World picture = readPng(got);
    const auto golden = goldenDir() / name;
    if (std::getenv("VASK_UPDATE_GOLDEN")) writePng(golden, picture);
    const World want = readPng(golden);
    ASSERT_EQ(picture.width(), want.width()) << name;
    ASSERT_EQ(picture.height(), want.height()) << name;
    int differing = 0;
    for (int y = 0; y < want.height(); ++y)
      for (int x = 0; x < want.width(); ++x) {
        const PF_Pixel a = picture.at(x, y), b = want.at(x, y);
        differing += std::max({std::abs(a.red - b.red), std::abs(a.green - b.green),
                               std::abs(a.blue - b.blue)}) > 2;
      }
    EXPECT_LE(differing, want.width() * want.height() / 200) << name;
  }

  test::TempDir dir_;
  std::filesystem::path project_ = dir_.write("panel.json", std::string(kProject));
  os::HeadlessDesktop desktop_;
  os::ScopedDesktop scoped_{desktop_};
  std::ostringstream out_, err_;
};

using Kind = ControlsEvent::Kind;

TEST_F(ControlsCommandTest, EachPanelMatchesItsPictureBeforeAndAfterDrags) {
  struct Case {
    const char* layer;
    const char* tool;  // the object tool dragged after the orbit
  };
  for (const Case c : {Case{"File", "rotate"}, Case{"Mesh", "scale"}, Case{"Spot", "aim"},
                       Case{"Point", "move"}}) {
    SCOPED_TRACE(c.layer);
    const std::string name = std::string("panel_") + c.layer;
    ControlsRequest r = request(c.layer, name + ".png");
    ASSERT_EQ(run(r), 0) << err_.str();
    EXPECT_EQ(out_.str(), "");
    expectGolden(r.out, name + ".png");

    r.out = dir_.path() / (name + "_dragged.png");
    r.events = {{Kind::Tool, "orbit", {}},      {Kind::Press, "", {150, 40}},
                {Kind::Drag, "", {175, 30}},    {Kind::Release, "", {}},
                {Kind::Tool, c.tool, {}},       {Kind::Press, "", {150, 40}},
                {Kind::Drag, "", {165, 50}},    {Kind::Release, "", {}}};
    ASSERT_EQ(run(r), 0) << err_.str();
    EXPECT_NE(out_.str(), "") << "the object tool changed something";
    expectGolden(r.out, name + "_dragged.png");
  }
}

TEST_F(ControlsCommandTest, PrintsChangesAndSavesThemAtTheFrame) {
  ControlsRequest r = request("Mesh", "mesh.png");
  r.frame = 3;
  r.save = dir_.path() / "saved.json";
  r.events = {{Kind::Tool, "scale", {}}, {Kind::Press, "", {150, 40}}, {Kind::Drag, "", {150, 50}},
              {Kind::Release, "", {}}, {Kind::Tool, "rotate", {}}, {Kind::Shift, "", {}},
              {Kind::Press, "", {190, 42}}, {Kind::Drag, "", {150, 82}}};
  ASSERT_EQ(run(r), 0) << err_.str();
  EXPECT_EQ(out_.str(),
            "\"Vask\": 0 -> -90\n\"X Scale\": 1 -> 1.1\n\"Y Scale\": 1 -> 1.1\n\"Z Scale\": 2 -> 2.2\n");
  const Project saved = loadProject(*r.save);
  const Json& params = saved.document["layers"][1]["effects"][0]["params"];
  EXPECT_EQ(params["Vask"], -90);
  EXPECT_NEAR(params["X Scale"].get<double>(), 1.1, 1e-4);
  // The keyed scale gets its key at frame 3 replaced; the other stays.
  ASSERT_EQ(params["Z Scale"]["keyframes"].size(), 2u);
  EXPECT_NEAR(params["Z Scale"]["keyframes"][1]["value"].get<double>(), 2.2, 1e-4);
  EXPECT_EQ(params["Z Scale"]["keyframes"][0]["value"], 1);
  EXPECT_TRUE(saved.layers[1].effects[0].flat.has_value());
}

TEST_F(ControlsCommandTest, ImportGoesThroughTheFileDialogToTheModelControl) {
  ControlsRequest r = request("File", "file.png");
  r.events = {{Kind::ClickImport, "/nonexistent/model.3dmf", {}}};
  ASSERT_EQ(run(r), 0) << err_.str();
  ASSERT_EQ(desktop_.openFileRequests().size(), 1u);
  ASSERT_EQ(desktop_.boxes().size(), 1u);
  EXPECT_NE(desktop_.boxes()[0].text.find("3DMF"), std::string::npos) << desktop_.boxes()[0].text;
}

TEST_F(ControlsCommandTest, NamesWhatIsWrongWithTheRequest) {
  ControlsRequest r = request("Nowhere", "x.png");
  EXPECT_EQ(run(r), 1);
  EXPECT_NE(err_.str().find("no layer \"Nowhere\"; its layers: \"File\", \"Mesh\""), std::string::npos)
      << err_.str();
  r = request("Point", "x.png");
  r.events = {{Kind::Tool, "scale", {}}};
  EXPECT_EQ(run(r), 1);
  EXPECT_NE(err_.str().find("no tool \"scale\"; its tools: orbit, pan, dolly, reset-camera, move, reset"),
            std::string::npos)
      << err_.str();
  r = request("Point", "x.png");
  r.effect = 2;
  EXPECT_EQ(run(r), 1);
  EXPECT_NE(err_.str().find("has 1 effect, not an effect 2"), std::string::npos) << err_.str();
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "x.png"));
  std::ofstream(project_) << R"({"format": 1, "composition": {"width": 8, "height": 8, "frame_rate": 24, "frames": 1},
    "layers": [{"name": "Camera", "solid": "#000000", "effects": [{"effect": "HALV VASKSCENERENDER1"}]}]})";
  EXPECT_EQ(run(request("Camera", "x.png")), 1);
  EXPECT_NE(err_.str().find("has no custom controls to draw"), std::string::npos) << err_.str();
  EXPECT_FALSE(parsePoint("12"));
  EXPECT_FALSE(parsePoint("1,99999"));
  EXPECT_EQ(parsePoint("-3,40")->x, -3);
}

}  // namespace
}  // namespace vask::host
