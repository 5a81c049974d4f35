// The command line as users and render farms drive it, in process through
// runCommandLine: help and exit statuses, output patterns and frame lists,
// chunked renders, skipping finished frames, checking and saving projects.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "host/CheckCommand.h"
#include "host/CommandLine.h"
#include "host/PngImage.h"
#include "host/ProjectCommands.h"
#include "tests/host/HostTestSupport.h"
#include "vask/Version.h"

namespace vask::host {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

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

struct Outcome {
  int code;
  std::string out, err;
};

// `vask ARGS...`; project commands that name no folder get the build's
// effects and the test effects.
Outcome vask(std::vector<std::string> args) {
  const bool project = !args.empty() && (args[0] == "render" || args[0] == "check" || args[0] == "save");
  if (project && std::find(args.begin(), args.end(), "--plugins") == args.end()) {
    for (const auto& f : test::pluginFolders()) {
      args.push_back("--plugins");
      args.push_back(f.string());
    }
  }
  std::vector<const char*> argv{"vask"};
  for (const auto& a : args) argv.push_back(a.c_str());
  std::ostringstream out, err;
  const int code = runCommandLine(static_cast<int>(argv.size()), argv.data(), out, err);
  return {code, out.str(), err.str()};
}

class CommandLineTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return (dir_.path() / name).string(); }
  std::string writeText(const std::string& name, const std::string& text) { return dir_.write(name, text).string(); }
  test::TempDir dir_;
};

// Every failure of the command line itself says "vask:" and exits 2; help
// and the version exit 0 on standard output.
TEST_F(CommandLineTest, HelpVersionAndUsageErrors) {
  const Outcome version = vask({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.out, "vask " + std::string(kVersionText) + "\n");

  const Outcome help = vask({"help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_THAT(help.out, AllOf(HasSubstr("Usage: vask"), HasSubstr("render"), HasSubstr("check"), HasSubstr("save"),
                              HasSubstr("info"), HasSubstr("controls"), HasSubstr("Exit status: 0 success; 1")));
  const Outcome renderHelp = vask({"help", "render"});
  EXPECT_EQ(renderHelp.code, 0);
  EXPECT_THAT(renderHelp.out,
              AllOf(HasSubstr("Usage: vask render"), HasSubstr("--start-number"), HasSubstr("--skip-existing")));
  EXPECT_EQ(vask({"check", "--help"}).out, vask({"help", "check"}).out);

  struct Case {
    std::vector<std::string> args;
    const char* said;
  };
  const Case cases[] = {
      {{}, "vask: A subcommand is required"},
      {{"draw"}, "vask: there is no command \"draw\""},
      {{"help", "draw"}, "vask: there is no command \"draw\""},
      {{"render"}, "vask: render: project is required"},
      {{"render", "p.json", "--threads", "0"}, "vask: render: --threads: Value 0 not in range"},
      {{"render", "p.json", "--frames", "0-9x0"}, "vask: render: --frames: \"0-9x0\" is not a frame list"},
      {{"render", "p.json", "--size", "0x4"}, "vask: render: --size:"},
      {{"render", "p.json", "--nope"}, "vask: render: The following argument"},
      {{"render", "p.json", "-q", "-v"}, "vask: render: --quiet excludes --verbose"},
  };
  for (const Case& c : cases) {
    const Outcome r = vask(c.args);
    EXPECT_EQ(r.code, kExitUsage) << c.said;
    EXPECT_THAT(r.err, AllOf(HasSubstr(c.said), HasSubstr("for the usage"))) << c.said;
  }
}

TEST(ProjectCommands, ParsesFrameListsWithSteps) {
  EXPECT_EQ(parseFrameList("0-10x5"), (std::vector<int64_t>{0, 5, 10}));
  EXPECT_EQ(parseFrameList("9,1,3-4,4"), (std::vector<int64_t>{1, 3, 4, 9})) << "sorted, each once";
  EXPECT_EQ(parseFrameList("7"), (std::vector<int64_t>{7}));
  std::string why;
  for (const char* bad : {"", ",", "1,", "3x2", "1-5x", "1-5x-1", "5-1", "a", "0-999999999"}) {
    EXPECT_FALSE(parseFrameList(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

// A farm splits one shot into chunks, in any order, on machines with any
// number of cores: the frames are the same bytes as one run's.
TEST_F(CommandLineTest, ChunkedRendersMatchOneRunByteForByte) {
  const std::string demo = (std::filesystem::path(VASK_SOURCE_DIR) / "examples/demo/demo.json").string();
  const Outcome whole = vask({"render", demo, "--size", "192x108", "--out", path("whole"), "--threads", "1", "-q"});
  ASSERT_EQ(whole.code, 0) << whole.err;
  EXPECT_EQ(whole.out, "") << "quiet";
  EXPECT_EQ(whole.err, "");
  const struct {
    const char* frames;
    const char* threads;
  } chunks[] = {{"36-47", "2"}, {"0-11", "1"}, {"12-35x2", "2"}, {"13-35x2", "3"}};
  for (const auto& c : chunks) {
    const Outcome r = vask({"render", demo, "--size", "192x108", "--out", path("chunks"), "--frames", c.frames,
                        "--threads", c.threads});
    ASSERT_EQ(r.code, 0) << c.frames << ": " << r.err;
  }
  const auto names = filesIn(dir_.path() / "whole");
  ASSERT_EQ(names.size(), 48u);
  EXPECT_EQ(filesIn(dir_.path() / "chunks"), names);
  for (const auto& n : names) {
    EXPECT_EQ(readText(dir_.path() / "whole" / n), readText(dir_.path() / "chunks" / n)) << n;
  }
}

// Patterns, start numbers and skipping: a pipeline's names, and a job that
// is run again after a machine died part way.
TEST_F(CommandLineTest, OutputPatternsStartNumbersAndSkippingFinishedFrames) {
  const std::string file = writeText("shot.json", R"({"format": 2,
    "composition": {"width": 8, "height": 6, "frame_rate": 24, "frames": 5, "background": "#102030"},
    "layers": [{"name": "Lamp", "solid": "#808080", "effects": [{"effect": "HALV VASKPNT1"}]}]})");
  Outcome r = vask({"render", file, "--out", path("a/sh010_%04d.png"), "--start-number", "1001", "--frames", "0-4x2"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(filesIn(dir_.path() / "a"), (std::vector<std::string>{"sh010_1001.png", "sh010_1003.png", "sh010_1005.png"}));

  // A temporary file a killed render left under the pattern's names goes.
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ::waitpid(gone, nullptr, 0);
  dir_.write("a/.sh010_1002.png.tmp-" + std::to_string(gone) + "-3", "partial");
  const auto before = readText(dir_.path() / "a" / "sh010_1003.png");
  std::filesystem::last_write_time(dir_.path() / "a" / "sh010_1003.png",
                                   std::filesystem::file_time_type::clock::now() - std::chrono::hours(1));
  const auto stamp = std::filesystem::last_write_time(dir_.path() / "a" / "sh010_1003.png");
  r = vask({"render", file, "--out", path("a/sh010_####.png"), "--start-number", "1001", "--skip-existing", "-v"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_THAT(r.out, HasSubstr("rendered 2 frames of " + file));
  EXPECT_THAT(r.out, HasSubstr("skipped 3 that existed"));
  EXPECT_THAT(r.err, AllOf(HasSubstr("removed 1 temporary file"), HasSubstr("frame 2 skipped: "),
                           HasSubstr("frame 1 (1 of 2) written to " + path("a/sh010_1002.png"))));
  EXPECT_EQ(std::filesystem::last_write_time(dir_.path() / "a" / "sh010_1003.png"), stamp) << "left alone";
  EXPECT_EQ(readText(dir_.path() / "a" / "sh010_1003.png"), before);
  EXPECT_EQ(filesIn(dir_.path() / "a").size(), 5u);

  // The default names take the start number's digits.
  r = vask({"render", file, "--out", path("b"), "--start-number", "99998", "--frames", "0-1", "-q"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(filesIn(dir_.path() / "b"), (std::vector<std::string>{"frame_099998.png", "frame_099999.png"}));

  // A single file, a pattern of another kind, or one over the project's own
  // pictures, is refused before anything is written.
  dir_.write("plate_0001.png", "");
  writePng(dir_.path() / "plate_0001.png", World(8, 6));
  const std::string plate = writeText("plate.json", R"({"format": 2,
    "composition": {"width": 8, "height": 6, "frame_rate": 24, "frames": 2},
    "layers": [{"sequence": "plate_####.png"}]})");
  const struct {
    std::string project, out, said;
  } refused[] = {
      {file, path("c/shot.png"), "names one file, but every frame needs its own"},
      {file, path("c/shot_####.exr"), "frames are PNG files"},
      {file, path("c/shot_%s.png"), "only %d, %0Nd and %% are understood"},
      {plate, path("plate_####.png"), "a frame would be written over a picture of the sequence"},
  };
  for (const auto& c : refused) {
    r = vask({"render", c.project, "--out", c.out, "--start-number", "1"});
    EXPECT_EQ(r.code, kExitFailure) << c.out;
    EXPECT_THAT(r.err, HasSubstr(c.said)) << c.out;
  }
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "c"));
}

// `vask check` goes on past each problem and lists every one; a sound
// project passes with a one-line summary.
TEST_F(CommandLineTest, CheckListsEveryProblemWithoutRendering) {
  std::filesystem::create_directory(dir_.path() / "seq");
  for (int n : {1, 2, 5}) writePng(dir_.path() / ("seq/s_000" + std::to_string(n) + ".png"), World(4, 4));
  writePng(dir_.path() / "seq/s_0006.png", World(3, 4));
  dir_.write("seq/s_0007.png", "not a picture");
  const std::string file = writeText("p.json", R"({"format": 2,
    "composition": {"width": 8, "height": 6, "frame_rate": 24, "frames": 7},
    "layers": [
      {"name": "Seq", "sequence": "seq/s_####.png"},
      {"name": "Pic", "image": "missing.png"},
      {"name": "Lamp", "solid": "#000000", "effects": [
        {"effect": "HALV VASKPNT1", "params": {"Color": [1.0, 0.9, 0.8], "Intensity": 7, "Glow": 1}},
        {"effect": "HALV NOSUCH"}]},
      {"name": "Thing", "solid": "#000000", "effects": [{"effect": "HALV VASKMESHFILE1", "model": "gone.3dmf"}]}]})");
  const Outcome r = vask({"check", file, "--plugins", test::binDir().string()});
  EXPECT_EQ(r.code, kExitFailure);
  EXPECT_EQ(r.out, "");
  EXPECT_THAT(r.err, AllOf(HasSubstr("s_0003.png … s_0004.png: 2 files are missing (frames 2-3 show them)"),
                           HasSubstr("s_0006.png is 3 x 4 pixels, but the sequence's first file is 4 x 4"),
                           HasSubstr("s_0007.png: not a PNG file"), HasSubstr("missing.png: cannot open"),
                           HasSubstr("\"Color\": [1.0,0.9,0.8] is not a colour: red 1.0 is not a whole number"),
                           HasSubstr("warning: " + file), HasSubstr("\"Intensity\": 7 is outside the valid range"),
                           HasSubstr("has no parameter \"Glow\""), HasSubstr("\"HALV NOSUCH\" (#2): no effect library"),
                           HasSubstr("\"model\" " + path("gone.3dmf") + " is not a file"),
                           HasSubstr("vask: 8 problems in " + file)));
  EXPECT_THAT(r.err, Not(HasSubstr("VASK HOSTTEST1"))) << "test effects are not the users'";
  EXPECT_EQ(filesIn(dir_.path()), (std::vector<std::string>{"p.json", "seq"})) << "nothing written";

  const std::string good = (std::filesystem::path(VASK_SOURCE_DIR) / "examples/ripple.json").string();
  const Outcome ok = vask({"check", good});
  EXPECT_EQ(ok.code, 0) << ok.err;
  EXPECT_EQ(ok.out, good + ": ok: 4 layers, 24 pictures, 3 effects, 11 parameter settings, frames 0-23\n");
  EXPECT_EQ(vask({"check", good, "-q"}).out, "");
}

// A project saved from its own folder ("cd examples; vask save terrain.json
// /elsewhere/t.json") finds its pictures from the new place and renders the
// same frames.
TEST_F(CommandLineTest, SavingFromTheProjectsFolderRebasesEveryPath) {
  std::filesystem::create_directories(dir_.path() / "shot" / "seq");
  writePng(dir_.path() / "shot" / "floor.png", World(4, 4));
  writePng(dir_.path() / "shot" / "seq" / "h_1.png", World(4, 4));
  dir_.write("shot/p.json", R"({"format": 2,
    "composition": {"width": 8, "height": 6, "frame_rate": 24, "frames": 1},
    "layers": [{"name": "Floor", "image": "floor.png"}, {"name": "H", "sequence": "seq/h_#.png"},
               {"name": "Lamp", "solid": "#000000", "effects": [{"effect": "HALV VASKPNT1"},
                 {"effect": "HALV VASKMESHFILE1", "model": "rocket.3dmf"}]}]})");
  std::filesystem::copy_file(std::filesystem::path(VASK_SOURCE_DIR) / "examples/models/rocket.3dmf",
                             dir_.path() / "shot" / "rocket.3dmf");
  std::filesystem::create_directory(dir_.path() / "elsewhere");
  const auto cwd = std::filesystem::current_path();
  std::filesystem::current_path(dir_.path() / "shot");
  const Outcome saved = vask({"save", "p.json", path("elsewhere/t.json")});
  const Outcome first = vask({"render", "p.json", "--out", path("a"), "-q"});
  std::filesystem::current_path(cwd);
  ASSERT_EQ(saved.code, 0) << saved.err;
  ASSERT_EQ(first.code, 0) << first.err;
  const Json doc = Json::parse(readText(dir_.path() / "elsewhere" / "t.json"));
  EXPECT_EQ(doc["layers"][0]["image"], "../shot/floor.png");
  EXPECT_EQ(doc["layers"][1]["sequence"], "../shot/seq/h_#.png");
  EXPECT_EQ(doc["layers"][2]["effects"][1]["model"], "../shot/rocket.3dmf");
  const Outcome second = vask({"render", path("elsewhere/t.json"), "--out", path("b"), "-q"});
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_EQ(readText(dir_.path() / "a" / "frame_0000.png"), readText(dir_.path() / "b" / "frame_0000.png"));
}

}  // namespace
}  // namespace vask::host
