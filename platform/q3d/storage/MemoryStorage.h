// Memory storage: bytes in memory, a copy owned by the storage or the
// caller's own buffer used in place (QD3DStorage.h).
#pragma once

#include <vector>

#include "platform/q3d/storage/Storage.h"

namespace q3d {

class MemoryStorage final : public Storage {
public:
    static constexpr ClassInfo kClass{kQ3StorageTypeMemory, &Storage::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Holds a copy of validSize bytes at buffer. Throws std::bad_alloc with
    // the storage unchanged.
    void setCopy(const unsigned char* buffer, TQ3Uns32 validSize);
    // Uses the caller's buffer in place. Precondition: validSize <= bufferSize
    // and the buffer holds bufferSize bytes.
    void setBuffer(unsigned char* buffer, TQ3Uns32 validSize, TQ3Uns32 bufferSize);

    unsigned char* buffer() const { return buffer_; }
    TQ3Uns32 validSize() const { return validSize_; }
    TQ3Uns32 bufferSize() const { return bufferSize_; }

    bool size(TQ3Uns32& size) const override;
    bool read(TQ3Uns32 offset, TQ3Uns32 count, unsigned char* out, TQ3Uns32& copied) const override;
    std::span<const unsigned char> bytesInMemory() const override { return {buffer_, validSize_}; }

private:
    std::vector<unsigned char> copy_;
    unsigned char* buffer_ = nullptr;
    TQ3Uns32 validSize_ = 0;
    TQ3Uns32 bufferSize_ = 0;
};

}  // namespace q3d
