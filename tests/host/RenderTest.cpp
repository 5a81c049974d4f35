// Projects rendered and saved end to end, through the real effect libraries
// of the bin folder and the host test effect ("VASK HOSTTEST1", whose "Mode"
// can invert its layer or fail on purpose).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sstream>

#include "host/Composition.h"
#include "host/HandleSuite.h"
#include "host/PngImage.h"
#include "host/ProjectCommands.h"
#include "host/StageTimes.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The test effect's live sequence record.
struct TestEffectSequence {
  int32_t flattened;
  int32_t frames;
  int32_t sourceWidth;
  PF_Pixel sourcePixel;
};

std::string readText(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> filesIn(const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

class RenderTest : public ::testing::Test {
 protected:
  struct Run {
    int code;
    std::string out, err;
  };

  std::filesystem::path project(const std::string& text, const std::string& name = "p.json") {
    return dir_.write(name, text);
  }

  Run render(const std::filesystem::path& file, const std::string& outDir,
             std::optional<std::pair<int64_t, int64_t>> frames = {},
             std::optional<std::pair<int32_t, int32_t>> size = {},
             std::optional<int> threads = {}) {
    RenderRequest r;
    r.threads = threads;
    r.project = file;
    r.out = dir_.path() / outDir;
    if (frames) {
      r.frames.emplace();
      for (int64_t f = frames->first; f <= frames->second; ++f) r.frames->push_back(f);
    }
    r.size = size;
    r.plugins = test::pluginFolders();
    std::ostringstream out, err;
    const int code = runRender(r, out, err);
    return {code, out.str(), err.str()};
  }

  Run save(const std::filesystem::path& file, const std::filesystem::path& to) {
    std::ostringstream err;
    const int code = runSave(SaveRequest{file, to, test::pluginFolders()}, err);
    return {code, {}, err.str()};
  }

  // Straight colour of pixel (x, y) of a rendered frame.
  PF_Pixel pixel(const std::string& outDir, const std::string& frame, int32_t x, int32_t y) {
    return unpremultiply(readPng(dir_.path() / outDir / frame).at(x, y));
  }

  void writeImage(const std::string& name, int32_t w, int32_t h, PF_Pixel straight) {
    World world(w, h);
    world.fill(premultiply(straight));
    writePng(dir_.path() / name, world);
  }

  test::TempDir dir_;
};

constexpr const char* kOpaqueBlue = "#102030";
const PF_Pixel kBackground{255, 0x10, 0x20, 0x30};

// A solid lit by the point light under a small solid whose test effect
// inverts it from frame 1 on: both frames are known pixel for pixel.
TEST_F(RenderTest, RendersLayersThroughThePluginsPixelExactly) {
  const auto file = project(std::string(R"({"format": 1,
    "composition": {"width": 32, "height": 18, "frame_rate": 24, "frames": 2, "background": ")") +
                            kOpaqueBlue + R"("},
    "layers": [
      {"name": "Lamp", "solid": [128, 255, 0, 0], "width": 16, "height": 10, "effects": [
        {"effect": "HALV VASKPNT1", "params": {"X Position": 0.5, "Attenuation": "Inv Dist",
         "Color": "#ff8000", "Visible": true,
         "Intensity": {"keyframes": [{"f": 0, "value": 0}, {"t": 1, "value": 1}]}}}]},
      {"name": "Flip", "solid": "#00ff00", "width": 4, "height": 2, "effects": [
        {"effect": "VASK HOSTTEST1", "params": {"Mode": {"keyframes": [
          {"f": 0, "value": "Normal"}, {"f": 1, "value": "Invert"}]}}}]}
    ]})");
  const std::string before = readText(file);
  const Run r = render(file, "frames");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("rendered 2 frames"));
  EXPECT_THAT(r.err, HasSubstr("frame 1 (2 of 2) written to"));
  EXPECT_EQ(filesIn(dir_.path() / "frames"),
            (std::vector<std::string>{"frame_0000.png", "frame_0001.png"}));
  EXPECT_EQ(readText(file), before) << "rendering never changes the project";

  const PF_Pixel lamp{255, 136, 16, 24};  // half-transparent red over the background
  for (const char* frame : {"frame_0000.png", "frame_0001.png"}) {
    const bool inverted = std::string(frame) == "frame_0001.png";
    for (int32_t y = 0; y < 18; ++y) {
      for (int32_t x = 0; x < 32; ++x) {
        PF_Pixel expected = kBackground;
        if (x >= 8 && x < 24 && y >= 4 && y < 14) expected = lamp;
        if (x >= 14 && x < 18 && y >= 8 && y < 10) {
          expected = inverted ? PF_Pixel{255, 255, 0, 255} : PF_Pixel{255, 0, 255, 0};
        }
        ASSERT_EQ(pixel("frames", frame, x, y), expected) << frame << " at " << x << ", " << y;
      }
    }
  }
}

// A layer's effects pass the picture on one to the next; a layer parameter
// gives the named layer's own pixels, before its effects; a hidden layer's
// effects do not run and it is not drawn.
TEST_F(RenderTest, ChainsEffectsAndChecksOutLayersBeforeTheirEffects) {
  const auto file = project(R"({"format": 1,
    "composition": {"width": 4, "height": 2, "frame_rate": 10, "frames": 1},
    "layers": [
      {"name": "A", "solid": "#204060", "width": 2, "effects": [
        {"effect": "VASK HOSTTEST1", "params": {"Mode": "Invert"}}]},
      {"name": "B", "solid": "#0a0b0c", "width": 2, "height": 1, "effects": [
        {"effect": "VASK HOSTTEST1", "params": {"Mode": "Invert"}},
        {"effect": "VASK HOSTTEST1", "params": {"Mode": 5, "Source": "A"}}]},
      {"name": "Hidden", "solid": "#ffffff", "visible": false, "effects": [
        {"effect": "VASK HOSTTEST1", "params": {"Mode": "Fail Render"}}]}
    ]})");
  const std::size_t handlesBefore = handles::liveCount();
  {
    std::vector<std::string> warnings;
    Composition c(loadProject(file), PluginCatalog::scan(test::pluginFolders()), {}, warnings);
    EXPECT_THAT(warnings, IsEmpty());
    ASSERT_EQ(c.instances().size(), 4u);
    const World frame = c.renderFrame(0);
    // A (columns 1–2) inverted once; B (column 1, row 0) inverted twice.
    EXPECT_EQ(frame.at(0, 0), (PF_Pixel{255, 0, 0, 0}));
    EXPECT_EQ(frame.at(2, 1), (PF_Pixel{255, 0xff - 0x20, 0xff - 0x40, 0xff - 0x60}));
    EXPECT_EQ(frame.at(1, 0), (PF_Pixel{255, 0x0a, 0x0b, 0x0c}));
    EXPECT_EQ(frame.at(3, 0), (PF_Pixel{255, 0, 0, 0}));

    const auto bytes = handles::bytes(c.instances()[2]->sequenceData());
    ASSERT_GE(bytes.size(), sizeof(TestEffectSequence));
    TestEffectSequence seq;
    std::memcpy(&seq, bytes.data(), sizeof seq);
    EXPECT_EQ(seq.frames, 1);
    EXPECT_EQ(seq.sourceWidth, 2);
    EXPECT_EQ(seq.sourcePixel, (PF_Pixel{255, 0x20, 0x40, 0x60})) << "A's own pixels";
    EXPECT_THROW(c.renderFrame(1), HostError);
    EXPECT_THAT(c.shutDown(), IsEmpty());
  }
  EXPECT_EQ(handles::liveCount(), handlesBefore);
}

TEST_F(RenderTest, SizeScalesTheCompositionAndItsLayers) {
  writeImage("dot.png", 4, 2, PF_Pixel{255, 200, 100, 50});
  const auto file = project(R"({"format": 1,
    "composition": {"width": 16, "height": 8, "frame_rate": 1, "duration": 1, "background": [0, 0, 0, 0]},
    "layers": [{"name": "Dot", "image": "dot.png"}]})");
  const Run r = render(file, "big", std::nullopt, std::pair{32, 16}, 3);
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_STREQ(std::getenv(kRenderThreadsVariable), "3") << "published for renderers";
  const World f = readPng(dir_.path() / "big" / "frame_0000.png");
  ASSERT_EQ(f.width(), 32);
  ASSERT_EQ(f.height(), 16);
  // The 4 × 2 picture becomes 8 × 4, centred: columns 12–19, rows 6–9.
  for (int32_t y = 0; y < 16; ++y) {
    for (int32_t x = 0; x < 32; ++x) {
      const bool inside = x >= 12 && x < 20 && y >= 6 && y < 10;
      ASSERT_EQ(f.at(x, y), (inside ? PF_Pixel{255, 200, 100, 50} : PF_Pixel{0, 0, 0, 0}))
          << x << ", " << y;
    }
  }
}

TEST_F(RenderTest, SequenceLayersShowOneFilePerFrame) {
  std::filesystem::create_directory(dir_.path() / "seq");
  writeImage("seq/s_01.png", 2, 2, PF_Pixel{255, 255, 0, 0});
  writeImage("seq/s_02.png", 2, 2, PF_Pixel{255, 0, 0, 255});
  const auto file = project(R"({"format": 1,
    "composition": {"width": 2, "height": 2, "frame_rate": 24, "frames": 3},
    "layers": [{"name": "Clip", "sequence": "seq/s_##.png"}]})");
  const Run ok = render(file, "clip", std::pair<int64_t, int64_t>{0, 1});
  ASSERT_EQ(ok.code, 0) << ok.err;
  EXPECT_EQ(pixel("clip", "frame_0000.png", 1, 1), (PF_Pixel{255, 255, 0, 0}));
  EXPECT_EQ(pixel("clip", "frame_0001.png", 1, 1), (PF_Pixel{255, 0, 0, 255}));

  const Run missing = render(file, "clip2");
  EXPECT_EQ(missing.code, 1);
  EXPECT_THAT(missing.err, AllOf(HasSubstr("layer \"Clip\" (#1)"), HasSubstr("s_03.png: cannot open")));
  EXPECT_EQ(filesIn(dir_.path() / "clip2"),
            (std::vector<std::string>{"frame_0000.png", "frame_0001.png"}));
}

// Saving flattens every instance into the file; the saved project renders
// the same frames, wherever it is saved, and saving it again changes nothing.
TEST_F(RenderTest, SavedProjectsRenderIdenticalFrames) {
  writeImage("floor.png", 6, 4, PF_Pixel{255, 90, 80, 70});
  const auto file = project(R"({"format": 1,
    "composition": {"width": 8, "height": 6, "frame_rate": 12, "frames": 2},
    "layers": [
      {"name": "Floor", "image": "floor.png", "effects": [
        {"effect": "HALV VASKSHAPEMESH1", "params": {"Height Field": "Floor", "Height From": "Red"}}]},
      {"name": "Lamp", "solid": [64, 255, 255, 255], "width": 3, "effects": [
        {"effect": "HALV VASKSPOT1", "params": {"Fall Off": "Cos", "Hot Angle": 20}},
        {"effect": "VASK HOSTTEST1", "params": {"Mode": {"keyframes": [
          {"f": 0, "value": "Invert"}, {"f": 1, "value": "Normal"}]}}}]}
    ]})");
  const std::string original = readText(file);
  ASSERT_EQ(render(file, "a").code, 0);

  std::filesystem::create_directory(dir_.path() / "elsewhere");
  const auto saved = dir_.path() / "elsewhere" / "saved.json";
  const Run s = save(file, saved);
  ASSERT_EQ(s.code, 0) << s.err;
  EXPECT_EQ(readText(file), original) << "save writes only OUT";
  const Json doc = Json::parse(readText(saved));
  EXPECT_EQ(doc["layers"][0]["image"], "../floor.png");
  EXPECT_EQ(doc["layers"][0]["effects"][0]["flat"], "AQAAAA==");
  EXPECT_EQ(doc["layers"][1]["effects"][0]["flat"], "AQAAAA==");
  EXPECT_EQ(doc["layers"][1]["effects"][1]["flat"], "AQAAAAAAAAA=") << "flag 1, 0 frames";
  EXPECT_EQ(filesIn(dir_.path() / "elsewhere"), std::vector<std::string>{"saved.json"});

  ASSERT_EQ(render(saved, "b").code, 0);
  for (const char* f : {"frame_0000.png", "frame_0001.png"}) {
    EXPECT_EQ(readText(dir_.path() / "a" / f), readText(dir_.path() / "b" / f)) << f;
  }
  const auto again = dir_.path() / "elsewhere" / "again.json";
  ASSERT_EQ(save(saved, again).code, 0);
  EXPECT_EQ(readText(again), readText(saved));
}

TEST_F(RenderTest, BadProjectsFailWithOneClearMessage) {
  writeImage("ok.png", 2, 2, PF_Pixel{255, 1, 2, 3});
  dir_.write("text.png", "not a picture");
  auto layered = [](const std::string& layer) {
    return R"({"format": 1, "composition": {"width": 4, "height": 4, "frame_rate": 24, "frames": 2},
               "layers": [)" +
           layer + "]}";
  };
  auto lamp = [&](const std::string& effect) {
    return layered(R"({"name": "Lamp", "solid": "#808080", "effects": [)" + effect + "]}");
  };
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> expected;
  };
  const std::vector<Case> cases = {
      {"malformed JSON", "{\"format\": 1,\n \"composition\": {,}}", {"p.json:2:18: syntax error"}},
      {"wrong format", R"({"format": 3})", {"\"format\" 3 is not supported"}},
      {"unknown effect",
       lamp(R"({"effect": "HALV NOSUCH1"})"),
       {"layer \"Lamp\" (#1), effect \"HALV NOSUCH1\" (#1): no effect library in",
        "known effects: ", "\"HALV VASKPNT1\"", "\"HALV VASKSHAPEMESH1\""}},
      {"unknown parameter",
       lamp(R"({"effect": "HALV VASKPNT1", "params": {"Radius": 2}})"),
       {"\"VASK Point Light\" has no parameter \"Radius\"; its parameters: \"X Position\", "
        "\"Y Position\", \"Z Position\", \"Attenuation\", \"Intensity\", \"Color\", \"Visible\""}},
      {"control without a value",
       lamp(R"({"effect": "HALV VASKPNT1", "params": {"Manipulator": 1}})"),
       {"parameter \"Manipulator\": is a custom control and takes no value"}},
      {"bad pop-up choice",
       lamp(R"({"effect": "HALV VASKPNT1", "params": {"Attenuation": {"keyframes": [{"f": 0, "value": "Cubic"}]}}})"),
       {"parameter \"Attenuation\", keyframe 1: \"Cubic\" is not one of the choices \"None\", "
        "\"Inv Dist\", \"Inv Dist Sq\""}},
      {"unknown layer", lamp(R"({"effect": "HALV VASKSHAPEMESH1", "params": {"Texture": "Sky"}})"),
       {"no layer is named \"Sky\"; layers: \"Lamp\""}},
      {"missing image", layered(R"({"name": "Pic", "image": "gone.png"})"),
       {"layer \"Pic\" (#1): ", "gone.png: cannot open: No such file or directory"}},
      {"not a PNG", layered(R"({"name": "Pic", "image": "text.png"})"),
       {"layer \"Pic\" (#1): ", "text.png: not a PNG file"}},
      {"bad base64", lamp(R"({"effect": "HALV VASKPNT1", "flat": "AQAAAA="})"),
       {"effect \"HALV VASKPNT1\" (#1): its saved sequence data (\"flat\") is not valid base64"}},
      {"flat data in the live form", lamp(R"({"effect": "HALV VASKPNT1", "flat": "AAAAAEFBQUE="})"),
       {"effect \"HALV VASKPNT1\" (#1): its saved sequence data (\"flat\") is not a flattened record, "
        "which starts with the 32-bit flag 1: it starts with 0, the flag of a record held in memory"}},
      {"refused flat data", lamp(R"({"effect": "VASK HOSTTEST1", "flat": "AQAAAP////8="})"),
       {"the effect refused its saved sequence data (\"flat\")",
        "layer \"Lamp\" (#1), effect \"Host Test Effect\" (VASK HOSTTEST1)",
        "sequence re-setup failed with error 512: saved sequence data is damaged"}},
  };
  // Names that are not project files: refused at once, never read without end.
  for (const char* device : {"/dev/zero", "/dev/null"}) {
    const Run r = render(device, "never");
    EXPECT_EQ(r.code, 1) << device;
    EXPECT_THAT(r.err, HasSubstr(std::string(device) + ": is a character device")) << device;
  }
  for (const Case& c : cases) {
    const auto file = project(c.text);
    const Run r = render(file, "never");
    EXPECT_EQ(r.code, 1) << c.what;
    for (const auto& e : c.expected) EXPECT_THAT(r.err, HasSubstr(e)) << c.what;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << c.what << ": " << r.err;
    if (std::filesystem::exists(dir_.path() / "never")) {
      EXPECT_THAT(filesIn(dir_.path() / "never"), IsEmpty()) << c.what;
    }
  }

  // Values outside a range are clamped with a warning, and the render goes on.
  const Run clamped = render(project(lamp(R"({"effect": "HALV VASKPNT1", "params": {"Intensity": 3, "Attenuation": 0}})")),
                             "clamped");
  EXPECT_EQ(clamped.code, 0) << clamped.err;
  EXPECT_THAT(clamped.err,
              HasSubstr("vask: warning: " + (dir_.path() / "p.json").string() +
                        ": layer \"Lamp\" (#1), effect \"HALV VASKPNT1\" (#1), parameter "
                        "\"Intensity\": 3 is outside the valid range 0 … 1; using 1\n"));
  EXPECT_THAT(clamped.err, HasSubstr("choice 0 is outside 1 … 3; using 1 (\"None\")"));
}

TEST_F(RenderTest, OutputAndFrameFaultsLeaveNoPartialFrame) {
  const auto file = project(R"({"format": 1,
    "composition": {"width": 4, "height": 4, "frame_rate": 24, "frames": 3},
    "layers": [{"name": "Lamp", "solid": "#808080", "effects": [
      {"effect": "VASK HOSTTEST1", "params": {"Mode": {"keyframes": [
        {"f": 0, "value": "Normal"}, {"f": 1, "value": "Fail Render"}]}}}]}]})");

  const Run failed = render(file, "out");
  EXPECT_EQ(failed.code, 1);
  EXPECT_THAT(failed.err,
              HasSubstr("frame 1: layer \"Lamp\" (#1), effect \"Host Test Effect\" (VASK HOSTTEST1): "
                        "render failed with error 1024: render failed on purpose\n"));
  EXPECT_EQ(filesIn(dir_.path() / "out"), std::vector<std::string>{"frame_0000.png"})
      << "frames before the failure stay; nothing else, not even a temporary file";

  const Run outside = render(file, "out2", std::pair<int64_t, int64_t>{2, 3});
  EXPECT_EQ(outside.code, 1);
  EXPECT_THAT(outside.err, HasSubstr("frame 3 is outside the composition, whose frames are 0-2"));

  dir_.write("plain", "a file");
  const Run unwritable = render(file, "plain/frames");
  EXPECT_EQ(unwritable.code, 1);
  EXPECT_THAT(unwritable.err, HasSubstr("plain/frames: cannot create the output folder"));

  const Run badSave = save(file, dir_.path() / "no" / "folder" / "p.json");
  EXPECT_EQ(badSave.code, 1);
  EXPECT_THAT(badSave.err, HasSubstr("p.json: cannot write: No such file or directory"));
}

// Nothing the user keeps is written over: a save onto a FIFO or device
// refuses (a link is followed and stays a link), and frames never land on
// the project's own pictures.
TEST_F(RenderTest, NeverWritesOverWhatItReads) {
  writeImage("frame_0001.png", 2, 2, PF_Pixel{255, 1, 2, 3});
  std::filesystem::create_directory(dir_.path() / "seq");
  writeImage("seq/frame_0000.png", 2, 2, PF_Pixel{255, 4, 5, 6});
  const std::string picture = readText(dir_.path() / "frame_0001.png");
  const auto file = project(R"({"format": 1,
    "composition": {"width": 4, "height": 4, "frame_rate": 24, "frames": 2},
    "layers": [{"name": "Pic", "image": "frame_0001.png"},
               {"name": "Seq", "sequence": "seq/frame_####.png", "first": 0, "visible": false}]})");
  for (const char* out : {".", "seq"}) {
    const Run r = render(file, out);
    EXPECT_EQ(r.code, 1) << out;
    EXPECT_THAT(r.err, HasSubstr("a frame would be written over")) << out;
  }
  EXPECT_EQ(readText(dir_.path() / "frame_0001.png"), picture);
  EXPECT_EQ(filesIn(dir_.path() / "seq"), std::vector<std::string>{"frame_0000.png"});

  const auto fifo = dir_.path() / "fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const Run toFifo = save(file, fifo);
  EXPECT_EQ(toFifo.code, 1);
  EXPECT_THAT(toFifo.err, HasSubstr("fifo: exists and is a FIFO; only a regular file is replaced"));
  EXPECT_TRUE(std::filesystem::is_fifo(fifo));

  dir_.write("target.json", "old");
  std::filesystem::create_symlink("target.json", dir_.path() / "link.json");
  ASSERT_EQ(save(file, dir_.path() / "link.json").code, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.path() / "link.json"));
  EXPECT_THAT(readText(dir_.path() / "target.json"), HasSubstr("\"format\": 1"));
}

// `vask render` as a user runs it, in a child process: `limit` caps the size
// of files it may write; with `interruptAfter` set, SIGINT is sent once that
// text has appeared on its standard error. Returns the exit code (128 + the
// signal when a signal ended it) and the standard error.
std::pair<int, std::string> runVask(const std::vector<std::string>& args, rlim_t limit = RLIM_INFINITY,
                                    const std::string& interruptAfter = {}) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) throw std::runtime_error("pipe");
  const std::string program = (test::binDir() / "vask").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], STDERR_FILENO);
    ::close(pipeFds[0]);
    const rlimit r{limit, limit};
    ::setrlimit(RLIMIT_FSIZE, &r);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  std::string err;
  char buffer[4096];
  bool sent = false;
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    err.append(buffer, static_cast<std::size_t>(n));
    if (!interruptAfter.empty() && !sent && err.find(interruptAfter) != std::string::npos) {
      ::kill(pid, SIGINT);
      sent = true;
    }
  }
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), err};
}

// Ctrl-C stops a render between frames: every frame on disk is whole, no
// temporary file is left, the user is told how far it got. A file-size limit
// fails the write with a message instead of killing the process. A later
// render removes temporary files that a killed one left.
TEST_F(RenderTest, InterruptedRendersLeaveOnlyWholeFrames) {
  const auto file = project(R"({"format": 1,
    "composition": {"width": 320, "height": 240, "frame_rate": 24, "frames": 400},
    "layers": [{"name": "Lamp", "solid": "#808080", "effects": [{"effect": "HALV VASKPNT1"}]}]})");
  const std::string out = (dir_.path() / "out").string();
  const auto [code, err] = runVask({"render", file.string(), "--out", out}, RLIM_INFINITY, "written to");
  EXPECT_EQ(code, 130) << err;
  EXPECT_THAT(err, HasSubstr("vask: stopped by SIGINT: "));
  const auto frames = filesIn(out);
  EXPECT_LT(frames.size(), 400u);
  EXPECT_THAT(err, HasSubstr(": " + std::to_string(frames.size()) + " of 400 frames landed in " + out));
  for (const auto& f : frames) {
    EXPECT_EQ(f.rfind("frame_", 0), 0u) << "only whole frames: " << f;
    EXPECT_NO_THROW(readPng(dir_.path() / "out" / f)) << f;
  }

  const std::string small = (dir_.path() / "small").string();
  const auto [limited, why] = runVask({"render", file.string(), "--out", small, "--frames", "0-1"}, 1000);
  EXPECT_EQ(limited, 1) << why;
  EXPECT_THAT(why, HasSubstr("frame_0000.png: cannot write: File too large"));
  EXPECT_THAT(filesIn(small), IsEmpty());

  // A process that is gone: a child that has exited and been waited for.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  const std::string stale = ".frame_0003.png.tmp-" + std::to_string(gone) + "-7";
  const std::string mine = ".frame_0004.png.tmp-" + std::to_string(::getpid()) + "-7";
  dir_.write("small/" + stale, "partial");
  dir_.write("small/" + mine, "in progress elsewhere");
  const auto [again, said] = runVask({"render", file.string(), "--out", small, "--frames", "0-0"});
  EXPECT_EQ(again, 0) << said;
  EXPECT_THAT(said, HasSubstr("removed 1 temporary file left in"));
  EXPECT_EQ(filesIn(small), (std::vector<std::string>{mine, "frame_0000.png"}))
      << "only the file of a process that is gone";
}

// Every stage of a small render has a row; the rows of the render loop's
// thread and "other" make up the wall time; the rate agrees with the wall.
TEST_F(RenderTest, TimingsShowEveryStageOfTheFrames) {
  const auto file = project(R"({"format": 1,
    "composition": {"width": 64, "height": 36, "frame_rate": 24, "frames": 3, "background": "#102030"},
    "layers": [{"name": "Lamp", "solid": [128, 255, 0, 0], "width": 32, "height": 20, "effects": [
      {"effect": "HALV VASKPNT1", "params": {"Visible": true}},
      {"effect": "VASK HOSTTEST1", "params": {"Mode": "Invert"}}]}]})");
  RenderRequest r;
  r.project = file;
  r.out = dir_.path() / "timed";
  r.plugins = test::pluginFolders();
  r.timings = true;
  StageTimes times;
  r.timesOut = &times;
  std::ostringstream out, err;
  ASSERT_EQ(runRender(r, out, err), 0) << err.str();

  EXPECT_EQ(times.frames, 3);
  EXPECT_GT(times.wall.count(), 0);
  EXPECT_GT(times[Stage::Render].count(), 0);
  EXPECT_GT(times[Stage::Png].count(), 0) << "three files were written";
  auto loopThread = StageTimes::Clock::duration::zero();
  for (std::size_t k = 0; k < kStageCount; ++k) {
    EXPECT_GE(times.total[k].count(), 0) << stageName(static_cast<Stage>(k));
    if (static_cast<Stage>(k) != Stage::Png) loopThread += times.total[k];
  }
  EXPECT_LE(loopThread, times.wall);

  // The table: after the closing line, one row per stage, "other", the wall
  // and the writer's row; the shares of the loop's rows add up to 100 %.
  std::istringstream lines(out.str());
  std::string line;
  std::getline(lines, line);
  EXPECT_THAT(line, HasSubstr("rendered 3 frames"));
  std::getline(lines, line);
  EXPECT_THAT(line, AllOf(HasSubstr("stage"), HasSubstr("ms/frame"), HasSubstr("share")));
  double shares = 0;
  std::vector<std::string> names;
  while (std::getline(lines, line) && line.find('%') != std::string::npos) {
    const auto numbers = line.find_first_of("0123456789", 24);
    ASSERT_NE(numbers, std::string::npos) << line;
    std::string name = line.substr(0, 24);
    name.erase(name.find_last_not_of(' ') + 1);
    names.push_back(name);
    double total = 0, perFrame = 0, share = 0;
    ASSERT_EQ(std::sscanf(line.c_str() + numbers, "%lf %lf %lf%%", &total, &perFrame, &share), 3) << line;
    EXPECT_NEAR(perFrame, total / 3, 0.051) << line;
    if (name != "frame loop (wall)" && name != stageName(Stage::Png)) shares += share;
    if (name == "frame loop (wall)") {
      EXPECT_DOUBLE_EQ(share, 100.0);
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"layer pictures", "frame setup", "render", "frame setdown",
                                             "compositing", "waiting for the writer", "other",
                                             "frame loop (wall)", stageName(Stage::Png)}));
  EXPECT_NEAR(shares, 100.0, 0.5);
  EXPECT_THAT(line, HasSubstr("3 frames in "));
  const double fps = std::stod(line.substr(line.find(": ") + 2));
  EXPECT_NEAR(fps, 3 / std::chrono::duration<double>(times.wall).count(), 0.01 * fps + 0.01);
}

// The table's arithmetic on known times.
TEST(StageTimes, TableGivesTotalsMeansAndShares) {
  using std::chrono::milliseconds;
  StageTimes t;
  t.frames = 4;
  t.wall = milliseconds(200);
  t.add(Stage::Render, milliseconds(100));
  t.add(Stage::FrameSetup, milliseconds(50));
  t.add(Stage::Png, milliseconds(80));
  std::ostringstream os;
  printStageTimes(os, t);
  const std::string table = os.str();
  EXPECT_THAT(table, HasSubstr("render                        100.0       25.0    50.0%\n"));
  EXPECT_THAT(table, HasSubstr("frame setup                    50.0       12.5    25.0%\n"));
  EXPECT_THAT(table, HasSubstr("other                          50.0       12.5    25.0%\n"));
  EXPECT_THAT(table, HasSubstr("png convert+encode+write       80.0       20.0    40.0%  (writer thread"));
  EXPECT_THAT(table, HasSubstr("4 frames in 0.20 s: 20.00 frames per second, 50.0 ms per frame"));
}

// The PNG writer runs beside the render loop; its failures still stop the
// render with one message, leave no partial file, and come after the
// progress lines of the frames that did land.
TEST_F(RenderTest, WriteFailuresStopTheRenderWithOneMessage) {
  const auto file = project(R"({"format": 1,
    "composition": {"width": 8, "height": 6, "frame_rate": 24, "frames": 4},
    "layers": [{"name": "Lamp", "solid": "#808080", "effects": [
      {"effect": "VASK HOSTTEST1", "params": {"Mode": {"keyframes": [
        {"f": 0, "value": "Normal"}, {"f": 2, "value": "Fail Render"}]}}}]}]})");
  auto vaskLines = [](const std::string& err) {
    std::size_t n = 0;
    for (std::size_t at = err.find("vask: "); at != std::string::npos; at = err.find("vask: ", at + 1)) ++n;
    return n;
  };

  // A folder where frame 1 should go: refused after frame 0 landed.
  std::filesystem::create_directories(dir_.path() / "blocked" / "frame_0001.png");
  const Run blocked = render(file, "blocked", std::pair<int64_t, int64_t>{0, 1});
  EXPECT_EQ(blocked.code, 1);
  EXPECT_THAT(blocked.err, HasSubstr("frame 0 (1 of 2) written to"));
  EXPECT_THAT(blocked.err, HasSubstr("frame_0001.png: exists and is a folder; only a regular file is replaced\n"));
  EXPECT_EQ(vaskLines(blocked.err), 1u) << blocked.err;
  EXPECT_THAT(blocked.out, IsEmpty());
  EXPECT_EQ(filesIn(dir_.path() / "blocked"), (std::vector<std::string>{"frame_0000.png", "frame_0001.png"}))
      << "no temporary file, and nothing after the failure";
  EXPECT_TRUE(std::filesystem::is_directory(dir_.path() / "blocked" / "frame_0001.png"));

  // A render failure while the writer holds the frame before: that frame
  // lands and is reported before the failure.
  const Run failed = render(file, "failed");
  EXPECT_EQ(failed.code, 1);
  const auto written = failed.err.find("frame 1 (2 of 4) written to");
  const auto failure = failed.err.find("frame 2: layer \"Lamp\" (#1)");
  ASSERT_NE(written, std::string::npos) << failed.err;
  EXPECT_LT(written, failure) << failed.err;
  EXPECT_EQ(vaskLines(failed.err), 1u) << failed.err;
  EXPECT_EQ(filesIn(dir_.path() / "failed"), (std::vector<std::string>{"frame_0000.png", "frame_0001.png"}));
}

// A written frame reads back as the very pixels the composition made,
// translucent ones included.
TEST_F(RenderTest, WrittenFramesReadBackAsRendered) {
  const auto file = project(R"({"format": 1,
    "composition": {"width": 40, "height": 24, "frame_rate": 24, "frames": 1, "background": [0, 0, 0, 0]},
    "layers": [
      {"name": "Glass", "solid": [90, 200, 120, 30], "width": 30, "height": 20},
      {"name": "Lamp", "solid": [128, 255, 0, 0], "width": 16, "height": 10, "effects": [
        {"effect": "HALV VASKPNT1", "params": {"X Position": 0.5, "Color": "#ff8000", "Visible": true}}]}]})");
  ASSERT_EQ(render(file, "frames").code, 0);
  std::vector<std::string> warnings;
  Composition c(loadProject(file), PluginCatalog::scan(test::pluginFolders()), {}, warnings);
  const World expected = c.renderFrame(0);
  const World got = readPng(dir_.path() / "frames" / "frame_0000.png");
  ASSERT_EQ(got.width(), expected.width());
  ASSERT_EQ(got.height(), expected.height());
  std::set<int> alphas;
  for (int32_t y = 0; y < got.height(); ++y) {
    for (int32_t x = 0; x < got.width(); ++x) {
      ASSERT_EQ(got.at(x, y), expected.at(x, y)) << x << ", " << y;
      alphas.insert(got.at(x, y).alpha);
    }
  }
  EXPECT_GE(alphas.size(), 3u) << "transparent, translucent and opaque pixels";
}

TEST(ProjectCommands, ParsesFrameRangesAndSizes) {
  EXPECT_EQ(parseFrameRange("3-7"), (std::pair<int64_t, int64_t>{3, 7}));
  EXPECT_EQ(parseFrameRange("12"), (std::pair<int64_t, int64_t>{12, 12}));
  EXPECT_EQ(parseSize("640x360"), (std::pair<int32_t, int32_t>{640, 360}));
  std::string why;
  for (const char* bad : {"", "7-3", "-3", "3-", "a-b", "1-2-3", "99999999999999999999"}) {
    EXPECT_FALSE(parseFrameRange(bad, &why)) << bad;
    EXPECT_FALSE(why.empty());
  }
  for (const char* bad : {"", "640", "0x10", "10x0", "x", "640x", "40000x10", "6x4x2"}) {
    EXPECT_FALSE(parseSize(bad, &why)) << bad;
  }
}

}  // namespace
}  // namespace vask::host
