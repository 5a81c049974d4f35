#include "platform/q3d/storage/PosixStorage.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "platform/q3d/QD3DIO.h"
#include "platform/q3d/core/Boundary.h"

namespace q3d {

PosixStorage::PosixStorage(int fd) : fd_(fd) {
    struct stat info {};
    if (::fstat(fd, &info) == 0 && info.st_size >= 0) {
        size_ = TQ3Uns32(std::min<std::uint64_t>(std::uint64_t(info.st_size), UINT32_MAX));
        sizeKnown_ = true;
    }
}

bool PosixStorage::size(TQ3Uns32& size) const {
    if (!sizeKnown_) {
        postError(kQ3ErrorUnixError);
        return false;
    }
    size = size_;
    return true;
}

bool PosixStorage::read(TQ3Uns32 offset, TQ3Uns32 count, unsigned char* out, TQ3Uns32& copied) const {
    copied = 0;
    while (copied < count) {
        const ssize_t got = ::pread(fd_, out + copied, count - copied, off_t(offset) + copied);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            postError(kQ3ErrorUnixError);
            return false;
        }
        if (got == 0) break;
        copied += TQ3Uns32(got);
    }
    return true;
}

}  // namespace q3d

TQ3StorageObject Q3PosixStorage_New(int fileDescriptor) {
    if (!q3d::mayCreate(__func__)) return nullptr;
    if (fileDescriptor < 0) {
        q3d::postError(kQ3ErrorParameterOutOfRange);
        return nullptr;
    }
    return q3d::guarded<TQ3Object>(nullptr,
                                   [&] { return q3d::adopt(std::make_unique<q3d::PosixStorage>(fileDescriptor)); });
}
