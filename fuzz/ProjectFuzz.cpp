// The project reader on any text: it refuses with a ProjectError or reads a
// project, and what it reads, written back as `vask save` writes it, reads
// again to the same document. Every parameter value is also read as a colour
// of the project's format, as a colour parameter would read it, and every
// keyframe track is sampled across its keys.
#include <cstdint>
#include <cmath>
#include <cstdlib>
#include <string_view>

#include "host/Colour.h"
#include "host/Project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vask::host;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Project project;
  try {
    project = parseProject(text, "fuzz/p.json");
  } catch (const ProjectError&) {
    return 0;
  }
  for (const auto& layer : project.layers) {
    for (const auto& effect : layer.effects) {
      for (const auto& setting : effect.params) {
        std::vector<Keyframe> keys;
        for (const auto& key : setting.keys) {
          try {
            parseColour(key.value, project.format, nullptr);
          } catch (const ProjectError&) {
          }
          keys.push_back(Keyframe{key.frame, {1, 2, 3, 4}, key.interpolation, key.in, key.out});
        }
        const Track track = Track::keyed(std::move(keys), false);
        const double from = track.keys().front().frame, to = track.keys().back().frame;
        for (int i = 0; i <= 8; ++i) {
          const Channels v = track.at(from + (to - from) * i / 8);
          if (!std::isfinite(v[0])) std::abort();
        }
      }
    }
  }
  const std::string saved = formatProjectText(project.document);
  const Project again = parseProject(saved, "fuzz/p.json");
  if (again.document != project.document) std::abort();
  return 0;
}
