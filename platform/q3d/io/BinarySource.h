// The binary encoding: objects framed as type (4 bytes), size (4 bytes) and
// size bytes of data, in the file's byte order. Sizes are honoured exactly:
// writers that did not pad to four bytes are read as they are.
#pragma once

#include <functional>

#include "platform/q3d/io/Source.h"

namespace q3d::io {

class BinarySource final : public Source {
public:
    // `bytes` stays valid while the source lives. `isCustom` says whether a
    // type code was declared by the file as a custom type (for telling
    // objects from junk at the end of a file).
    BinarySource(std::span<const unsigned char> bytes, bool bigEndian, std::function<bool(TQ3Int32)> isCustom);

    bool enter(ObjectHead& head, AtTop junk) override;
    void leave() override;
    bool moreData() override { return pos_ < ends_.back(); }
    std::uint64_t bytesLeft() override { return ends_.back() - pos_; }
    std::uint64_t leastBytes(unsigned width) const override { return width; }

    std::uint32_t u32() override;
    std::int32_t i32() override { return std::int32_t(u32()); }
    std::uint16_t u16() override;
    std::uint64_t u64() override;
    float f32() override;
    std::uint32_t keyword(std::span<const Keyword>) override { return u32(); }
    bool boolean() override { return u32() != 0; }
    std::string string() override;
    void raw(unsigned char* out, std::size_t count) override;
    void floats(float* out, std::size_t count) override;
    void unsignedValues(std::uint32_t* out, std::size_t count, unsigned width) override;
    std::uint64_t filePointer() override;
    void skipValue() override { take(4); }

    Mark mark() const override { return {pos_, ends_}; }
    void restore(const Mark& mark) override;
    void seekTop(std::uint64_t position) override;
    std::string where() const override { return "byte " + std::to_string(pos_); }
    bool isText() const override { return false; }

private:
    // The next `count` bytes of the current object, which must hold them.
    const unsigned char* take(std::uint64_t count);

    std::span<const unsigned char> bytes_;
    bool bigEndian_;
    std::function<bool(TQ3Int32)> isCustom_;
    std::uint64_t pos_ = 0;
    // The end of every object entered and not yet left; the first is the
    // end of the file.
    std::vector<std::uint64_t> ends_;
};

}  // namespace q3d::io
