// The frame commands and the shared scene block across the real libraries:
// one block per process, groups made by the first frame setup of any effect
// and cleared by any frame setdown, contributions that survive setdown, the
// no-op-render flag, and render passing the layer through.
#include "PluginTestSupport.h"
#include "platform/q3d/QD3DGroup.h"

namespace vask::test {
namespace {

class SceneTest : public PluginTest {};

TQ3Uns32 members(TQ3GroupObject g) {
  TQ3Uns32 n = 0;
  EXPECT_EQ(Q3Group_CountObjects(g, &n), kQ3Success);
  return n;
}

TEST_F(SceneTest, NewBlockStartsEmptyAndIsSharedByEveryLibrary) {
  os::testing::dropNamedMapping(kSharedSceneName);
  host::Instance& mesh = apply(load("shapemesh"));
  SharedSceneBlock& block = sceneBlock();
  EXPECT_EQ(block.displayGroup, nullptr);
  EXPECT_EQ(block.lightGroup, nullptr);
  block.unused[100] = 0x5A;

  host::Instance& spot = apply(load("beamlamp"));
  ASSERT_TRUE(mesh.frameSetup().ok());
  TQ3GroupObject display = block.displayGroup, lights = block.lightGroup;
  ASSERT_NE(display, nullptr);
  ASSERT_NE(lights, nullptr);
  EXPECT_TRUE(Q3Object_IsType(display, kQ3GroupTypeDisplay));
  EXPECT_TRUE(Q3Object_IsType(lights, kQ3GroupTypeLight));
  ASSERT_TRUE(spot.frameSetup().ok());
  EXPECT_EQ(block.displayGroup, display) << "the second library finds the groups";
  EXPECT_EQ(block.lightGroup, lights);

  ASSERT_TRUE(spot.frameSetdown().ok()) << "any library's setdown clears both";
  EXPECT_EQ(block.displayGroup, nullptr);
  EXPECT_EQ(block.lightGroup, nullptr);
  EXPECT_TRUE(mesh.frameSetdown().ok()) << "a second setdown finds nothing to do";
  EXPECT_EQ(block.unused[100], 0x5A) << "the rest of the block is never touched";
}

TEST_F(SceneTest, ReloadingALibraryKeepsTheBlockAndItsGroups) {
  host::Effect& first = load("glowlamp");
  host::Instance& i = apply(first);
  ASSERT_TRUE(i.frameSetup().ok());
  TQ3GroupObject display = sceneBlock().displayGroup;
  ASSERT_TRUE(i.sequenceSetdown().ok());
  ASSERT_TRUE(first.globalSetdown().ok());

  host::Effect& again = load("glowlamp");
  host::Instance& j = apply(again);
  EXPECT_EQ(sceneBlock().displayGroup, display);
  ASSERT_TRUE(j.frameSetup().ok());
  EXPECT_EQ(sceneBlock().displayGroup, display) << "groups in the block are kept";
  ASSERT_TRUE(j.frameSetdown().ok());
}

TEST_F(SceneTest, NoOpRenderFlagAndPassThroughRender) {
  for (const char* name : kPlugins) {
    host::Instance& i = apply(load(name));
    auto r = i.frameSetup();
    ASSERT_TRUE(r.ok()) << name << r;
    const bool nop = (r.out.out_flags & PF_OutFlag_NOP_RENDER) != 0;
    EXPECT_EQ(nop, std::string(name) != "beamlamp") << name;

    // Input and output of different sizes: the whole input covers the output.
    i.input() = host::World(3, 2);
    i.input().fill(PF_Pixel{255, 10, 20, 30});
    i.output() = host::World(6, 4);
    r = i.render();
    ASSERT_TRUE(r.ok()) << name << r;
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x)
        ASSERT_EQ(i.output().at(x, y), (PF_Pixel{255, 10, 20, 30})) << name << " " << x << "," << y;
    ASSERT_TRUE(i.frameSetdown().ok());
  }
}

TEST_F(SceneTest, FailedCopyReachesTheHost) {
  host::Effect& e = load("shapemesh");
  host::Instance& i = apply(e);
  e.setCallbackHook([](const host::CallbackCall& c) {
    return c.name == "copy" ? PF_Err_INTERNAL_STRUCT_DAMAGED : PF_Err_NONE;
  });
  auto r = i.render();
  e.setCallbackHook(nullptr);
  EXPECT_EQ(r.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(r.message, "After Effects internal structure damaged.");
}

TEST_F(SceneTest, GroupThatCannotBeMadeFailsTheFrameAndLeavesTheOther) {
  host::Instance& i = apply(load("beamlamp"));
  Q3Testing_FailCall("Q3LightGroup_New", kQ3ErrorOutOfMemory, 0);
  auto r = i.frameSetup();
  EXPECT_EQ(r.err, kQ3ErrorOutOfMemory);
  EXPECT_EQ(r.message, "OS error " + std::to_string(kQ3ErrorOutOfMemory));
  EXPECT_NE(sceneBlock().displayGroup, nullptr) << "the display group made first stays";
  EXPECT_EQ(sceneBlock().lightGroup, nullptr);
  ASSERT_TRUE(i.frameSetup().ok()) << "the next frame recovers";
  EXPECT_EQ(members(sceneBlock().lightGroup), 1u) << "the spot light";
  ASSERT_TRUE(i.frameSetdown().ok());
}

TEST_F(SceneTest, FrameCommandsBeforeGlobalSetupAreRefused) {
  host::Effect& e = load("glowlamp");
  host::Instance& i = apply(e);
  ASSERT_TRUE(e.globalSetdown().ok());
  EXPECT_EQ(i.frameSetup().err, PF_Err_INVALID_CALLBACK);
  e.clearViolations();
}

}  // namespace
}  // namespace vask::test
