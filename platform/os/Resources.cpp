#include "platform/os/Resources.h"

#include <atomic>
#include <map>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace vask::os {
namespace {

struct StoredEntry {
    std::string type;
    int id;
    std::span<const std::byte> bytes;
    std::string name;
};

struct Registry {
    std::mutex mutex;
    std::map<Module*, std::vector<StoredEntry>> modules;
    std::atomic<bool> failFind{false};
    std::atomic<bool> failVersion{false};
};

// Never destroyed: plug-ins unregister from their own static destructors,
// which may run after this library's would have.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

std::uint32_t wordAt(std::span<const std::byte> bytes, std::size_t index) {
    std::uint32_t word = 0;
    for (std::size_t k = 0; k < 4; ++k) {
        word |= std::to_integer<std::uint32_t>(bytes[index * 4 + k]) << (8 * k);
    }
    return word;
}

}  // namespace

bool registerResources(Module* module, std::span<const ResourceEntry> entries) {
    if (module == nullptr) return false;
    std::vector<StoredEntry> stored;
    stored.reserve(entries.size());
    for (const ResourceEntry& entry : entries) {
        stored.push_back({std::string(entry.type), entry.id, entry.bytes, std::string(entry.name)});
    }
    Registry& state = registry();
    std::lock_guard lock(state.mutex);
    state.modules[module] = std::move(stored);
    return true;
}

void unregisterResources(Module* module) {
    Registry& state = registry();
    std::lock_guard lock(state.mutex);
    state.modules.erase(module);
}

std::optional<std::span<const std::byte>> findResource(Module* module, std::string_view type,
                                                       int id) {
    Registry& state = registry();
    if (module == nullptr || state.failFind.load()) return std::nullopt;
    std::lock_guard lock(state.mutex);
    auto found = state.modules.find(module);
    if (found == state.modules.end()) return std::nullopt;
    for (const StoredEntry& entry : found->second) {
        if (entry.id == id && entry.type == type) return entry.bytes;
    }
    return std::nullopt;
}

std::optional<std::span<const std::byte>> findNamedResource(Module* module, std::string_view type,
                                                            std::string_view name) {
    Registry& state = registry();
    if (module == nullptr || name.empty() || state.failFind.load()) return std::nullopt;
    std::lock_guard lock(state.mutex);
    auto found = state.modules.find(module);
    if (found == state.modules.end()) return std::nullopt;
    for (const StoredEntry& entry : found->second) {
        if (entry.name == name && entry.type == type) return entry.bytes;
    }
    return std::nullopt;
}

std::ostream& operator<<(std::ostream& out, const ProductVersion& version) {
    return out << (version.ms >> 16) << '.' << (version.ms & 0xFFFFu) << '.' << (version.ls >> 16)
               << '.' << (version.ls & 0xFFFFu);
}

std::optional<ProductVersion> parseVersionRecord(std::span<const std::byte> bytes) {
    if (bytes.size() != kVersionRecordSize) return std::nullopt;
    if (wordAt(bytes, 0) != kVersionSignature || wordAt(bytes, 1) != kVersionRecordVersion) {
        return std::nullopt;
    }
    return ProductVersion{wordAt(bytes, 4), wordAt(bytes, 5)};
}

std::optional<ProductVersion> readProductVersion(Module* module) {
    if (registry().failVersion.load()) return std::nullopt;
    auto bytes = findResource(module, kVersionResourceType, kVersionResourceId);
    if (!bytes) return std::nullopt;
    return parseVersionRecord(*bytes);
}

namespace testing {

void failFindResource(bool on) { registry().failFind.store(on); }
void failReadProductVersion(bool on) { registry().failVersion.store(on); }

}  // namespace testing
}  // namespace vask::os
