// The project reader on any text: it refuses with a ProjectError or reads a
// project, and what it reads, written back as `vask save` writes it, reads
// again to the same document.
#include <cstdint>
#include <cstdlib>
#include <string_view>

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
  const std::string saved = formatProjectText(project.document);
  const Project again = parseProject(saved, "fuzz/p.json");
  if (again.document != project.document) std::abort();
  return 0;
}
