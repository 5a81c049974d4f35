// The manipulator driven through `main` by the host's effect-controls
// window: the parameter arithmetic of each tool as the host records it, the
// palette's buttons as the user sees them, and the panel's limits (no
// drawing context, empty frames, the shared scene left alone).
#include <algorithm>
#include <vector>

#include "PluginTestSupport.h"
#include "host/CallbackBridge.h"
#include "host/EffectControls.h"
#include "platform/q3d/QD3DGroup.h"
#include "shell/ParamTables.h"

namespace vask::test {
namespace {

using host::EffectControls;

int32_t deg(double d) { return static_cast<int32_t>(d * 65536); }

// The middle of a palette cell, from the manipulator's corner.
os::Point cell(int column, int row) { return {column * 25 + 13, row * 21 + 11}; }

class ManipulatorTest : public PluginTest {
 protected:
  // A window of `width` for the instance, drawn once.
  EffectControls& window(host::Instance& i, int width = 300) {
    windows_.push_back(std::make_unique<EffectControls>(i, width));
    EffectControls& w = *windows_.back();
    auto r = w.drawAll();
    EXPECT_TRUE(r.ok()) << r;
    i.takeChangedParams();
    return w;
  }

  static const EffectControls::Control& manipulator(EffectControls& w) {
    return *std::find_if(w.controls().begin(), w.controls().end(),
                         [](const auto& c) { return c.name == "Manipulator"; });
  }

  static void click(EffectControls& w, const EffectControls::Control& c, os::Point p) {
    ASSERT_TRUE(w.press(c, p).ok());
    ASSERT_TRUE(w.release(p).ok());
  }

  static void drag(EffectControls& w, os::Point from, std::initializer_list<os::Point> path,
                   int32_t modifiers = 0) {
    ASSERT_TRUE(w.press(manipulator(w), from, modifiers).ok());
    for (os::Point p : path) ASSERT_TRUE(w.dragTo(p, modifiers).ok());
    ASSERT_TRUE(w.release(path.size() ? *(path.end() - 1) : from, modifiers).ok());
  }

  // The pixels of one palette cell as the window shows it.
  static std::vector<os::Pixel> look(EffectControls& w, int column, int row) {
    const os::Rect f = manipulator(w).frame;
    std::vector<os::Pixel> out;
    for (int y = 0; y < 22; ++y)
      for (int x = 0; x < 26; ++x) out.push_back(w.canvas().pixel(f.x + column * 25 + x, f.y + row * 21 + y));
    return out;
  }

  static std::vector<int32_t> sorted(std::vector<int32_t> v) {
    std::sort(v.begin(), v.end());
    return v;
  }

 private:
  std::vector<std::unique_ptr<EffectControls>> windows_;
};

TEST_F(ManipulatorTest, RotateIsOneDegreePerPixelAndShiftRollsAboutTheCentre) {
  using namespace shapemesh;
  host::Instance& i = apply(load("shapemesh"));
  EffectControls& w = window(i);
  drag(w, {150, 40}, {{165, 45}, {180, 50}});
  EXPECT_EQ(i.param(kLeftRight).u.ad.value, deg(30));
  EXPECT_EQ(i.param(kUpDown).u.fd.value, deg(10));
  EXPECT_EQ(sorted(i.takeChangedParams()), (std::vector<int32_t>{kLeftRight, kLeftRight, kUpDown, kUpDown}));
  drag(w, {150, 0}, {{150, 50}, {150, 84}});
  EXPECT_EQ(i.param(kUpDown).u.fd.value, deg(90)) << "held at 90";

  // The control is 300 × 85: its centre is (150, 42). A clockwise quarter
  // turn on screen lowers "Vask" by 90 degrees, and leaves the angles.
  i.takeChangedParams();
  drag(w, {190, 42}, {{150, 82}}, PF_Mod_SHIFT_KEY);
  EXPECT_EQ(i.param(kVask).u.ad.value, deg(-90));
  EXPECT_EQ(i.param(kLeftRight).u.ad.value, deg(30));
  EXPECT_EQ(i.takeChangedParams(), (std::vector<int32_t>{kVask}));
  drag(w, {150, 82}, {{190, 42}}, PF_Mod_SHIFT_KEY);
  EXPECT_EQ(i.param(kVask).u.ad.value, 0);
}

TEST_F(ManipulatorTest, ScaleAndMoveToolsWriteTheirParameters) {
  using namespace shapemesh;
  host::Instance& i = apply(load("shapemesh"));
  EffectControls& w = window(i);
  click(w, manipulator(w), cell(1, 2));
  drag(w, {150, 30}, {{150, 40}});
  for (int32_t p : {kXScale, kYScale, kZScale}) EXPECT_EQ(i.param(p).u.fd.value, 72089) << p;
  drag(w, {150, 40}, {{150, 30}});
  for (int32_t p : {kXScale, kYScale, kZScale}) EXPECT_EQ(i.param(p).u.fd.value, 64880) << p;

  // A move that comes back to its first pixel restores the position.
  i.param(kXTranslation).u.fd.value = deg(0.25);
  click(w, manipulator(w), cell(1, 1));
  ASSERT_TRUE(w.press(manipulator(w), {150, 40}).ok());
  ASSERT_TRUE(w.dragTo({190, 20}).ok());
  EXPECT_GT(i.param(kXTranslation).u.fd.value, deg(0.25));
  EXPECT_GT(i.param(kYTranslation).u.fd.value, 0);
  EXPECT_EQ(i.param(kZTranslation).u.fd.value, 0) << "the plane faces the camera";
  ASSERT_TRUE(w.dragTo({150, 40}).ok());
  ASSERT_TRUE(w.release({150, 40}).ok());
  EXPECT_EQ(i.param(kXTranslation).u.fd.value, deg(0.25));
  EXPECT_EQ(i.param(kYTranslation).u.fd.value, 0);
}

TEST_F(ManipulatorTest, ResetWritesEveryPlacementDefaultAndMarksIt) {
  using namespace meshfile;
  host::Instance& i = apply(load("meshfile"));
  EffectControls& w = window(i);
  for (int32_t p = kLeftRight; p <= kZScale; ++p) i.param(p).u.fd.value = deg(3);
  click(w, manipulator(w), cell(1, 3));
  EXPECT_EQ(sorted(i.takeChangedParams()),
            (std::vector<int32_t>{3, 4, 5, 6, 7, 8, 9, 10, 11}));
  for (int32_t p = kLeftRight; p <= kZTranslation; ++p) EXPECT_EQ(i.param(p).u.fd.value, 0) << p;
  for (int32_t p : {kXScale, kYScale, kZScale}) EXPECT_EQ(i.param(p).u.fd.value, deg(1)) << p;
}

TEST_F(ManipulatorTest, PointLightButtonsMoveOrResetAndTwoDoNothing) {
  using namespace glowlamp;
  host::Instance& i = apply(load("glowlamp"));
  EffectControls& w = window(i);
  i.param(kXPosition).u.fd.value = deg(2);
  click(w, manipulator(w), cell(1, 1));
  click(w, manipulator(w), cell(1, 2));
  EXPECT_TRUE(i.takeChangedParams().empty());
  drag(w, {150, 40}, {{170, 40}});
  EXPECT_GT(i.param(kXPosition).u.fd.value, deg(2)) << "the move tool is still current";
  click(w, manipulator(w), cell(1, 3));
  EXPECT_EQ(i.param(kXPosition).u.fd.value, 0);
  EXPECT_EQ(i.param(kZPosition).u.fd.value, deg(1));
  const auto changed = i.takeChangedParams();
  EXPECT_EQ(std::count(changed.begin(), changed.end(), kAttenuation), 0);
}

TEST_F(ManipulatorTest, PaletteShowsTheToolAndButtonsPressedOnlyWhileHeld) {
  using namespace shapemesh;
  host::Instance& i = apply(load("shapemesh"));
  EffectControls& w = window(i);
  const auto rotateDown = look(w, 1, 0), scaleUp = look(w, 1, 2), resetUp = look(w, 0, 3);
  EXPECT_NE(rotateDown, look(w, 1, 1)) << "the current tool is drawn down";

  // A mode button released outside leaves the tool and the selection.
  ASSERT_TRUE(w.press(manipulator(w), cell(1, 2)).ok());
  EXPECT_NE(look(w, 1, 2), scaleUp);
  ASSERT_TRUE(w.dragTo({200, 60}).ok());
  EXPECT_EQ(look(w, 1, 2), scaleUp);
  ASSERT_TRUE(w.release({200, 60}).ok());
  EXPECT_EQ(look(w, 1, 0), rotateDown);
  drag(w, {150, 40}, {{160, 40}});
  EXPECT_EQ(i.param(kLeftRight).u.ad.value, deg(10)) << "still rotating";

  // Reset camera is down while held and up afterwards.
  ASSERT_TRUE(w.press(manipulator(w), cell(0, 3)).ok());
  EXPECT_NE(look(w, 0, 3), resetUp);
  ASSERT_TRUE(w.release(cell(0, 3)).ok());
  EXPECT_EQ(look(w, 0, 3), resetUp);

  // Choosing scale raises rotate.
  click(w, manipulator(w), cell(1, 2));
  EXPECT_NE(look(w, 1, 0), rotateDown);
  EXPECT_NE(look(w, 1, 2), scaleUp);
}

TEST_F(ManipulatorTest, PreviewFillsTheControlLessPaletteAndStrip) {
  host::Instance& i = apply(load("glowlamp"));
  i.param(glowlamp::kZPosition).u.fd.value = deg(-50);  // out of sight
  EffectControls& w = window(i, 100);
  const os::Rect f = manipulator(w).frame;
  EXPECT_EQ(f.height, 85);
  const os::Pixel black{255, 0, 0, 0};
  EXPECT_EQ(w.canvas().pixel(f.x + 51, f.y), black);
  EXPECT_EQ(w.canvas().pixel(f.x + 94, f.y + 84), black);
  EXPECT_EQ(w.canvas().pixel(f.x + 95, f.y), os::kWindowColor);
  EXPECT_EQ(w.canvas().pixel(f.x + 99, f.y + 84), os::kWindowColor);
}

TEST_F(ManipulatorTest, ModelControlDrawsItsButtonAtTheCorner) {
  host::Instance& i = apply(load("meshfile"));
  EffectControls& w = window(i);
  const EffectControls::Control* model = w.control(meshfile::kModel);
  ASSERT_NE(model, nullptr);
  const os::Rect f = model->frame;
  EXPECT_EQ(w.canvas().pixel(f.x + 2, f.y + 2), os::kBlack);
  EXPECT_EQ(w.canvas().pixel(f.x + 51, f.y + 16), os::kBlack);
  EXPECT_EQ(w.canvas().pixel(f.x + 52, f.y + 2), os::kWindowColor);
  EXPECT_EQ(w.canvas().pixel(f.x + 1, f.y + 2), os::kWindowColor);

  // Import with a file that cannot be opened: the alert, nothing changed.
  desktop_.queueOpenFileAnswer("/nonexistent/vask.3dmf");
  ASSERT_TRUE(w.press(*model, {10, 8}).ok());
  EXPECT_EQ(w.canvas().pixel(f.x + 2, f.y + 2), os::kWhite) << "inverted while held";
  ASSERT_TRUE(w.release({10, 8}).ok());
  EXPECT_EQ(w.canvas().pixel(f.x + 2, f.y + 2), os::kBlack);
  ASSERT_EQ(desktop_.boxes().size(), 1u);
  EXPECT_NE(desktop_.boxes()[0].text.find("Could not use 3DMF model file."), std::string::npos);
}

TEST_F(ManipulatorTest, DrawsNothingWithoutAContextOrFrameAndLeavesTheSharedScene) {
  using namespace glowlamp;
  host::Instance& i = apply(load("glowlamp"));
  i.param(kVisible).u.bd.value = 1;
  ASSERT_TRUE(i.frameSetup().ok());
  SharedSceneBlock& block = sceneBlock();
  const TQ3GroupObject display = block.displayGroup, lights = block.lightGroup;
  auto count = [](TQ3GroupObject g) {
    TQ3Uns32 n = 0;
    Q3Group_CountObjects(g, &n);
    return n;
  };
  const TQ3Uns32 displayCount = count(display), lightCount = count(lights);

  EffectControls& w = window(i);
  click(w, manipulator(w), cell(0, 0));
  drag(w, {150, 40}, {{180, 60}});  // orbit
  click(w, manipulator(w), cell(1, 0));
  drag(w, {150, 40}, {{180, 60}});  // move
  EXPECT_EQ(block.displayGroup, display);
  EXPECT_EQ(block.lightGroup, lights);
  EXPECT_EQ(count(display), displayCount);
  EXPECT_EQ(count(lights), lightCount);
  ASSERT_TRUE(i.frameSetdown().ok());

  os::Canvas canvas(64, 64, os::kWhite);
  for (PF_LRect frame : {PF_LRect{0, 0, 0, 0}, PF_LRect{40, 40, 10, 10}, PF_LRect{0, 0, 64, 64}}) {
    for (void* ref : {static_cast<void*>(&canvas), static_cast<void*>(nullptr)}) {
      PF_ContextRecord context = host::makeEffectContext(ref);
      PF_EventExtra e{};
      e.contextH = &context;
      e.e_type = PF_Event_DRAW;
      e.effect_win.index = kManipulator;
      e.effect_win.area = PF_EA_CONTROL;
      e.effect_win.current_frame = frame;
      auto r = i.event(e);
      EXPECT_TRUE(r.ok()) << r;
      EXPECT_EQ(e.evt_out_flags, PF_EO_HANDLED_EVENT);
      if (frame.right <= frame.left) {
        EXPECT_EQ(canvas.pixel(0, 0), os::kWhite) << "an empty frame draws nothing";
      }
    }
  }
  // Outside the control area the event is not the panel's.
  PF_ContextRecord context = host::makeEffectContext(&canvas);
  PF_EventExtra title{};
  title.contextH = &context;
  title.e_type = PF_Event_DRAW;
  title.effect_win.area = PF_EA_PARAM_TITLE;
  ASSERT_TRUE(i.event(title).ok());
  EXPECT_EQ(title.evt_out_flags, PF_EO_NONE);
}

}  // namespace
}  // namespace vask::test
