#include "platform/os/NamedMapping.h"

#include <sys/mman.h>

#include <cerrno>
#include <functional>
#include <map>
#include <mutex>
#include <ostream>
#include <string>

namespace vask::os {
namespace {

struct Block {
    void* address;
    std::size_t size;
};

struct MappingTable {
    std::mutex mutex;
    std::map<std::string, Block, std::less<>> blocks;
    int failNext = 0;
};

// Never destroyed: plug-ins may still hold block addresses while static
// destructors run at exit, and the blocks are meant to outlive them.
MappingTable& mappingTable() {
    static MappingTable* table = new MappingTable;
    return *table;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const MappingResult& result) {
    return out << "{address " << result.address << ", alreadyExisted " << result.alreadyExisted
               << ", error " << result.error << '}';
}

MappingResult openNamedMapping(std::string_view name, std::size_t size) {
    MappingTable& table = mappingTable();
    std::lock_guard lock(table.mutex);

    if (table.failNext != 0) {
        MappingResult failed{nullptr, false, table.failNext};
        table.failNext = 0;
        return failed;
    }
    if (name.empty() || size == 0) return {nullptr, false, EINVAL};

    if (auto found = table.blocks.find(name); found != table.blocks.end()) {
        if (found->second.size != size) return {nullptr, false, EINVAL};
        return {found->second.address, true, 0};
    }

    // Anonymous shared memory: zero-filled by the kernel, and no name in
    // /dev/shm that could outlive the process or be opened by another one.
    void* address = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (address == MAP_FAILED) return {nullptr, false, errno != 0 ? errno : ENOMEM};

    table.blocks.emplace(std::string(name), Block{address, size});
    return {address, false, 0};
}

namespace testing {

void failNextMapping(int error) {
    MappingTable& table = mappingTable();
    std::lock_guard lock(table.mutex);
    table.failNext = error;
}

bool dropNamedMapping(std::string_view name) {
    MappingTable& table = mappingTable();
    std::lock_guard lock(table.mutex);
    auto found = table.blocks.find(name);
    if (found == table.blocks.end()) return false;
    munmap(found->second.address, found->second.size);
    table.blocks.erase(found);
    return true;
}

}  // namespace testing
}  // namespace vask::os
