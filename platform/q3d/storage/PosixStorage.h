// POSIX file storage: the bytes of an open file descriptor, read with
// pread(2) so that the descriptor's offset is never moved (QD3DIO.h).
#pragma once

#include "platform/q3d/storage/Storage.h"

namespace q3d {

class PosixStorage final : public Storage {
public:
    static constexpr ClassInfo kClass{kQ3StorageTypePosix, &Storage::kClass};
    const ClassInfo& classInfo() const override { return kClass; }

    // Precondition: fd >= 0. The size is taken now; a file larger than
    // 4 GiB − 1 bytes is seen as that long.
    explicit PosixStorage(int fd);

    int descriptor() const { return fd_; }
    bool size(TQ3Uns32& size) const override;
    bool read(TQ3Uns32 offset, TQ3Uns32 count, unsigned char* out, TQ3Uns32& copied) const override;

private:
    int fd_;
    TQ3Uns32 size_ = 0;
    bool sizeKnown_ = false;
};

}  // namespace q3d
