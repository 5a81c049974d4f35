// Global and sequence lifecycle of the real effect libraries: what global
// setup reports, the scene library's version check, and every sequence
// transition with both flat forms, including flat records from damaged
// projects.
#include <cstring>

#include "PluginTestSupport.h"
#include "platform/os/SystemMessage.h"

namespace vask::test {
namespace {

class LifecycleTest : public PluginTest {};

TEST_F(LifecycleTest, GlobalSetupReportsVersionAndFlags) {
  for (const char* name : kPlugins) {
    host::Effect& e = load(name, /*setUp=*/false);
    auto r = e.globalSetup();
    ASSERT_TRUE(r.ok()) << name << r;
    EXPECT_EQ(r.out.my_version, 0x00080600u) << name;
    EXPECT_EQ(r.out.out_flags, 0x8001) << name;
    EXPECT_EQ(e.pipl().effectVersion, r.out.my_version) << "PiPL and run time agree";
    EXPECT_EQ(static_cast<int32_t>(e.pipl().globalFlags), r.out.out_flags);
    PF_Handle global = e.globalData();
    ASSERT_NE(global, nullptr);
    const std::vector<std::byte> before(host::handles::bytes(global).begin(),
                                        host::handles::bytes(global).end());
    ASSERT_TRUE(e.globalSetup().ok());
    EXPECT_EQ(e.globalData(), global) << "a second global setup keeps the handle";
    EXPECT_TRUE(std::ranges::equal(host::handles::bytes(global), before));
    ASSERT_TRUE(e.globalSetdown().ok());
    EXPECT_EQ(e.globalData(), nullptr);
  }
}

TEST_F(LifecycleTest, SceneLibraryVersionIsChecked) {
  struct Case {
    TQ3Uns32 major, minor;
    PF_Err expected;
  } cases[] = {{1, 4, 1038}, {0, 9, 1038}, {1, 5, 0}, {2, 0, 0}};
  for (const Case& c : cases) {
    host::Effect& e = load("shapemesh", /*setUp=*/false);
    Q3Testing_SetVersion(c.major, c.minor);
    auto r = e.globalSetup();
    EXPECT_EQ(r.err, c.expected) << c.major << "." << c.minor;
    if (c.expected) {
      EXPECT_EQ(r.message, "VASK requires QuickDraw 3D version 1.5 or greater.");
      EXPECT_EQ(r.out.out_flags, PF_OutFlag_KEEP_RESOURCE_OPEN | PF_OutFlag_DISPLAY_ERROR_MESSAGE)
          << "flags written before the failure stay; custom UI is not declared";
      EXPECT_EQ(e.globalData(), nullptr);
      EXPECT_FALSE(Q3IsInitialized()) << "a failed setup gives its hold on the scene library back";
    }
    Q3Testing_Reset();
    ASSERT_TRUE(e.globalSetup().ok());
    ASSERT_TRUE(e.globalSetdown().ok());
  }
  host::Effect& e = load("shapemesh", /*setUp=*/false);
  Q3Testing_FailCall("Q3GetVersion", kQ3ErrorInvalidParameter, 0);
  EXPECT_EQ(e.globalSetup().err, 1038) << "an unreadable version fails the same way";
}

TEST_F(LifecycleTest, SceneLibraryThatCannotStartFails) {
  // Another library holding the scene library open would hide the failure.
  ASSERT_FALSE(Q3IsInitialized());
  host::Effect& e = load("meshfile", /*setUp=*/false);
  Q3Testing_FailCall("Q3Initialize", kQ3ErrorOutOfMemory, 0);
  auto r = e.globalSetup();
  EXPECT_EQ(r.err, 1027);
  EXPECT_EQ(r.message, "QuickDraw 3D failed to initialize.");
  EXPECT_FALSE(Q3IsInitialized());
}

TEST_F(LifecycleTest, OneLibrarysSetdownLeavesTheSceneLibraryToTheOthers) {
  host::Effect& a = load("shapemesh");
  host::Effect& b = load("glowlamp");
  ASSERT_TRUE(a.globalSetdown().ok());
  EXPECT_TRUE(Q3IsInitialized());
  host::Instance& i = apply(b);
  EXPECT_TRUE(i.frameSetup().ok()) << "the other library still makes groups";
  EXPECT_TRUE(i.frameSetdown().ok());
  ASSERT_TRUE(b.globalSetdown().ok());
  EXPECT_FALSE(Q3IsInitialized());
}

TEST_F(LifecycleTest, MarkerRecordsFlattenToFourBytes) {
  for (const char* name : {"shapemesh", "beamlamp", "glowlamp"}) {
    host::Effect& e = load(name);
    host::Instance& i = apply(e);
    const TQ3Uns32 objects = Q3Testing_LiveObjectCount();
    auto r = i.sequenceFlatten();
    ASSERT_TRUE(r.ok()) << r;
    EXPECT_EQ(r.out.flat_sdata_size, 4);
    EXPECT_EQ(i.flatSequenceBytes(), (std::vector<std::byte>{std::byte{1}, {}, {}, {}}));
    PF_Handle flat = i.sequenceData();
    r = i.sequenceFlatten();
    EXPECT_EQ(r.out.flat_sdata_size, 4) << "flattening again keeps the flat record";
    EXPECT_EQ(i.sequenceData(), flat);
    ASSERT_TRUE(i.sequenceResetup().ok());
    EXPECT_NE(i.sequenceData(), flat);
    EXPECT_EQ(host::handles::bytes(i.sequenceData())[0], std::byte{0}) << name << " is live again";
    EXPECT_EQ(Q3Testing_LiveObjectCount(), objects);
    PF_Handle live = i.sequenceData();
    ASSERT_TRUE(i.sequenceResetup().ok());
    EXPECT_EQ(i.sequenceData(), live) << "re-setup of a live record changes nothing";
    ASSERT_TRUE(i.sequenceSetdown().ok());
    EXPECT_EQ(i.sequenceData(), nullptr);
  }
}

TEST_F(LifecycleTest, DamagedRecordsAreReplacedNotRead) {
  const std::vector<std::vector<std::byte>> damaged = {
      {}, {std::byte{1}}, {std::byte{7}, {}, {}, {}}, {std::byte{0}, {}, {}, {}, {}, {}}};
  for (const char* name : kPlugins) {
    host::Effect& e = load(name);
    for (const auto& bytes : damaged) {
      host::Instance& i = apply(e, /*setUp=*/false);
      i.setFlatSequenceData(bytes);
      auto r = i.sequenceResetup();
      ASSERT_TRUE(r.ok()) << name << " " << bytes.size() << " bytes: " << r;
      EXPECT_EQ(host::handles::bytes(i.sequenceData())[0], std::byte{0}) << "a fresh live record";
      EXPECT_TRUE(i.sequenceSetdown().ok());
    }
  }
}

// Saved bytes that imitate a live record (flag 0 at the live record's size,
// every "pointer" 0x4141…) are never read as one: not by re-setup, flatten,
// frame setup, events or setdown. Under the sanitizers any read through them
// would be a crash.
TEST_F(LifecycleTest, SavedBytesNeverBecomeALiveRecord) {
  for (const char* name : kPlugins) {
    host::Effect& e = load(name);
    host::Instance& real = apply(e);
    std::vector<std::byte> imitation(host::handles::bytes(real.sequenceData()).size(), std::byte{0x41});
    std::memset(imitation.data(), 0, 4);

    host::Instance& i = apply(e, /*setUp=*/false);
    i.setFlatSequenceData(imitation);
    auto f = i.sequenceFlatten();
    EXPECT_TRUE(f.ok()) << name << ": " << f;
    EXPECT_EQ(i.flatSequenceBytes(), imitation) << name << ": passed on untouched, not read";
    i.setFlatSequenceData(imitation);
    auto r = i.sequenceResetup();
    ASSERT_TRUE(r.ok()) << name << ": " << r;
    EXPECT_NE(host::handles::bytes(i.sequenceData())[4], std::byte{0x41}) << name << ": a fresh record";
    EXPECT_TRUE(i.frameSetup().ok()) << name;
    EXPECT_TRUE(i.frameSetdown().ok()) << name;
    EXPECT_TRUE(i.sequenceSetdown().ok()) << name;

    i.setFlatSequenceData(imitation);
    EXPECT_TRUE(i.sequenceSetdown().ok()) << name << ": setdown frees the handle only";
  }
}

TEST_F(LifecycleTest, ModelRecordFlattensWithStampsAndPlacement) {
  host::Effect& e = load("meshfile");
  // A set-up makes the model transform and a controls panel with its preview.
  const TQ3Uns32 beforeSetup = Q3Testing_LiveObjectCount();
  host::Instance& i = apply(e);
  const TQ3Uns32 panelObjects = Q3Testing_LiveObjectCount() - beforeSetup - 1;
  auto r = i.sequenceFlatten();
  ASSERT_TRUE(r.ok()) << r;
  EXPECT_EQ(r.out.flat_sdata_size, 32);
  FlatModel f = FlatModel::from(i.flatSequenceBytes());
  EXPECT_EQ(f.flag, 1);
  EXPECT_EQ(f.pathLength, 0);
  EXPECT_EQ(f.scale, 1.0f);
  EXPECT_NE(f.seconds, 0) << "stamped at setup";

  // Back while the host runs: the same stamps come back, and the parked
  // transform is taken from the cache instead of a new one being made (only
  // the fresh panel's objects are new).
  const TQ3Uns32 objects = Q3Testing_LiveObjectCount();
  ASSERT_TRUE(i.sequenceResetup().ok());
  EXPECT_EQ(Q3Testing_LiveObjectCount(), objects + panelObjects);
  ASSERT_TRUE(i.sequenceFlatten().ok());
  FlatModel again = FlatModel::from(i.flatSequenceBytes());
  EXPECT_EQ(again.seconds, f.seconds);
  EXPECT_EQ(again.ticks, f.ticks);
}

TEST_F(LifecycleTest, ModelThatCannotBeReopenedAlertsAndKeepsTheRest) {
  host::Effect& e = load("meshfile");
  FlatModel f;
  f.seconds = 1234;
  f.ticks = 99;
  f.centre[1] = 2.5f;
  f.scale = 0.05f;
  f.path = "/nonexistent/vask/model.3dmf";
  f.pathLength = static_cast<int32_t>(f.path.size());
  host::Instance& i = apply(e, /*setUp=*/false);
  i.setFlatSequenceData(f.bytes());
  ASSERT_TRUE(i.sequenceResetup().ok());
  ASSERT_EQ(desktop_.boxes().size(), 1u);
  EXPECT_EQ(desktop_.boxes()[0].caption, "VASK Alert");
  EXPECT_EQ(desktop_.boxes()[0].text,
            "Could not open model for VASK File Object. model.3dmf: " + *os::systemMessage(ENOENT) + ".")
      << "names the file and says what is wrong in words";
  ASSERT_TRUE(i.sequenceFlatten().ok());
  FlatModel back = FlatModel::from(i.flatSequenceBytes());
  EXPECT_EQ(back.pathLength, 0) << "the path is cleared";
  EXPECT_EQ(back.seconds, 1234);
  EXPECT_EQ(back.ticks, 99u);
  EXPECT_EQ(back.centre[1], 2.5f);
  EXPECT_EQ(back.scale, 0.05f);
}

TEST_F(LifecycleTest, DamagedModelRecordsAreNeverReadPastTheirEnd) {
  host::Effect& e = load("meshfile");
  FlatModel good;
  good.seconds = 77;
  good.scale = 0.5f;
  good.path = "abc";
  auto withLength = [&](int32_t n) {
    FlatModel f = good;
    f.pathLength = n;
    return f.bytes();
  };
  std::vector<std::byte> shortRecord = good.bytes();
  shortRecord.resize(20);
  const std::vector<std::vector<std::byte>> cases = {withLength(4), withLength(1 << 30),
                                                     withLength(-1), shortRecord};
  for (std::size_t k = 0; k < cases.size(); ++k) {
    host::Instance& i = apply(e, /*setUp=*/false);
    i.setFlatSequenceData(cases[k]);
    ASSERT_TRUE(i.sequenceResetup().ok()) << "case " << k;
    ASSERT_EQ(desktop_.boxes().size(), k + 1) << "case " << k;
    EXPECT_EQ(desktop_.boxes()[k].text,
              "Could not open model for VASK File Object. Incorrect Format.");
    ASSERT_TRUE(i.sequenceFlatten().ok());
    FlatModel back = FlatModel::from(i.flatSequenceBytes());
    EXPECT_EQ(back.pathLength, 0) << "case " << k;
    if (k < 3) {
      EXPECT_EQ(back.seconds, 77) << "what could be read is kept, case " << k;
    }
  }
}

TEST_F(LifecycleTest, GlobalSetdownReleasesParkedModels) {
  host::Effect& e = load("meshfile");
  host::Instance& i = apply(e);
  ASSERT_TRUE(i.sequenceFlatten().ok());  // parks the model transform in the cache
  // TearDown's leak check sees the global setdown release it.
}

}  // namespace
}  // namespace vask::test
