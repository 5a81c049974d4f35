// Every failure an effect can meet, one at a time: for each effect's whole
// life (global setup, params, sequence setup, a frame, flatten and re-setup,
// setdowns), the k-th scene-library call, the k-th allocation and the k-th
// host handle fail, for every k the life reaches. Nothing crashes, a failed
// command reports the failure's own message, and afterwards the scene
// library's objects, the heap and the host's handles are back where they
// started.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PluginTestSupport.h"
#include "host/LayerSource.h"
#include "platform/os/LocalHeap.h"
#include "shell/ParamTables.h"
#include "tools/models/ModelWriter.h"
#include "tools/models/Primitives.h"

namespace vask::test {
namespace {

constexpr TQ3Error kInjected = kQ3ErrorOutOfMemory;

struct Failure {
  std::string step;
  host::CommandResult result;
};

// A small model (a rocket of cylinders and cones, binary) in a file of its
// own for the life of the test program.
struct RocketFile {
  std::filesystem::path path =
      std::filesystem::temp_directory_path() / ("vask_sweep_" + std::to_string(::getpid()) + ".3dmf");
  RocketFile() {
    models::ModelWriter w(models::Form::kBigEndian);
    models::writeRocket(w);
    if (!models::writeFile(path.string(), w.bytes())) throw std::runtime_error("cannot write " + path.string());
  }
  ~RocketFile() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }
};

// A flat File Object record naming that model, not yet measured (scale 0),
// as the host makes for a project's "model".
std::vector<std::byte> modelRecord() {
  static const RocketFile rocket;
  const std::string path = rocket.path.string();
  std::vector<std::byte> record(32 + path.size());
  const int32_t header[8] = {1, 0, 0, static_cast<int32_t>(path.size()), 0, 0, 0, 0};
  std::memcpy(record.data(), header, sizeof header);
  std::memcpy(record.data() + 32, path.data(), path.size());
  return record;
}

// One effect's life as a host runs it; after a failed command the host goes
// on as hosts do: what could not be set up is not used, and everything that
// exists is set down.
std::vector<Failure> life(const std::string& name, const std::shared_ptr<host::Effect>& effect) {
  std::vector<Failure> failures;
  auto step = [&](const char* what, host::CommandResult r) {
    if (!r.ok()) failures.push_back({what, r});
    return r.ok();
  };
  // Scene Render draws what other effects put in the scene: a point light
  // with its marker lives beside it.
  std::shared_ptr<host::Effect> lamp;
  std::optional<host::Instance> lit;
  if (name == "scenerender") {
    static const auto loaded = host::Effect::load(pluginPath("glowlamp"));
    if (step("light's global setup", loaded->globalSetup())) lamp = loaded;
    if (lamp && step("light's params setup", lamp->paramsSetup())) {
      lit.emplace(lamp);
      lit->param(glowlamp::kVisible).u.bd.value = 1;
      if (!step("light's sequence setup", lit->sequenceSetup())) lit.reset();
    }
  }
  auto lampDown = [&] {
    if (lit && lit->sequenceData()) step("light's sequence setdown", lit->sequenceSetdown());
    lit.reset();
    if (lamp) step("light's global setdown", lamp->globalSetdown());
  };
  if (!step("global setup", effect->globalSetup())) {
    lampDown();
    return failures;
  }
  if (step("params setup", effect->paramsSetup())) {
    host::Instance instance(effect);
    auto layers = std::make_shared<host::LayerTable>();
    host::World heights(5, 4);
    heights.fill(PF_Pixel{255, 200, 90, 10});
    layers->set(1, std::move(heights));
    instance.setLayerSource(layers);
    if (name == "shapemesh") {
      instance.setLayerParam(shapemesh::kHeightField, 1);
      instance.setLayerParam(shapemesh::kTexture, 1);
    }
    if (name == "beamlamp") instance.param(beamlamp::kVisible).u.bd.value = 1;
    if (name == "glowlamp") instance.param(glowlamp::kVisible).u.bd.value = 1;
    // The File Object reads, measures and places a model: its record names
    // one, not yet measured, as a project's "model" does.
    if (name == "meshfile") instance.setFlatSequenceData(modelRecord());
    if (step("sequence setup", name == "meshfile" ? instance.sequenceResetup() : instance.sequenceSetup())) {
      for (int frame = 0; frame < 2; ++frame) {
        if (lit) step("light's frame setup", lit->frameSetup());
        step("frame setup", instance.frameSetup());
        step("render", instance.render());
        step("frame setdown", instance.frameSetdown());
        if (lit) step("light's frame setdown", lit->frameSetdown());
      }
      if (step("sequence flatten", instance.sequenceFlatten())) step("sequence re-setup", instance.sequenceResetup());
    }
    if (instance.sequenceData()) step("sequence setdown", instance.sequenceSetdown());
  }
  step("global setdown", effect->globalSetdown());
  lampDown();
  return failures;
}

class FaultSweepTest : public ::testing::TestWithParam<const char*> {
 protected:
  void TearDown() override {
    Q3Testing_Reset();
    os::testing::failAllocations(0, 0);
    host::handles::failNextNewHandles(0);
  }

  // Runs `life` with `arm` making the k-th failure, for every k below `reach`;
  // `allowed` are the error codes a failed command may report.
  void sweep(const char* kind, std::size_t reach, const std::function<void(std::size_t)>& arm,
             const std::vector<PF_Err>& allowed) {
    const std::string name = GetParam();
    auto effect = host::Effect::load(pluginPath(name));
    for (std::size_t k = 0; k < reach; ++k) {
      SCOPED_TRACE(name + ": " + kind + " " + std::to_string(k) + " of " + std::to_string(reach));
      const TQ3Uns32 objects = Q3Testing_LiveObjectCount();
      const std::size_t blocks = os::testing::liveAllocations();
      const std::size_t handles = host::handles::liveCount();
      arm(k);
      const auto failures = life(name, effect);
      Q3Testing_Reset();
      os::testing::failAllocations(0, 0);
      host::handles::failNextNewHandles(0);
      for (const Failure& f : failures) {
        EXPECT_NE(std::find(allowed.begin(), allowed.end(), f.result.err), allowed.end()) << f.step << ": " << f.result;
        EXPECT_EQ(f.result.message, expectedMessage(f.result.err)) << f.step;
      }
      EXPECT_EQ(Q3Testing_LiveObjectCount(), objects) << "scene objects leaked";
      EXPECT_EQ(os::testing::liveAllocations(), blocks) << "heap blocks leaked";
      EXPECT_EQ(host::handles::liveCount(), handles) << "host handles leaked";
      EXPECT_EQ(host::handles::violations(), std::vector<std::string>{});
      EXPECT_TRUE(effect->violations().empty()) << effect->violations().front();
      host::handles::clearViolations();
      if (HasFailure()) return;  // one broken k says enough
    }
  }

  static std::string expectedMessage(PF_Err err) {
    switch (err) {
      case 1024: return "Out of Memory";
      case 1027: return "QuickDraw 3D failed to initialize.";
      case 1038: return "VASK requires QuickDraw 3D version 1.5 or greater.";
      default: return "OS error " + std::to_string(err);
    }
  }

  os::HeadlessDesktop desktop_;
  os::ScopedDesktop scoped_{desktop_};
};

TEST_P(FaultSweepTest, EverySceneLibraryCall) {
  auto effect = host::Effect::load(pluginPath(GetParam()));
  Q3Testing_FailNthCall(kInjected, 0xFFFFFFFF);
  EXPECT_TRUE(life(GetParam(), effect).empty());
  const TQ3Uns32 reach = Q3Testing_CountedCalls();
  Q3Testing_Reset();
  ASSERT_GE(reach, 3u);
  sweep("scene-library call", reach, [](std::size_t k) { Q3Testing_FailNthCall(kInjected, static_cast<TQ3Uns32>(k)); },
        {kInjected, 1027, 1038});
}

TEST_P(FaultSweepTest, EveryAllocation) {
  auto effect = host::Effect::load(pluginPath(GetParam()));
  const std::size_t before = os::testing::allocationCalls();
  EXPECT_TRUE(life(GetParam(), effect).empty());
  const std::size_t reach = os::testing::allocationCalls() - before;
  ASSERT_GT(reach, 0u);
  sweep("allocation", reach, [](std::size_t k) { os::testing::failAllocations(k, 1); }, {1024});
}

TEST_P(FaultSweepTest, EveryHostHandle) {
  auto effect = host::Effect::load(pluginPath(GetParam()));
  const std::size_t before = host::handles::newHandleCalls();
  EXPECT_TRUE(life(GetParam(), effect).empty());
  const std::size_t reach = host::handles::newHandleCalls() - before;
  ASSERT_GT(reach, 2u);
  sweep("host handle", reach, [](std::size_t k) { host::handles::failNextNewHandles(1, k); }, {1024});
}

INSTANTIATE_TEST_SUITE_P(Effects, FaultSweepTest,
                         ::testing::Values("meshfile", "shapemesh", "beamlamp", "glowlamp", "scenerender"),
                         [](const auto& test) { return std::string(test.param); });

}  // namespace
}  // namespace vask::test
