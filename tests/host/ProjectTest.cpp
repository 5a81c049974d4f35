#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/Base64.h"
#include "host/Project.h"
#include "host/World.h"  // PF_Pixel comparisons
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kComposition =
    R"("composition": {"width": 32, "height": 18, "frame_rate": 24, "frames": 2})";

std::string withLayers(const std::string& layers) {
  return std::string("{\"format\": 1, ") + kComposition + ", \"layers\": [" + layers + "]}";
}

std::string refusal(const std::string& text) {
  try {
    parseProject(text, "dir/p.json");
  } catch (const ProjectError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(Project, ReadsLayersBottomToTopWithTheirSources) {
  const Project p = parseProject(withLayers(R"(
    {"name": "Back", "image": "pics/back.png", "visible": false},
    {"name": "Clip", "sequence": "/abs/clip_%04d.png", "first": 7},
    {"solid": [128, 255, 0, 0], "width": 4, "effects": [
      {"effect": "HALV VASKPNT1", "params": {"comment": "ignored", "Visible": true}, "flat": "AQAAAA=="}]})"),
                                 "dir/p.json");
  EXPECT_EQ(p.name, "p");
  EXPECT_EQ(p.composition.background, (PF_Pixel{255, 0, 0, 0})) << "opaque black by default";
  ASSERT_EQ(p.layers.size(), 3u);
  EXPECT_EQ(p.layers[0].kind, LayerKind::Image);
  EXPECT_EQ(p.layers[0].file, std::filesystem::path("dir/pics/back.png"));
  EXPECT_FALSE(p.layers[0].visible);
  EXPECT_EQ(p.layers[1].kind, LayerKind::Sequence);
  EXPECT_EQ(p.layers[1].folder, std::filesystem::path("/abs"));
  EXPECT_EQ(p.layers[1].sequence->name(7), "clip_0007.png");
  EXPECT_EQ(p.layers[1].first, 7);
  const ProjectLayer& solid = p.layers[2];
  EXPECT_EQ(solid.name, "Layer 3");
  EXPECT_EQ(solid.colour, (PF_Pixel{128, 255, 0, 0}));
  EXPECT_EQ(solid.width, 4);
  EXPECT_EQ(solid.height, 18) << "the composition's height";
  ASSERT_EQ(solid.effects.size(), 1u);
  EXPECT_EQ(solid.effects[0].params.size(), 1u);
  const std::vector<std::byte> flat = {std::byte{1}, {}, {}, {}};
  EXPECT_EQ(solid.effects[0].flat, flat);
}

TEST(Project, SyntaxErrorsGiveLineAndColumn) {
  EXPECT_EQ(refusal("{\n  \"format\": 1,\n  \"layers\": tru\n}"),
            "dir/p.json:3:16: syntax error while parsing value - invalid literal; last read: "
            "'\"layers\": tru<U+000A>'");
  EXPECT_THAT(refusal("{\n \"format\": 1,\n}"), StartsWith("dir/p.json:3:1: syntax error"));
  EXPECT_THAT(refusal("{\"format\": 1"), StartsWith("dir/p.json:1:13: syntax error"));
  EXPECT_THAT(refusal(""), StartsWith("dir/p.json:1:1: syntax error"));

  EXPECT_EQ(positionOf("ab\ncd", 0).column, 1u);
  EXPECT_EQ(positionOf("ab\ncd", 4).line, 2u);
  EXPECT_EQ(positionOf("ab\ncd", 4).column, 2u);
  EXPECT_EQ(positionOf("ab", 99).column, 3u) << "past the end: just after the last character";
}

TEST(Project, RejectsWhatItCannotRead) {
  EXPECT_EQ(refusal("[]"), "dir/p.json: a project is a JSON object, not an array");
  EXPECT_EQ(refusal(std::string(100000, '[') + std::string(100000, ']')),
            "dir/p.json: values nest deeper than 32 levels; no project needs that");
  EXPECT_EQ(refusal("{\"format\": 3}"),
            "dir/p.json: \"format\" 3 is not supported; this vask reads \"format\": 1 … 2");
  EXPECT_THAT(refusal("{\"composition\": {}}"), HasSubstr("has no \"format\""));
  EXPECT_THAT(refusal(R"({"format": 1, "composition": {"width": 0, "height": 1, "frame_rate": 1, "frames": 1}})"),
              HasSubstr("composition: \"width\" 0 is outside 1 … 32767"));
  EXPECT_THAT(refusal(R"({"format": 1, "composition": {"width": 1, "height": 1, "frame_rate": 1}})"),
              HasSubstr("needs exactly one of \"duration\" (seconds) or \"frames\""));
  EXPECT_THAT(refusal(R"({"format": 1, "composition": {"width": 1, "height": 1, "frame_rate": "1/0", "frames": 1}})"),
              HasSubstr("is not a rate such as"));
  EXPECT_THAT(refusal(R"({"format": 1, "composition": {"width": 1, "height": 1, "frame_rate": 1, "frames": 1, "colour": 1}})"),
              HasSubstr("unknown member \"colour\"; known members: \"width\", \"height\""));

  EXPECT_THAT(refusal(withLayers(R"({"name": "A"})")), HasSubstr("layer \"A\" (#1): needs exactly one source"));
  EXPECT_THAT(refusal(withLayers(R"({"image": "a.png", "solid": "#000000"})")), HasSubstr("exactly one source"));
  EXPECT_THAT(refusal(withLayers(R"({"image": "a.png", "width": 3})")),
              HasSubstr("\"width\" and \"height\" belong to \"solid\" layers"));
  EXPECT_THAT(refusal(withLayers(R"({"sequence": "a.png"})")), HasSubstr("it has no frame number"));
  EXPECT_THAT(refusal(withLayers(R"({"solid": "red"})")),
              HasSubstr("layer \"Layer 1\" (#1): \"solid\": \"red\" is not a colour"));
  EXPECT_THAT(refusal(withLayers(R"({"solid": [1, 2, 300]})")),
              HasSubstr("\"solid\": blue 300 is outside 0 … 255"));

  const std::string effect = R"({"name": "L", "solid": "#000000", "effects": [)";
  EXPECT_EQ(refusal(withLayers(effect + R"({"params": {}}]})")),
            "dir/p.json: layer \"L\" (#1), effect #1: needs \"effect\": the effect's match name, "
            "such as \"HALV VASKPNT1\"");
  EXPECT_EQ(refusal(withLayers(effect + R"({"effect": "E", "flat": "AQ!AAA=="}]})")),
            "dir/p.json: layer \"L\" (#1), effect \"E\" (#1): its saved sequence data (\"flat\") "
            "is not valid base64: character 3 ('!') is not base64");
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": {"value": 1}}}]})")),
              HasSubstr("parameter \"A\": unknown member \"value\""));
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": {"keyframes": []}}}]})")),
              HasSubstr("\"keyframes\" expects a non-empty array"));
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": {"keyframes": [{"value": 1}]}}}]})")),
              HasSubstr("parameter \"A\", keyframe 1: a keyframe needs exactly one of \"t\""));
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": {"keyframes": [{"f": 12, "value": 1}, {"t": 0.5, "value": 2}]}}}]})")),
              HasSubstr("keyframe 2: is at frame 12, where another keyframe already is"));
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": {"keyframes": [{"f": 3, "value": 1}, {"f": 1, "value": 1}, {"f": 2, "value": 1}, {"f": 1.0000000000001, "value": 1}, {"f": 3, "value": 1}]}}}]})")),
              HasSubstr("keyframe 4: is at frame 1, where another keyframe already is"))
      << "the first key in file order that meets an earlier one";
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": {"keyframes": [{"t": 1e308, "value": 1}, {"t": 1.5e308, "value": 2}]}}}]})")),
              HasSubstr("keyframe 1: \"t\" 1e+308 is outside the times a composition can have"));
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "flat": "AAAAAEFBQUE="}]})")),
              HasSubstr("it starts with 0, the flag of a record held in memory"));
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "flat": "AQA="}]})")),
              HasSubstr("it is only 2 bytes long"));
  EXPECT_EQ(refusal("{\"format\": 1,\n \"composition\": {\"width\": 1, \"height\": 1, \"frame_rate\": 1e999, \"frames\": 1}}"),
            "dir/p.json:2:57: the number 1e999 is too large");
  EXPECT_THAT(refusal(R"({"format": 1, "composition": {"width": 1, "height": 1, "frame_rate": 24, "duration": 1e308}})"),
              HasSubstr("composition: \"duration\" 1e+308 s at 24 frames per second is outside 1 … 2147483647 frames"));
  EXPECT_EQ(refusal(std::string(R"({"format": 1, )") + kComposition + ", " + kComposition + "}"),
            "dir/p.json: member \"composition\" appears twice in one object; only one value can count");
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": 1, "A": 2}}]})")),
              HasSubstr("member \"A\" appears twice"));
  EXPECT_THAT(refusal(withLayers(effect + R"({"effect": "E", "params": {"A": {"keyframes": [{"f": 1, "value": 1, "interpolation": "ease"}]}}}]})")),
              HasSubstr("interpolation \"ease\" is not one of \"linear\", \"hold\""));
}

TEST(Project, FramePatterns) {
  EXPECT_EQ(FramePattern::parse("f_####.png")->name(12), "f_0012.png");
  EXPECT_EQ(FramePattern::parse("f_#.png")->name(123), "f_123.png");
  EXPECT_EQ(FramePattern::parse("%d.png")->name(5), "5.png");
  EXPECT_EQ(FramePattern::parse("100%%_%03d.png")->name(5), "100%_005.png");
  std::string why;
  for (const char* bad : {"plain.png", "a_%s.png", "a_%5d.png", "a_##_##.png", "a_%d_%d.png", "a_%"}) {
    EXPECT_FALSE(FramePattern::parse(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

TEST(Project, SavedTextReadsBackTheSame) {
  const std::string text = withLayers(R"({"name": "L", "solid": [1, 2, 3], "effects": [
      {"effect": "E", "params": {"A": {"keyframes": [{"f": 0, "value": [1, 2, 3]}]}}}]})");
  const Project p = parseProject(text, "p.json");
  const std::string saved = formatProjectText(p.document);
  EXPECT_EQ(Json::parse(saved), p.document);
  EXPECT_THAT(saved, HasSubstr("\"solid\": [1, 2, 3],\n"));
  EXPECT_THAT(saved, HasSubstr("{\"f\": 0, \"value\": [1, 2, 3]}"));
  EXPECT_EQ(saved.back(), '\n');
}

TEST(Base64, RoundTripsAndRejectsWhatIsNotCanonical) {
  for (std::size_t n = 0; n < 8; ++n) {
    std::vector<std::byte> bytes;
    for (std::size_t i = 0; i < n; ++i) bytes.push_back(std::byte(static_cast<uint8_t>(0xF7 * (i + 1))));
    const std::string text = encodeBase64(bytes);
    EXPECT_EQ(text.size() % 4, 0u) << n;
    EXPECT_EQ(decodeBase64(text), bytes) << n << " " << text;
  }
  EXPECT_EQ(encodeBase64(std::vector<std::byte>{std::byte{1}, {}, {}, {}}), "AQAAAA==");
  std::string why;
  for (const char* bad : {"AQA", "AQ==AAAA", "A===", "AR==", "AQ A", "AQ=A", "=AAA"}) {
    EXPECT_FALSE(decodeBase64(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

}  // namespace
}  // namespace vask::host
