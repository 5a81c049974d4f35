// File objects: the C++ side of QD3DIO.h. A file reads its storage's bytes
// (in place for a memory storage, else a copy made at open), recognises the
// encoding and reads objects through the object reader.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/q3d/QD3DIO.h"
#include "platform/q3d/core/Ref.h"
#include "platform/q3d/io/ObjectReader.h"
#include "platform/q3d/io/Source.h"
#include "platform/q3d/storage/Storage.h"

namespace q3d {

class File final : public SharedObject {
public:
    static constexpr ClassInfo kClass{kQ3SharedTypeFile, &SharedObject::kClass};
    const ClassInfo& classInfo() const override { return kClass; }
    ~File() override;

    bool setStorage(Storage* storage);
    // Each posts its error and returns false (nullptr) on failure.
    bool openRead(TQ3FileMode& mode);
    TQ3Object readObject();
    bool isEndOfFile() const { return !open_ || atEnd_; }
    bool close();
    bool isOpen() const { return open_; }
    TQ3FileVersion version() const { return version_; }
    void setIdle(TQ3FileIdleMethod idle, const void* data) { idle_ = idle, idleData_ = data; }
    const std::string& problem() const { return problem_; }

private:
    static void poll(void* self);
    void reset();

    Ref<Storage> storage_;
    bool open_ = false;
    bool atEnd_ = true;
    TQ3FileMode mode_ = 0;
    TQ3FileVersion version_ = 0;
    std::vector<unsigned char> copy_;
    std::unique_ptr<io::Source> source_;
    std::unique_ptr<io::ReadContext> context_;
    std::unique_ptr<io::ObjectReader> reader_;
    TQ3FileIdleMethod idle_ = nullptr;
    const void* idleData_ = nullptr;
    std::string problem_;
};

}  // namespace q3d
