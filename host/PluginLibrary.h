// One effect library, identified by its PiPL and loaded into the process.
//
// Loading reads the PiPL from the file first and refuses anything that is not
// an effect before any of the library's code runs (no constructors, no
// dependencies loaded). Only then is the library opened with
// dlopen(RTLD_NOW | RTLD_LOCAL), so that every plug-in keeps its own copy of
// the shared shell, and its PiPL entry point looked up.
#pragma once

#include <filesystem>
#include <memory>

#include "host/PiPLReader.h"
#include "platform/effect_api/EffectApi.h"

namespace vask::host {

class PluginLibrary {
 public:
  // Reads the PiPL of `path` and loads the library. Throws HostError, naming
  // the file, when it is not an ELF file, has no .pipl section or a malformed
  // one, its kind is not "eFKT", it names no entry point, the dynamic loader
  // refuses it (dlerror's text) or the entry point is not defined by the
  // library itself.
  static std::shared_ptr<PluginLibrary> load(const std::filesystem::path& path);

  ~PluginLibrary();  // dlclose
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const PiPLInfo& pipl() const { return pipl_; }
  // The library's `main`; valid while this object lives.
  PF_EffectMain entry() const { return entry_; }
  // The path as given to load().
  const std::filesystem::path& path() const { return path_; }

 private:
  PluginLibrary(std::filesystem::path path, PiPLInfo info, void* handle, PF_EffectMain entryPoint);

  std::filesystem::path path_;
  PiPLInfo pipl_;
  void* handle_;
  PF_EffectMain entry_;
};

}  // namespace vask::host
