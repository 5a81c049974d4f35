// The text encoding: `Name ( values… )` with labels (`name:`) before
// objects and pointers (`name>`) to them, `#` comments, CR, LF or CRLF line
// ends, keywords matched without regard to case.
#pragma once

#include <string_view>
#include <unordered_map>

#include "platform/q3d/io/Source.h"

namespace q3d::io {

class TextSource final : public Source {
public:
    // `text` stays valid while the source lives.
    explicit TextSource(std::string_view text);

    bool enter(ObjectHead& head, AtTop junk) override;
    void leave() override;
    bool moreData() override;
    std::uint64_t bytesLeft() override { return text_.size() - pos_; }
    // A value takes at least one character and the separator after it.
    std::uint64_t leastBytes(unsigned) const override { return 2; }

    std::uint32_t u32() override { return std::uint32_t(integer(0, UINT32_MAX, true)); }
    std::int32_t i32() override { return std::int32_t(integer(INT32_MIN, UINT32_MAX, false)); }
    std::uint16_t u16() override { return std::uint16_t(integer(0, UINT16_MAX, false)); }
    std::uint64_t u64() override;
    float f32() override;
    std::uint32_t keyword(std::span<const Keyword> keywords) override;
    bool boolean() override;
    std::string string() override;
    void raw(unsigned char* out, std::size_t count) override;
    void floats(float* out, std::size_t count) override;
    void unsignedValues(std::uint32_t* out, std::size_t count, unsigned width) override;
    std::uint64_t filePointer() override;
    void skipValue() override;

    Mark mark() const override { return {pos_, {depth_}}; }
    void restore(const Mark& mark) override;
    void seekTop(std::uint64_t position) override;
    std::string where() const override;
    bool isText() const override { return true; }

private:
    void skipSpace();
    void skipString();
    // The next value token; fails when the object ends first.
    std::string_view token();
    // A whole-token integer in [lo, hi]; negative values of an unsigned
    // field wrap (-1 is all ones) when `wrapNegative`.
    std::int64_t integer(std::int64_t lo, std::int64_t hi, bool wrapNegative);
    std::int64_t integerOf(std::string_view token) const;
    [[noreturn]] void failValue(std::string_view token, const char* expected) const;
    void findLabels();

    std::string_view text_;
    std::size_t pos_ = 0;
    std::uint64_t depth_ = 0;  // objects entered and not left
    bool labelsFound_ = false;
    std::unordered_map<std::string_view, std::uint64_t> labels_;
};

}  // namespace q3d::io
