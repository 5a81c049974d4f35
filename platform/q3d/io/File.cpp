#include "platform/q3d/io/File.h"

#include <cstring>
#include <new>

#include "platform/q3d/core/Boundary.h"
#include "platform/q3d/io/BinarySource.h"
#include "platform/q3d/io/ReadFailure.h"
#include "platform/q3d/io/TextSource.h"
#include "platform/q3d/io/TypeNames.h"

namespace q3d {
namespace {

constexpr io::Keyword kModes[] = {{"Normal", kQ3FileModeNormal},
                                  {"Stream", kQ3FileModeStream},
                                  {"Database", kQ3FileModeDatabase}};

// Whether the text starts, after blanks and comments, with "3DMetafile".
bool looksLikeText(std::span<const unsigned char> bytes) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        const unsigned char c = bytes[i];
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            ++i;
        } else if (c == '#') {
            while (i < bytes.size() && bytes[i] != '\n' && bytes[i] != '\r') ++i;
        } else {
            break;
        }
    }
    static constexpr char kWord[] = "3DMetafile";
    const std::size_t n = sizeof kWord - 1;
    if (bytes.size() - i < n) return false;
    for (std::size_t k = 0; k < n; ++k) {
        if (std::tolower(bytes[i + k]) != std::tolower(static_cast<unsigned char>(kWord[k]))) return false;
    }
    return true;
}

}  // namespace

File::~File() { reset(); }

void File::reset() {
    reader_.reset();
    context_.reset();  // releases the objects kept for references
    source_.reset();
    std::vector<unsigned char>().swap(copy_);
    open_ = false;
    atEnd_ = true;
}

bool File::setStorage(Storage* storage) {
    if (open_) {
        postError(kQ3ErrorFileIsOpen);
        return false;
    }
    storage_ = Ref<Storage>::share(storage);
    return true;
}

void File::poll(void* self) {
    File& file = *static_cast<File*>(self);
    if (file.idle_ != nullptr && file.idle_(handleOf(file), file.idleData_) == kQ3Failure) {
        io::fail(static_cast<TQ3Error>(kQ3NoticeFileCancelled), "the read was cancelled");
    }
}

bool File::openRead(TQ3FileMode& mode) {
    if (!storage_) {
        postError(kQ3ErrorNoStorageSetForFile);
        return false;
    }
    if (open_) {
        postError(kQ3ErrorFileAlreadyOpen);
        return false;
    }
    problem_.clear();
    std::span<const unsigned char> bytes = storage_->bytesInMemory();
    if (bytes.empty()) {
        TQ3Uns32 size = 0, got = 0;
        if (!storage_->size(size)) return false;
        copy_.resize(size);
        if (!storage_->read(0, size, copy_.data(), got)) {
            reset();
            return false;
        }
        copy_.resize(got);
        bytes = copy_;
    }
    context_ = std::make_unique<io::ReadContext>();
    const bool big = bytes.size() >= 4 && std::memcmp(bytes.data(), "3DMF", 4) == 0;
    const bool little = bytes.size() >= 4 && std::memcmp(bytes.data(), "FMD3", 4) == 0;
    const bool text = !big && !little && looksLikeText(bytes);
    if (!big && !little && !text) {
        problem_ = "it is not a 3DMF file: it starts with neither \"3DMF\", \"FMD3\" nor \"3DMetafile\"";
        reset();
        postError(kQ3ErrorInvalidMetafile);
        return false;
    }
    io::ReadContext& context = *context_;
    if (text) {
        source_ = std::make_unique<io::TextSource>(
            std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    } else {
        source_ = std::make_unique<io::BinarySource>(
            bytes, big, [&context](TQ3Int32 code) { return context.customTypes.count(code) != 0; });
    }
    reader_ = std::make_unique<io::ObjectReader>(*source_, context);
    try {
        io::ObjectHead head;
        if (!source_->enter(head) || head.code != io::kHeader) {
            io::fail(kQ3ErrorInvalidMetafile, "the file's header is missing");
        }
        TQ3Uns32 major, minor, flags;
        std::uint64_t table = io::Source::kNowhere;
        if (text) {
            major = source_->u32();
            minor = source_->u32();
            flags = source_->keyword(kModes);
            if (source_->moreData()) table = source_->filePointer();
        } else {
            major = source_->u16();
            minor = source_->u16();
            flags = source_->u32();
            table = source_->filePointer();
        }
        source_->leave();
        version_ = (major << 16) | (minor & 0xffff);
        mode_ = (flags & (kQ3FileModeStream | kQ3FileModeDatabase)) | (text ? kQ3FileModeText : 0);
        if (table != io::Source::kNowhere) reader_->readTables(table);
        source_->poll = &File::poll;
        source_->pollContext = this;
        atEnd_ = reader_->atEnd();
    } catch (const io::ReadFailure& failure) {
        problem_ = failure.problem;
        reset();
        postError(failure.code == kQ3ErrorInvalidMetafileObject || failure.code == kQ3ErrorEndOfFile
                      ? kQ3ErrorInvalidMetafile
                      : failure.code);
        return false;
    }
    open_ = true;
    mode = mode_;
    return true;
}

TQ3Object File::readObject() {
    if (!open_) {
        postError(kQ3ErrorFileNotOpen);
        return nullptr;
    }
    problem_.clear();
    if (atEnd_) {
        problem_ = "there is no object left to read";
        postError(kQ3ErrorEndOfFile);
        return nullptr;
    }
    try {
        Ref<Object> object = reader_->next();
        if (!object) {
            atEnd_ = true;
            problem_ = "there is no object left to read";
            postError(kQ3ErrorEndOfFile);
            return nullptr;
        }
        atEnd_ = reader_->atEnd();
        return shareHandle(object);
    } catch (const io::ReadFailure& failure) {
        problem_ = failure.problem;
        if (failure.code == static_cast<TQ3Error>(kQ3NoticeFileCancelled)) postNotice(kQ3NoticeFileCancelled);
        postError(failure.code);
    } catch (const std::bad_alloc&) {
        problem_ = "there is not enough memory for it";
        postError(kQ3ErrorOutOfMemory);
    }
    // What follows a failure cannot be trusted: the file reads as ended.
    atEnd_ = true;
    return nullptr;
}

bool File::close() {
    if (!open_) {
        postError(kQ3ErrorFileNotOpen);
        return false;
    }
    reset();
    return true;
}

}  // namespace q3d

using q3d::File;

TQ3FileObject Q3File_New(void) { return q3d::createObject<File>(__func__); }

TQ3Status Q3File_SetStorage(TQ3FileObject file, TQ3StorageObject storage) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return kQ3Failure;
    q3d::Storage* target = nullptr;
    if (storage != nullptr && (target = q3d::resolveAs<q3d::Storage>(storage)) == nullptr) return kQ3Failure;
    return resolved->setStorage(target) ? kQ3Success : kQ3Failure;
}

TQ3Status Q3File_OpenRead(TQ3FileObject file, TQ3FileMode* mode) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return kQ3Failure;
    return q3d::guarded(kQ3Failure, [&] {
        TQ3FileMode opened = 0;
        if (!resolved->openRead(opened)) return kQ3Failure;
        if (mode != nullptr) *mode = opened;
        return kQ3Success;
    });
}

TQ3Status Q3File_GetVersion(TQ3FileObject file, TQ3FileVersion* version) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    const File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return kQ3Failure;
    if (version == nullptr) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    if (!resolved->isOpen()) {
        q3d::postError(kQ3ErrorFileNotOpen);
        return kQ3Failure;
    }
    *version = resolved->version();
    return kQ3Success;
}

TQ3Object Q3File_ReadObject(TQ3FileObject file) {
    if (q3d::failPoint(__func__)) return nullptr;
    File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return nullptr;
    return q3d::guarded<TQ3Object>(nullptr, [&] { return resolved->readObject(); });
}

TQ3Boolean Q3File_IsEndOfFile(TQ3FileObject file) {
    const File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return kQ3True;
    return resolved->isEndOfFile() ? kQ3True : kQ3False;
}

TQ3Status Q3File_SetIdleMethod(TQ3FileObject file, TQ3FileIdleMethod idle, const void* idleData) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return kQ3Failure;
    resolved->setIdle(idle, idleData);
    return kQ3Success;
}

TQ3Status Q3File_Close(TQ3FileObject file) {
    if (q3d::failPoint(__func__)) return kQ3Failure;
    File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return kQ3Failure;
    return resolved->close() ? kQ3Success : kQ3Failure;
}

TQ3Status Q3File_GetReadProblem(TQ3FileObject file, char* buffer, TQ3Uns32 bufferSize) {
    const File* resolved = q3d::resolveAs<File>(file);
    if (resolved == nullptr) return kQ3Failure;
    if (buffer == nullptr || bufferSize == 0) {
        q3d::postError(kQ3ErrorNULLParameter);
        return kQ3Failure;
    }
    const std::string& text = resolved->problem();
    const std::size_t n = std::min<std::size_t>(text.size(), bufferSize - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return kQ3Success;
}
