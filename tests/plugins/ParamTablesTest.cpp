// The four parameter tables as the host receives them at params setup: order,
// names, types, ranges, defaults, flags, precision, choices and the custom
// controls' areas. Indices are the vocabulary of every later feature, so a
// slip here breaks every effect silently.
#include "PluginTestSupport.h"

namespace vask::test {
namespace {

constexpr PF_Fixed F(double v) { return static_cast<PF_Fixed>(v * 65536.0); }

struct Row {
  const char* name;
  PF_ParamType type;
  int32_t flags = 32;
  // sliders: default, slider min/max, valid min/max; angles: default
  double dflt = 0, sliderMin = 0, sliderMax = 0, validMin = 0, validMax = 0;
  const char* text = nullptr;  // checkbox label or popup choices
  int count = 0;               // popup choices, or custom control width
  int height = 0;              // custom control height
  PF_Pixel color{};
};

Row custom(const char* name, int32_t flags, int w, int h) {
  return {name, PF_Param_NO_DATA, flags, 0, 0, 0, 0, 0, nullptr, w, h};
}
Row angle(const char* name, double d) { return {name, PF_Param_ANGLE, 32, d}; }
Row slider(const char* name, double d, double smin, double smax, double vmin, double vmax) {
  return {name, PF_Param_FIX_SLIDER, 32, d, smin, smax, vmin, vmax};
}
Row translation(const char* name, double d = 0) { return slider(name, d, -5, 5, -1000, 1000); }
Row scale(const char* name) { return slider(name, 1, 0, 10, 0, 1000); }
Row layer(const char* name) { return {name, PF_Param_LAYER}; }
Row checkbox(const char* name) { return {name, PF_Param_CHECKBOX, 32, 0, 0, 0, 0, 0, name}; }
Row popup(const char* name, const char* choices, int n) {
  return {name, PF_Param_POPUP, 32, 1, 0, 0, 0, 0, choices, n};
}
Row color(PF_Pixel c) {
  Row r{"Color", PF_Param_COLOR};
  r.color = c;
  return r;
}

std::vector<Row> placement() {
  return {angle("Left/Right", 0),         slider("Up/Down", 0, -90, 90, -90, 90),
          angle("Vask", 0),               translation("X Translation"),
          translation("Y Translation"),   translation("Z Translation"),
          scale("X Scale"),               scale("Y Scale"),
          scale("Z Scale")};
}

std::vector<Row> expectedTable(const std::string& plugin) {
  const Row manipulator = custom("Manipulator", 2, 100, 85);
  const char* attenuation = "None|Inv Dist|Inv Dist Sq";
  std::vector<Row> rows;
  if (plugin == "meshfile") {
    rows = {custom("Model", 0, 256, 36), manipulator};
    for (Row r : placement()) rows.push_back(r);
  } else if (plugin == "shapemesh") {
    rows = {manipulator};
    for (Row r : placement()) rows.push_back(r);
    for (Row r : {layer("Height Field"), popup("Height From", "Luminance|Red|Green|Blue|Alpha", 5),
                  checkbox("Invert"), layer("Texture"), color({255, 127, 127, 127}),
                  checkbox("Smooth")})
      rows.push_back(r);
  } else if (plugin == "beamlamp") {
    rows = {manipulator,
            angle("Left/Right", -130),
            slider("Up/Down", -30, -90, 90, -90, 90),
            translation("X Position", 0.5),
            translation("Y Position", 0.5),
            translation("Z Position", 0.5),
            popup("Attenuation", attenuation, 3),
            popup("Fall Off", "None|Linear|Exp|Cos", 4),
            slider("Hot Angle", 10, 0, 90, 0, 90),
            slider("Outer Angle", 30, 0, 90, 0, 90),
            slider("Intensity", 1, 0, 1, 0, 1),
            color({255, 255, 255, 255}),
            checkbox("Visible")};
  } else {
    rows = {manipulator,
            translation("X Position"),
            translation("Y Position"),
            translation("Z Position", 1),
            popup("Attenuation", attenuation, 3),
            slider("Intensity", 1, 0, 1, 0, 1),
            color({255, 255, 255, 255}),
            checkbox("Visible")};
  }
  return rows;
}

class ParamTablesTest : public PluginTest {};

TEST_F(ParamTablesTest, EachEffectDeclaresItsTable) {
  for (const char* name : kPlugins) {
    host::Effect& e = load(name);
    const std::vector<Row> rows = expectedTable(name);
    const auto& declared = e.params();
    ASSERT_EQ(declared.size(), rows.size() + 1) << name;
    EXPECT_EQ(e.numParams(), static_cast<int32_t>(rows.size() + 1)) << name;
    ASSERT_TRUE(e.customUI().has_value());
    EXPECT_EQ(e.customUI()->events, PF_CustomEFlag_EFFECT);
    for (std::size_t k = 0; k < rows.size(); ++k) {
      const Row& row = rows[k];
      const PF_ParamDef& d = declared[k + 1].def();
      SCOPED_TRACE(std::string(name) + " #" + std::to_string(k + 1) + " " + row.name);
      EXPECT_EQ(declared[k + 1].name(), row.name);
      ASSERT_EQ(d.param_type, row.type);
      EXPECT_EQ(d.flags, row.flags);
      switch (row.type) {
        case PF_Param_NO_DATA:
          EXPECT_EQ(d.ui_flags, PF_PUI_CONTROL);
          EXPECT_EQ(d.ui_width, row.count);
          EXPECT_EQ(d.ui_height, row.height);
          break;
        case PF_Param_ANGLE:
          EXPECT_EQ(d.u.ad.dephault, F(row.dflt));
          EXPECT_EQ(d.u.ad.value, F(row.dflt));
          break;
        case PF_Param_FIX_SLIDER:
          EXPECT_EQ(d.u.fd.dephault, F(row.dflt));
          EXPECT_EQ(d.u.fd.value, F(row.dflt));
          EXPECT_EQ(d.u.fd.slider_min, F(row.sliderMin));
          EXPECT_EQ(d.u.fd.slider_max, F(row.sliderMax));
          EXPECT_EQ(d.u.fd.valid_min, F(row.validMin));
          EXPECT_EQ(d.u.fd.valid_max, F(row.validMax));
          EXPECT_EQ(d.u.fd.precision, 2);
          EXPECT_EQ(d.u.fd.display_flags, 0);
          break;
        case PF_Param_CHECKBOX:
          EXPECT_EQ(declared[k + 1].label(), row.text);
          EXPECT_EQ(d.u.bd.dephault, 0);
          break;
        case PF_Param_POPUP:
          EXPECT_EQ(declared[k + 1].choices(), row.text);
          EXPECT_EQ(d.u.pd.num_choices, row.count);
          EXPECT_EQ(d.u.pd.dephault, 1);
          break;
        case PF_Param_COLOR:
          EXPECT_EQ(d.u.cd.dephault, row.color);
          EXPECT_EQ(d.u.cd.value, row.color);
          break;
        case PF_Param_LAYER:
          EXPECT_EQ(d.u.ld.dephault, 0);
          break;
        default:
          FAIL() << "unexpected type";
      }
    }
  }
}

TEST_F(ParamTablesTest, RefusedDefinitionStopsParamsSetup) {
  host::Effect& e = load("beamlamp", /*setUp=*/false);
  ASSERT_TRUE(e.globalSetup().ok());
  e.setCallbackHook([](const host::CallbackCall& c) {
    return c.name == "register_ui" ? PF_Err_INVALID_CALLBACK : PF_Err_NONE;
  });
  auto r = e.paramsSetup();
  e.setCallbackHook(nullptr);
  EXPECT_EQ(r.err, PF_Err_INVALID_CALLBACK);
  EXPECT_EQ(r.message, "After Effects invalid callback.");
  EXPECT_EQ(e.params().size(), 14u) << "what was declared stays declared";
  e.clearViolations();
}

}  // namespace
}  // namespace vask::test
