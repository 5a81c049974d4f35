// Shared set-up of the plug-in tests: every test loads the real effect
// libraries from the build's bin folder and drives them through `main` with
// the host library, under a headless desktop.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <span>
#include <vector>
#include <filesystem>
#include <memory>
#include <string>

#include "host/Effect.h"
#include "host/HandleSuite.h"
#include "host/Instance.h"
#include "platform/os/Desktop.h"
#include "platform/os/HeadlessDesktop.h"
#include "platform/os/NamedMapping.h"
#include "platform/q3d/QD3DTesting.h"
#include "scene/SharedSceneBlock.h"

namespace vask::test {

inline std::filesystem::path pluginPath(const std::string& name) {
  const char* bin = std::getenv("VASK_BIN");
  const std::filesystem::path dir =
      bin ? std::filesystem::path(bin) : std::filesystem::read_symlink("/proc/self/exe").parent_path();
  return dir / (name + ".so");
}

// Owns one reference to a scene object, for tests that read groups.
class ObjectHolder {
 public:
  explicit ObjectHolder(TQ3Object o) : o_(o) {}
  ObjectHolder(ObjectHolder&& other) noexcept : o_(other.o_) { other.o_ = nullptr; }
  ObjectHolder(const ObjectHolder&) = delete;
  ~ObjectHolder() {
    if (o_) Q3Object_Dispose(o_);
  }
  TQ3Object get() const { return o_; }

 private:
  TQ3Object o_;
};

// The File Object's flat record: 32 bytes plus the path, little-endian.
struct FlatHeader {
  int32_t flag = 1, seconds = 0;
  uint32_t ticks = 0;
  int32_t pathLength = 0;
  float centre[3] = {0, 0, 0};
  float scale = 1;
};
static_assert(sizeof(FlatHeader) == 32);

struct FlatModel : FlatHeader {
  std::string path;

  std::vector<std::byte> bytes() const {
    std::vector<std::byte> out(32 + path.size());
    std::memcpy(out.data(), static_cast<const FlatHeader*>(this), 32);
    std::memcpy(out.data() + 32, path.data(), path.size());
    return out;
  }
  static FlatModel from(std::span<const std::byte> b) {
    FlatModel f;
    std::memcpy(static_cast<FlatHeader*>(&f), b.data(), 32);
    f.path.assign(reinterpret_cast<const char*>(b.data()) + 32, b.size() - 32);
    return f;
  }
};

inline const char* const kPlugins[] = {"meshfile", "shapemesh", "beamlamp", "glowlamp"};

// The process's shared scene block, as any component of the process sees it.
inline SharedSceneBlock& sceneBlock() {
  auto m = os::openNamedMapping(kSharedSceneName, kSharedSceneSize);
  return *static_cast<SharedSceneBlock*>(m.address);
}

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Q3Testing_Reset();
    host::handles::clearViolations();
    liveObjects_ = Q3Testing_LiveObjectCount();
    liveHandles_ = host::handles::liveCount();
  }

  void TearDown() override {
    for (auto& i : instances_)
      if (i->sequenceOpen()) i->sequenceSetdown();
    instances_.clear();
    for (auto& e : effects_)
      if (e->globallySetUp()) e->globalSetdown();
    for (auto& e : effects_) EXPECT_TRUE(e->violations().empty()) << e->violations().front();
    effects_.clear();
    EXPECT_EQ(host::handles::violations(), std::vector<std::string>{});
    EXPECT_EQ(host::handles::liveCount(), liveHandles_) << "host handles leaked";
    EXPECT_EQ(Q3Testing_LiveObjectCount(), liveObjects_) << "scene objects leaked";
    Q3Testing_Reset();
  }

  // Loads a plug-in; with `setUp`, runs global setup and params setup too.
  host::Effect& load(const std::string& name, bool setUp = true) {
    effects_.push_back(host::Effect::load(pluginPath(name)));
    host::Effect& e = *effects_.back();
    if (setUp) {
      auto g = e.globalSetup();
      EXPECT_TRUE(g.ok()) << g;
      auto p = e.paramsSetup();
      EXPECT_TRUE(p.ok()) << p;
    }
    return e;
  }

  // A new instance of a loaded effect, with its sequence set up.
  host::Instance& apply(host::Effect& e, bool setUp = true) {
    std::shared_ptr<host::Effect> shared;
    for (auto& s : effects_)
      if (s.get() == &e) shared = s;
    instances_.push_back(std::make_unique<host::Instance>(shared));
    host::Instance& i = *instances_.back();
    if (setUp) {
      auto r = i.sequenceSetup();
      EXPECT_TRUE(r.ok()) << r;
    }
    return i;
  }

  os::HeadlessDesktop desktop_;
  os::ScopedDesktop scoped_{desktop_};

 private:
  std::vector<std::shared_ptr<host::Effect>> effects_;
  std::vector<std::unique_ptr<host::Instance>> instances_;
  TQ3Uns32 liveObjects_ = 0;
  std::size_t liveHandles_ = 0;
};

}  // namespace vask::test
