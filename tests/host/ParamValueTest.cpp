#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "host/Colour.h"
#include "host/ParamValue.h"

namespace vask::host {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

PF_ParamDef named(PF_ParamType type, const char* name) {
  PF_ParamDef d{};
  d.param_type = type;
  std::strncpy(d.name, name, sizeof d.name - 1);
  return d;
}

ParamDeclaration slider() {
  PF_ParamDef d = named(PF_Param_FIX_SLIDER, "X Position");
  d.u.fd.valid_min = -1000 << 16;
  d.u.fd.valid_max = 1000 << 16;
  return ParamDeclaration(d);
}

ParamDeclaration popup() {
  PF_ParamDef d = named(PF_Param_POPUP, "Attenuation");
  d.u.pd.names = "None|Inv Dist|Inv Dist Sq";
  d.u.pd.num_choices = 3;
  d.u.pd.dephault = 1;
  return ParamDeclaration(d);
}

const std::vector<std::string> kLayers = {"Floor", "Lamp", "Lamp", "Sky"};

Channels convert(const ParamDeclaration& d, const Json& v, std::vector<std::string>& warnings) {
  return convertValue(d, v, 1, kLayers, warnings);
}

std::string refusal(const ParamDeclaration& d, const Json& v) {
  std::vector<std::string> warnings;
  try {
    convert(d, v, warnings);
  } catch (const ProjectError& e) {
    return e.what();
  }
  return "accepted";
}

TEST(ParamValue, NumbersBecomeFixedPointAndAreClampedToTheValidRange) {
  std::vector<std::string> w;
  EXPECT_EQ(convert(slider(), 0.5, w)[0], 32768);
  EXPECT_EQ(convert(slider(), -2.25, w)[0], -147456);
  EXPECT_THAT(w, IsEmpty());
  EXPECT_EQ(convert(slider(), 2000, w)[0], 1000 * 65536);
  EXPECT_EQ(convert(slider(), -1e30, w)[0], -1000 * 65536);
  EXPECT_THAT(w, ElementsAre("2000 is outside the valid range -1000 … 1000; using 1000",
                             HasSubstr("using -1000")));
  EXPECT_THAT(refusal(slider(), "0.5"), HasSubstr("is not a number"));

  // Angles are degrees, limited only by what 16.16 holds.
  const ParamDeclaration angle(named(PF_Param_ANGLE, "Left/Right"));
  w.clear();
  EXPECT_EQ(convert(angle, -130, w)[0], -130 * 65536);
  EXPECT_EQ(convert(angle, 1e6, w)[0], 2147483647.0);
  EXPECT_EQ(w.size(), 1u);
  EXPECT_THAT(refusal(angle, true), HasSubstr("not an angle in degrees"));
}

// Format 2: alpha last, arrays whole 0 … 255, objects 0 … 1; every colour
// means one thing, and what could mean two is refused, never guessed.
TEST(ParamValue, FormatTwoColoursAreUnambiguous) {
  auto colour = [](const Json& v) {
    const PF_Pixel p = parseColour(v, 2, nullptr);
    return Channels{double(p.alpha), double(p.red), double(p.green), double(p.blue)};
  };
  auto refusal2 = [](const Json& v) {
    try {
      parseColour(v, 2, nullptr);
    } catch (const ProjectError& e) {
      return std::string(e.what());
    }
    return std::string("accepted");
  };
  EXPECT_EQ(colour(Json::array({255, 240, 220})), (Channels{255, 255, 240, 220}));
  EXPECT_EQ(colour(Json::array({255, 240, 220, 128})), (Channels{128, 255, 240, 220})) << "alpha last";
  EXPECT_EQ(colour("#ff8001"), (Channels{255, 255, 128, 1}));
  EXPECT_EQ(colour("#FF800140"), (Channels{64, 255, 128, 1}));
  EXPECT_EQ(colour(Json::parse(R"({"r": 1.0, "g": 0.94, "b": 0.85})")), (Channels{255, 255, 240, 217}));
  EXPECT_EQ(colour(Json::parse(R"({"r": 0, "g": 1, "b": 0, "a": 0.5})")), (Channels{128, 0, 255, 0}));

  EXPECT_THAT(refusal2(Json::array({1.0, 0.94, 0.85})),
              AllOf(HasSubstr("red 1.0 is not a whole number"), HasSubstr("{\"r\": 1.0")));
  EXPECT_THAT(refusal2(Json::array({255, 256, 0})), HasSubstr("green 256 is outside 0 … 255"));
  EXPECT_THAT(refusal2(Json::array({255, 0, -1})), HasSubstr("blue -1 is outside 0 … 255"));
  EXPECT_THAT(refusal2(Json::parse(R"({"r": 255, "g": 0, "b": 0})")), HasSubstr("\"r\" 255 is outside 0 … 1"));
  EXPECT_THAT(refusal2(Json::parse(R"({"r": 1, "g": 0})")), HasSubstr("it has no \"b\""));
  EXPECT_THAT(refusal2(Json::parse(R"({"r": 1, "g": 0, "b": 0, "alpha": 1})")), HasSubstr("unknown member \"alpha\""));
  for (const Json& bad : {Json("#ff80"), Json("#ff80000"), Json("red"), Json::array({1, 2}), Json(7), Json(nullptr)}) {
    EXPECT_THAT(refusal2(bad), HasSubstr("is not a colour")) << bad;
  }
}

TEST(ParamValue, CheckboxesColoursAndChoices) {
  std::vector<std::string> w;
  PF_ParamDef box = named(PF_Param_CHECKBOX, "Visible");
  box.u.bd.name = "Visible";
  const ParamDeclaration checkbox(box);
  EXPECT_EQ(convert(checkbox, true, w)[0], 1);
  EXPECT_EQ(convert(checkbox, false, w)[0], 0);
  EXPECT_THAT(refusal(checkbox, 1), HasSubstr("is not true or false"));

  const ParamDeclaration colour(named(PF_Param_COLOR, "Color"));
  EXPECT_EQ(convert(colour, Json::array({255, 128, 0}), w), (Channels{255, 255, 128, 0}));
  EXPECT_EQ(convert(colour, Json::array({64, 1, 2, 3}), w), (Channels{64, 1, 2, 3}));
  EXPECT_EQ(convert(colour, "#FF8001", w), (Channels{255, 255, 128, 1}));
  EXPECT_THAT(w, IsEmpty());
  EXPECT_EQ(convert(colour, Json::array({300, -4, 7.6}), w), (Channels{255, 255, 0, 8}));
  EXPECT_THAT(w, ElementsAre(HasSubstr("red 300 is outside 0 … 255"), HasSubstr("green -4")));
  for (const Json& bad : {Json("#ff80"), Json("ff8000"), Json("#gg0000"), Json::array({1, 2}),
                          Json::array({1, "2", 3}), Json(7)}) {
    EXPECT_THAT(refusal(colour, bad), HasSubstr("is not a colour")) << bad;
  }

  w.clear();
  EXPECT_EQ(convert(colour, Json::array({1.0, 0.94, 0.85}), w), (Channels{255, 1, 1, 1}))
      << "format 1 reads as it always did";
  EXPECT_THAT(w, ElementsAre(HasSubstr("is read as 0 … 255 values, which makes it almost black")));

  w.clear();
  EXPECT_EQ(convert(popup(), "Inv Dist", w)[0], 2);
  EXPECT_EQ(convert(popup(), "inv dist sq", w)[0], 3) << "case is forgiven";
  EXPECT_EQ(convert(popup(), 1, w)[0], 1);
  EXPECT_THAT(w, IsEmpty());
  EXPECT_EQ(convert(popup(), 9, w)[0], 3);
  EXPECT_THAT(w, ElementsAre("choice 9 is outside 1 … 3; using 3 (\"Inv Dist Sq\")"));
  EXPECT_EQ(refusal(popup(), "Inverse"),
            "\"Inverse\" is not one of the choices \"None\", \"Inv Dist\", \"Inv Dist Sq\" (or "
            "their numbers 1 … 3)");
  EXPECT_THAT(refusal(popup(), 1.5), HasSubstr("is not a choice; choices: \"None\""));
}

TEST(ParamValue, LayersByNameAndControlsWithoutValues) {
  const ParamDeclaration layer(named(PF_Param_LAYER, "Height Field"));
  std::vector<std::string> w;
  EXPECT_EQ(convert(layer, "Sky", w)[0], 4) << "ids are 1-based layer positions";
  EXPECT_EQ(convert(layer, nullptr, w)[0], 0);
  EXPECT_EQ(convert(layer, "", w)[0], 0);
  EXPECT_EQ(refusal(layer, "Sea"),
            "no layer is named \"Sea\"; layers: \"Floor\", \"Lamp\", \"Lamp\", \"Sky\"");
  EXPECT_THAT(refusal(layer, "Lamp"), HasSubstr("2 layers are named \"Lamp\""));
  EXPECT_THAT(refusal(layer, 2), HasSubstr("is not a layer name"));

  PF_ParamDef control = named(PF_Param_NO_DATA, "Manipulator");
  control.ui_flags = PF_PUI_CONTROL;
  const ParamDeclaration manipulator(control);
  EXPECT_EQ(refusal(manipulator, 1), "is a custom control and takes no value");
  EXPECT_FALSE(isSettable(manipulator, 1));
  EXPECT_FALSE(isSettable(layer, 0)) << "the input layer is the host's";
  EXPECT_TRUE(isSettable(layer, 3));
  EXPECT_TRUE(isDiscrete(layer));
  EXPECT_TRUE(isDiscrete(popup()));
  EXPECT_FALSE(isDiscrete(slider()));

  const std::vector<ParamDeclaration> table = {ParamDeclaration::inputLayer(), manipulator,
                                               slider(), popup()};
  EXPECT_THAT(settableNames(table), ElementsAre("X Position", "Attenuation"));
}

}  // namespace
}  // namespace vask::host
