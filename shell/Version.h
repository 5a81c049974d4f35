// The library's version, read from its version record: the version word the
// host is told at global setup and the text the About box shows.
#pragma once

#include <cstdint>

#include "shell/String.h"

namespace vask {

struct VersionInfo {
  int version = 1;
  int subversion = 0;
  int bugfix = 0;
  int stage = 3;  // 0 development, 1 alpha, 2 beta, 3 release
  int build = 0;
  String text;    // "1.0", or "1.0a7" before release
};

// Reads the module's version record; a record that cannot be read leaves the
// defaults (1.0 release, build 0).
VersionInfo readVersion();

// The host's version packing: version << 19 | subversion << 15 | bugfix << 11
// | stage << 9 | build, each masked to its field.
uint32_t versionWord(const VersionInfo& v);

// The text for version parts: "%d.%d" for a release, else "%d.%d%c%d" with the
// stage's letter from "dabr".
String versionText(int version, int subversion, int stage, int build);

}  // namespace vask
