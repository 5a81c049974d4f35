#include "platform/os/Module.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <memory>

namespace vask::os {
namespace {

std::atomic<bool>& moduleFileNameFails() {
    static std::atomic<bool> fails{false};
    return fails;
}

std::optional<std::string> absolutePath(const char* path) {
    std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path, nullptr), &std::free);
    if (!resolved) return std::nullopt;
    return std::string(resolved.get());
}

std::optional<std::string> executablePath() {
    char buffer[PATH_MAX];
    ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer) return std::nullopt;
    return std::string(buffer, static_cast<size_t>(length));
}

}  // namespace

Module* moduleFromAddress(const void* anyAddressInside) {
    if (anyAddressInside == nullptr) return nullptr;
    Dl_info info{};
    if (dladdr(anyAddressInside, &info) == 0 || info.dli_fbase == nullptr) return nullptr;
    // The load base identifies the binary: it is where its ELF header is mapped.
    return static_cast<Module*>(info.dli_fbase);
}

std::optional<std::string> moduleFileName(Module* module) {
    if (module == nullptr || moduleFileNameFails().load()) return std::nullopt;

    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(module, &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) == 0 ||
        info.dli_fbase != static_cast<void*>(module) || map == nullptr) {
        return std::nullopt;  // not the base of a loaded binary
    }
    // The program's own entry has an empty name; libraries carry the path they
    // were loaded by, which may be relative.
    if (map->l_name == nullptr || map->l_name[0] == '\0') return executablePath();
    return absolutePath(map->l_name);
}

namespace testing {

void failModuleFileName(bool on) { moduleFileNameFails().store(on); }

}  // namespace testing
}  // namespace vask::os
