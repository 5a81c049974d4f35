// The Scene Render effect draws the frame's shared scene through its own
// camera over its input, and leaves the shared block alone.
#include "PluginTestSupport.h"
#include "consumer/SceneRender.h"
#include "host/HandleSuite.h"
#include "scene/LightRecord.h"
#include "shell/ParamTables.h"

namespace vask::test {
namespace {

constexpr PF_Fixed F(double v) { return static_cast<PF_Fixed>(v * 65536.0); }

class SceneRenderTest : public PluginTest {
 protected:
  // Counts output pixels that differ from `background`.
  static int changed(host::World& w, PF_Pixel background) {
    int n = 0;
    for (int y = 0; y < w.height(); ++y)
      for (int x = 0; x < w.width(); ++x) n += !(w.at(x, y) == background);
    return n;
  }
};

TEST_F(SceneRenderTest, DrawsTheMarkersOverTheInputAndLeavesTheBlockAlone) {
  host::Instance& spot = apply(load("beamlamp"));
  host::Instance& render = apply(load("scenerender"));
  using namespace scenerender;
  spot.param(beamlamp::kVisible).u.bd.value = 1;
  spot.param(beamlamp::kColor).u.cd.value = PF_Pixel{255, 255, 0, 0};
  // Look at the marker (at the light, 0.5, 0.5, 0.5) from 1.5 units away.
  render.param(kCameraX).u.fd.value = F(0.5);
  render.param(kCameraY).u.fd.value = F(0.5);
  render.param(kCameraZ).u.fd.value = F(2.0);
  render.param(kTargetX).u.fd.value = F(0.5);
  render.param(kTargetY).u.fd.value = F(0.5);
  render.param(kTargetZ).u.fd.value = F(0.5);
  const PF_Pixel blue{255, 0, 0, 200};
  render.input() = host::World(64, 48);
  render.input().fill(blue);
  render.output() = host::World(64, 48);

  ASSERT_TRUE(spot.frameSetup().ok());
  auto r = render.frameSetup();
  ASSERT_TRUE(r.ok()) << r;
  EXPECT_EQ(r.out.out_flags & PF_OutFlag_NOP_RENDER, 0) << "the render changes pixels";
  const TQ3GroupObject display = sceneBlock().displayGroup, lights = sceneBlock().lightGroup;
  r = render.render();
  ASSERT_TRUE(r.ok()) << r;
  EXPECT_EQ(render.output().at(0, 0), blue) << "the input stays under the scene";
  const int drawn = changed(render.output(), blue);
  EXPECT_GT(drawn, 50) << "the marker covers part of the frame";
  EXPECT_LT(drawn, 64 * 48 / 2);
  const PF_Pixel centre = render.output().at(32, 24);
  EXPECT_FALSE(centre == blue) << "the marker is in the middle of the view";
  EXPECT_EQ(centre.alpha, 255);
  ASSERT_TRUE(render.frameSetdown().ok());
  EXPECT_EQ(sceneBlock().displayGroup, display) << "the consumer never clears the groups";
  EXPECT_EQ(sceneBlock().lightGroup, lights);
  ASSERT_TRUE(spot.frameSetdown().ok());

  // "Ambient" adds white light, in proportion, to what the scene's lights
  // give: the red marker's centre gains red and nothing else.
  auto centreAt = [&](double percent) {
    render.param(kAmbient).u.fd.value = F(percent);
    EXPECT_TRUE(spot.frameSetup().ok());
    EXPECT_TRUE(render.frameSetup().ok());
    EXPECT_TRUE(render.render().ok());
    const PF_Pixel p = render.output().at(32, 24);
    EXPECT_TRUE(render.frameSetdown().ok());
    EXPECT_TRUE(spot.frameSetdown().ok());
    return p;
  };
  const PF_Pixel none = centreAt(0), half = centreAt(50), full = centreAt(100);
  EXPECT_NEAR(half.red - none.red, 128, 3);
  EXPECT_EQ(full.red, 255);
  EXPECT_EQ(half.green, none.green);
  EXPECT_EQ(half.blue, none.blue);
  const auto& light = *reinterpret_cast<const LightSequenceRecord*>(host::handles::bytes(spot.sequenceData()).data());
  EXPECT_EQ(Q3Shared_GetReferenceCount(light.light), 1u) << "the consumer keeps no reference to the scene's light";

  // Transparent background, empty scene: a transparent frame.
  render.param(kBackground).u.pd.value = kTransparent;
  ASSERT_TRUE(render.frameSetup().ok());
  ASSERT_TRUE(render.render().ok());
  EXPECT_EQ(changed(render.output(), PF_Pixel{0, 0, 0, 0}), 0);
}

// The view and its lights are made at the first render; a failure while
// making them leaves nothing half made, and the next frame makes them all.
TEST_F(SceneRenderTest, ViewThatCannotBeMadeFailsTheFrameAndTheNextOneRenders) {
  host::Instance& spot = apply(load("beamlamp"));
  host::Instance& render = apply(load("scenerender"));
  spot.param(beamlamp::kVisible).u.bd.value = 1;
  render.input() = host::World(32, 24);
  render.output() = host::World(32, 24);
  // The light and its marker, made once.
  ASSERT_TRUE(spot.frameSetup().ok());
  ASSERT_TRUE(spot.frameSetdown().ok());
  const TQ3Uns32 liveBefore = Q3Testing_LiveObjectCount();
  for (const char* call : {"Q3AmbientLight_New", "Q3View_New", "Q3View_SetRenderer"}) {
    SCOPED_TRACE(call);
    Q3Testing_FailCall(call, kQ3ErrorOutOfMemory, 0);
    ASSERT_TRUE(spot.frameSetup().ok());
    ASSERT_TRUE(render.frameSetup().ok());
    EXPECT_EQ(render.render().err, kQ3ErrorOutOfMemory);
    ASSERT_TRUE(render.frameSetdown().ok());
    ASSERT_TRUE(spot.frameSetdown().ok());
    Q3Testing_ClearFailures();
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveBefore) << "nothing of the view is kept";
  }
  ASSERT_TRUE(spot.frameSetup().ok());
  ASSERT_TRUE(render.frameSetup().ok());
  EXPECT_TRUE(render.render().ok());
  ASSERT_TRUE(render.frameSetdown().ok());
  ASSERT_TRUE(spot.frameSetdown().ok());
}

}  // namespace
}  // namespace vask::test
