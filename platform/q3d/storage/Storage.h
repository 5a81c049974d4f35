// Storage objects: the C++ side of QD3DStorage.h. A storage is a run of
// bytes that textures and files read; kinds differ in where the bytes live.
#pragma once

#include <span>

#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/core/Object.h"

namespace q3d {

class Storage : public SharedObject {
public:
    static constexpr ClassInfo kClass{kQ3SharedTypeStorage, &SharedObject::kClass};

    // The valid size in bytes into *size; false with an error posted when it
    // cannot be known (an unreadable file).
    virtual bool size(TQ3Uns32& size) const = 0;

    // Copies up to `count` bytes from byte `offset` into `out` and sets
    // `copied`: fewer at the end of the valid bytes, 0 past it. False with an
    // error posted when the bytes cannot be read.
    virtual bool read(TQ3Uns32 offset, TQ3Uns32 count, unsigned char* out, TQ3Uns32& copied) const = 0;

    // The valid bytes when they are in memory (empty otherwise), for readers
    // that want them in place. Valid until the storage changes or goes.
    virtual std::span<const unsigned char> bytesInMemory() const { return {}; }
};

}  // namespace q3d
