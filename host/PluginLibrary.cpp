#include "host/PluginLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include <cstring>
#include <memory>
#include <utility>

#include "host/ElfCheck.h"
#include "host/HostError.h"
#include "platform/effect_api/PiPL.h"

namespace vask::host {
namespace {

std::string lastDlError() {
  const char* e = dlerror();
  return e ? e : "unknown dynamic loader error";
}

struct DlHandle {
  void* h = nullptr;
  ~DlHandle() {
    if (h) dlclose(h);
  }
};

}  // namespace

PluginLibrary::PluginLibrary(std::filesystem::path path, PiPLInfo info, void* handle,
                             PF_EffectMain entryPoint)
    : path_(std::move(path)), pipl_(std::move(info)), handle_(handle), entry_(entryPoint) {}

PluginLibrary::~PluginLibrary() {
  if (handle_) dlclose(handle_);
}

std::shared_ptr<PluginLibrary> PluginLibrary::load(const std::filesystem::path& path) {
  const std::string name = path.string();
  PiPLInfo info = readPiPL(path);
  if (info.kind != pipl::kKindEffect) {
    throw HostError(name + ": PiPL kind '" + info.kind + "' is not an effect ('" +
                    std::string(pipl::kKindEffect) + "')");
  }
  if (info.entryPoint.empty()) throw HostError(name + ": PiPL names no entry point");

  // The system's loader trusts the file's structure; a damaged library must
  // be refused here rather than crash the host inside dlopen.
  checkLoadableElf(path);

  // A path without a slash would make dlopen search the library path instead.
  std::error_code ec;
  const std::filesystem::path absolute = std::filesystem::absolute(path, ec);
  DlHandle lib;
  dlerror();
  lib.h = dlopen((ec ? path : absolute).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib.h) throw HostError(name + ": cannot load: " + lastDlError());

  dlerror();
  void* symbol = dlsym(lib.h, info.entryPoint.c_str());
  if (!symbol) {
    throw HostError(name + ": entry point '" + info.entryPoint + "' not found: " + lastDlError());
  }
  // dlsym also searches the library's dependencies; the entry point must be
  // the library's own.
  link_map* map = nullptr;
  Dl_info where{};
  if (dlinfo(lib.h, RTLD_DI_LINKMAP, &map) != 0 || !map || dladdr(symbol, &where) == 0 ||
      !where.dli_fname || std::strcmp(where.dli_fname, map->l_name) != 0) {
    throw HostError(name + ": entry point '" + info.entryPoint +
                    "' is not defined by the library itself" +
                    (where.dli_fname ? std::string(" (found in ") + where.dli_fname + ")" : ""));
  }
  auto entry = reinterpret_cast<PF_EffectMain>(symbol);
  std::unique_ptr<PluginLibrary> loaded(new PluginLibrary(path, std::move(info), lib.h, entry));
  lib.h = nullptr;  // owned by `loaded` now
  return loaded;
}

}  // namespace vask::host
