#include "shell/Version.h"

#include "platform/os/Resources.h"
#include "shell/Module.h"

namespace vask {

String versionText(int version, int subversion, int stage, int build) {
  String text;
  if (stage == 3) {
    text.format("%d.%d", version, subversion);
  } else {
    // A stage above 3 has no letter; show it as a release would not be
    // honest, so it gets '?'.
    const char letter = (stage >= 0 && stage < 3) ? "dabr"[stage] : '?';
    text.format("%d.%d%c%d", version, subversion, letter, build);
  }
  return text;
}

VersionInfo readVersion() {
  VersionInfo v;
  os::Module* module = moduleHandle();
  if (module && os::moduleFileName(module)) {
    if (auto pv = os::readProductVersion(module)) {
      v.version = static_cast<int>(pv->ms >> 16);
      v.subversion = static_cast<int>(pv->ms & 0xFFFF);
      v.stage = static_cast<int>(pv->ls >> 16);
      v.build = static_cast<int>(pv->ls & 0xFFFF);
    }
  }
  v.text = versionText(v.version, v.subversion, v.stage, v.build);
  return v;
}

uint32_t versionWord(const VersionInfo& v) {
  auto field = [](int value, unsigned bits, unsigned shift) {
    return (static_cast<uint32_t>(value) & ((1u << bits) - 1)) << shift;
  };
  return field(v.version, 3, 19) | field(v.subversion, 4, 15) | field(v.bugfix, 4, 11) |
         field(v.stage, 2, 9) | field(v.build, 9, 0);
}

}  // namespace vask
