// Saved sequence data, as a project carries it, through each real effect:
// re-setup from the bytes, a frame, flatten, re-setup again and setdown. The
// first byte picks the effect; the rest is base64 text when it decodes (as
// the project reader hands it on), else the record's bytes themselves. The
// host's own check of the flattened flag is left out, so the effects see
// every record a file could hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string_view>
#include <vector>

#include "host/Base64.h"
#include "host/Effect.h"
#include "host/Instance.h"
#include "platform/q3d/QD3DTesting.h"

namespace {

using vask::host::Effect;

std::vector<std::shared_ptr<Effect>>& effects() {
  static std::vector<std::shared_ptr<Effect>> loaded;
  return loaded;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  for (const char* name : {"meshfile", "shapemesh", "beamlamp", "glowlamp", "scenerender"}) {
    auto e = Effect::load(bin / (std::string(name) + ".so"));
    if (!e->globalSetup().ok() || !e->paramsSetup().ok()) std::abort();
    effects().push_back(std::move(e));
  }
  // A host sets its effects down before it ends; their global records (the
  // File Object's model cache among them) go then.
  std::atexit([] {
    for (auto& e : effects()) e->globalSetdown();
    effects().clear();
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vask::host;
  if (size == 0) return 0;
  const std::shared_ptr<Effect>& effect = effects()[data[0] % effects().size()];
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::vector<std::byte> record;
  if (auto decoded = decodeBase64(text)) {
    record = std::move(*decoded);
  } else {
    const auto* p = reinterpret_cast<const std::byte*>(data + 1);
    record.assign(p, p + size - 1);
  }
  const TQ3Uns32 objects = Q3Testing_LiveObjectCount();
  {
    Instance instance(effect);
    instance.setFlatSequenceData(record);
    if (instance.sequenceResetup().ok()) {
      instance.frameSetup();
      instance.render();
      instance.frameSetdown();
      if (instance.sequenceFlatten().ok()) {
        instance.setFlatSequenceData(instance.flatSequenceBytes());
        instance.sequenceResetup();
      }
    }
    if (instance.sequenceData()) instance.sequenceSetdown();
  }
  // Every object an instance made goes with it (the File Object parks a model
  // only between a flatten and the matching re-setup, which happened).
  if (Q3Testing_LiveObjectCount() != objects) std::abort();
  return 0;
}
