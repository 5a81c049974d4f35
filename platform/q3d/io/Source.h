// One encoding of a 3DMF file, as the object reader sees it: a cursor that
// enters and leaves objects and reads the values of the object it is in, the
// same calls for text and binary. Every read is checked against the end of
// the object (binary) or the file (text); a value that is not there throws
// ReadFailure (ReadFailure.h).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/q3d/QD3D.h"

namespace q3d::io {

// A keyword of an enumeration or bit field in text files, with its value.
struct Keyword {
    std::string_view name;
    TQ3Uns32 value;
};

struct ObjectHead {
    TQ3ObjectType code = 0;   // the object's type: binary code, or the code of a known text name (0 otherwise)
    std::string_view name;    // text files: the name as written
    std::uint64_t start = 0;  // where the object begins, for references
};

// Where a cursor is, to come back to after reading elsewhere (a reference).
struct Mark {
    std::uint64_t position = 0;
    std::vector<std::uint64_t> scopes;
};

class Source {
public:
    virtual ~Source() = default;

    enum class AtTop { kJunkEnds, kJunkFails };

    // Enters the next object of the object (or file) the cursor is in and
    // fills `head`; false at the end of it. At the top level of the file,
    // bytes that cannot begin an object end the file (kJunkEnds, with a
    // warning) or fail (kJunkFails).
    virtual bool enter(ObjectHead& head, AtTop junk = AtTop::kJunkFails) = 0;
    // Leaves the object entered last, skipping whatever of it is unread.
    virtual void leave() = 0;
    // Whether the object entered last has unread values.
    virtual bool moreData() = 0;
    // Bytes left before the end of the object entered last (binary) or of
    // the file (text): an upper bound on what its values can still hold,
    // checked before a count is trusted with an allocation.
    virtual std::uint64_t bytesLeft() = 0;
    // The fewest bytes one value of `width` bytes (in binary) takes.
    virtual std::uint64_t leastBytes(unsigned width) const = 0;

    virtual std::uint32_t u32() = 0;
    virtual std::int32_t i32() = 0;
    virtual std::uint16_t u16() = 0;
    virtual std::uint64_t u64() = 0;
    virtual float f32() = 0;
    // An enumeration or bit field: a number, or keywords joined by | in text.
    virtual std::uint32_t keyword(std::span<const Keyword> keywords) = 0;
    virtual bool boolean() = 0;
    virtual std::string string() = 0;
    // Raw bytes: binary as they are, text as hexadecimal runs (0x...).
    virtual void raw(unsigned char* out, std::size_t count) = 0;
    // `count` floats, and `count` unsigned numbers stored `width` bytes wide
    // in binary (1, 2 or 4).
    virtual void floats(float* out, std::size_t count) = 0;
    virtual void unsignedValues(std::uint32_t* out, std::size_t count, unsigned width) = 0;

    // A file pointer: binary a byte offset (Uns64), text a label> whose
    // object's position it gives. kNowhere for 0, a label that is never
    // defined, or (text) a value that is no pointer.
    static constexpr std::uint64_t kNowhere = ~std::uint64_t{0};
    virtual std::uint64_t filePointer() = 0;
    // Skips one value: four bytes, or one text token.
    virtual void skipValue() = 0;

    virtual Mark mark() const = 0;
    virtual void restore(const Mark& mark) = 0;
    // Moves to `position` at the top level, to read one object there.
    virtual void seekTop(std::uint64_t position) = 0;

    // Where the cursor is, for messages: "byte 1234" or "line 56".
    virtual std::string where() const = 0;
    virtual bool isText() const = 0;

    // Called every so many values while large arrays are read, so that a
    // long read can be stopped; set by the reader.
    void (*poll)(void* context) = nullptr;
    void* pollContext = nullptr;

protected:
    void pollNow() {
        if (poll != nullptr) poll(pollContext);
    }
};

}  // namespace q3d::io
