// libFuzzer entry for the 3DMF reader: the bytes through a memory storage,
// every object read until the end or an error, what was read measured both
// ways, everything released. Both encodings are reached: the corpus
// (fuzz/corpus/model/) holds text files and binary files of both byte
// orders. `make fuzz` builds it as fuzz_model and runs it from that corpus.
#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DIO.h"
#include "platform/q3d/QD3DStorage.h"
#include "platform/q3d/QD3DView.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool initialised = Q3Initialize() == kQ3Success;
    if (!initialised || size > (1u << 24)) return 0;
    TQ3StorageObject storage = Q3MemoryStorage_New(data, static_cast<TQ3Uns32>(size));
    TQ3FileObject file = Q3File_New();
    TQ3GroupObject group = Q3DisplayGroup_New();
    Q3File_SetStorage(file, storage);
    Q3Object_Dispose(storage);
    if (Q3File_OpenRead(file, nullptr) == kQ3Success) {
        while (!Q3File_IsEndOfFile(file)) {
            TQ3Object object = Q3File_ReadObject(file);
            if (object == nullptr) break;
            if (Q3Object_IsDrawable(object)) Q3Group_AddObject(group, object);
            Q3Object_Dispose(object);
        }
        Q3File_Close(file);
    }
    // Whatever was read must also measure without trouble.
    TQ3ViewObject view = Q3View_New();
    TQ3BoundingBox box;
    for (TQ3ComputeBounds mode : {kQ3ComputeBoundsExact, kQ3ComputeBoundsApproximate}) {
        Q3View_StartBoundingBox(view, mode);
        do {
            Q3DisplayGroup_Submit(group, view);
        } while (Q3View_EndBoundingBox(view, &box) == kQ3ViewStatusRetraverse);
    }
    Q3Object_Dispose(view);
    Q3Object_Dispose(group);
    Q3Object_Dispose(file);
    Q3Error_Get(nullptr), Q3Warning_Get(nullptr), Q3Notice_Get(nullptr);
    return 0;
}
