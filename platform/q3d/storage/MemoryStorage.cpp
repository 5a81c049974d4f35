#include "platform/q3d/storage/MemoryStorage.h"

#include <algorithm>
#include <cstring>

#include "platform/q3d/core/Boundary.h"

namespace q3d {

void MemoryStorage::setCopy(const unsigned char* buffer, TQ3Uns32 validSize) {
    std::vector<unsigned char> copy(buffer, buffer + validSize);
    copy_.swap(copy);
    buffer_ = copy_.empty() ? nullptr : copy_.data();
    validSize_ = bufferSize_ = validSize;
}

void MemoryStorage::setBuffer(unsigned char* buffer, TQ3Uns32 validSize, TQ3Uns32 bufferSize) {
    std::vector<unsigned char>().swap(copy_);
    buffer_ = buffer;
    validSize_ = validSize;
    bufferSize_ = bufferSize;
}

bool MemoryStorage::size(TQ3Uns32& size) const {
    size = validSize_;
    return true;
}

bool MemoryStorage::read(TQ3Uns32 offset, TQ3Uns32 count, unsigned char* out, TQ3Uns32& copied) const {
    copied = offset >= validSize_ ? 0 : std::min(count, validSize_ - offset);
    if (copied != 0) std::memcpy(out, buffer_ + offset, copied);
    return true;
}

}  // namespace q3d

using q3d::MemoryStorage;
using q3d::Storage;

namespace {

bool checkNotNull(const void* pointer) noexcept {
    if (pointer != nullptr) return true;
    q3d::postError(kQ3ErrorNULLParameter);
    return false;
}

// The arguments of a storage over a caller's buffer.
bool checkBuffer(const unsigned char* buffer, TQ3Uns32 validSize, TQ3Uns32 bufferSize) noexcept {
    if (!checkNotNull(buffer)) return false;
    if (validSize > bufferSize) {
        q3d::postError(kQ3ErrorParameterOutOfRange);
        return false;
    }
    return true;
}

bool checkCopy(const unsigned char* buffer, TQ3Uns32 validSize) noexcept {
    return validSize == 0 || checkNotNull(buffer);
}

}  // namespace

TQ3ObjectType Q3Storage_GetType(TQ3StorageObject storage) {
    const auto* resolved = q3d::resolveAs<Storage>(storage);
    return resolved != nullptr ? resolved->leafType() : kQ3ObjectTypeInvalid;
}

TQ3Status Q3Storage_GetSize(TQ3StorageObject storage, TQ3Uns32* size) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const auto* resolved = q3d::resolveAs<Storage>(storage);
    if (resolved == nullptr || !checkNotNull(size)) return kQ3Failure;
    return resolved->size(*size) ? kQ3Success : kQ3Failure;
}

TQ3Status Q3Storage_GetData(TQ3StorageObject storage, TQ3Uns32 offset, TQ3Uns32 dataSize, unsigned char* data,
                            TQ3Uns32* sizeRead) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const auto* resolved = q3d::resolveAs<Storage>(storage);
    if (resolved == nullptr || !checkNotNull(sizeRead) || (dataSize != 0 && !checkNotNull(data))) {
        return kQ3Failure;
    }
    return resolved->read(offset, dataSize, data, *sizeRead) ? kQ3Success : kQ3Failure;
}

TQ3StorageObject Q3MemoryStorage_New(const unsigned char* buffer, TQ3Uns32 validSize) {
    if (!q3d::mayCreate(__func__) || !checkCopy(buffer, validSize)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr, [&] {
        auto storage = std::make_unique<MemoryStorage>();
        storage->setCopy(buffer, validSize);
        return q3d::adopt(std::move(storage));
    });
}

TQ3StorageObject Q3MemoryStorage_NewBuffer(unsigned char* buffer, TQ3Uns32 validSize, TQ3Uns32 bufferSize) {
    if (!q3d::mayCreate(__func__) || !checkBuffer(buffer, validSize, bufferSize)) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr, [&] {
        auto storage = std::make_unique<MemoryStorage>();
        storage->setBuffer(buffer, validSize, bufferSize);
        return q3d::adopt(std::move(storage));
    });
}

TQ3Status Q3MemoryStorage_Set(TQ3StorageObject storage, const unsigned char* buffer, TQ3Uns32 validSize) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    auto* resolved = q3d::resolveAs<MemoryStorage>(storage);
    if (resolved == nullptr || !checkCopy(buffer, validSize)) return kQ3Failure;
    return q3d::guarded(kQ3Failure, [&] {
        resolved->setCopy(buffer, validSize);
        return kQ3Success;
    });
}

TQ3Status Q3MemoryStorage_SetBuffer(TQ3StorageObject storage, unsigned char* buffer, TQ3Uns32 validSize,
                                    TQ3Uns32 bufferSize) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    auto* resolved = q3d::resolveAs<MemoryStorage>(storage);
    if (resolved == nullptr || !checkBuffer(buffer, validSize, bufferSize)) return kQ3Failure;
    resolved->setBuffer(buffer, validSize, bufferSize);
    return kQ3Success;
}

TQ3Status Q3MemoryStorage_GetBuffer(TQ3StorageObject storage, unsigned char** buffer, TQ3Uns32* validSize,
                                    TQ3Uns32* bufferSize) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const auto* resolved = q3d::resolveAs<MemoryStorage>(storage);
    if (resolved == nullptr) return kQ3Failure;
    if (buffer != nullptr) *buffer = resolved->buffer();
    if (validSize != nullptr) *validSize = resolved->validSize();
    if (bufferSize != nullptr) *bufferSize = resolved->bufferSize();
    return kQ3Success;
}
