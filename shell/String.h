// String: the framework's counted, reference-shared, copy-on-write text.
//
// Every text that outlives one expression (parameter names, the error text
// for the host, the version text, the model path, panel labels) is a String.
// Copies are cheap: they share one character block until one side writes.
//
// Block layout (from the local heap, see shell/Memory.h): three int32 words,
//   reference count | length | capacity
// immediately before the characters, then `capacity` characters and one more
// for the terminating zero. A block of capacity c takes 12 + c + 1 bytes. A
// negative count marks a block that is never shared by counting; the one
// process-wide empty block (count -1, length 0, capacity 0) stands for every
// empty string and is never written or freed.
//
// Failures: only allocation can fail, with ErrData::host(1024). Every
// operation that fails leaves the string as it was.
//
// Not thread-safe: the counts are plain integers, as the host calls each
// plug-in on one thread.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace vask {

class String {
public:
    // The empty string (no allocation).
    String() noexcept;
    // A copy of `text`; null or "" gives the empty string.
    String(const char* text);  // NOLINT: implicit on purpose, like a string literal
    // The message text for a message number (shell/Messages.h: messageText),
    // e.g. String(2106) is "Left/Right". Numbers without a text give
    // "MSG(index)" or "OS error n", never a failure other than memory.
    explicit String(int32_t messageNumber);

    // Shares `other`'s block (a never-shared block is copied instead).
    String(const String& other);
    // Takes `other`'s block; `other` becomes empty.
    String(String&& other) noexcept;
    ~String();

    // No change when both already share a block (self-assignment included);
    // otherwise shares `other`'s block, copying when either side's block is
    // never shared.
    String& operator=(const String& other);
    String& operator=(String&& other) noexcept;
    // Copies `text` (null: no characters). `text` may point into this string.
    String& operator=(const char* text);

    // Replaces the text with the `n` characters at `chars` (which may point
    // into this string and need not be zero-terminated). Reuses the block when
    // it is private and large enough, keeping its capacity; otherwise takes a
    // new block of exactly n characters. n < 0 counts as 0.
    void assign(const char* chars, int32_t n);

    // Makes the string empty: releases its block (the empty block itself is
    // left alone).
    void empty() noexcept;

    // The characters, zero-terminated; valid until the next change of this
    // string or of a string sharing its block (a write through another copy
    // never touches them: it copies first).
    const char* characters() const noexcept { return chars_; }
    const char* c_str() const noexcept { return chars_; }
    int32_t length() const noexcept;
    bool isEmpty() const noexcept { return length() == 0; }
    std::string_view view() const noexcept;

    // A writable pointer to at least `minimum` characters (plus room for the
    // terminator), keeping the current text. The block becomes private to
    // this string. Write through it, then call releaseBuffer before any other
    // operation on this string. minimum < 0 counts as 0.
    char* getBuffer(int32_t minimum);
    // Ends a getBuffer: sets the length to `newLength` (-1: measure up to the
    // first zero) and writes the terminator. A length beyond the block's
    // capacity is cut to the capacity, and measuring never reads past it.
    void releaseBuffer(int32_t newLength = -1);

    // printf-style formatting into this string (the C library's conversions).
    // The buffer is sized from the format and the arguments before
    // formatting; should that estimate ever be short, the text is formatted
    // again into a buffer of the exact size, so nothing is ever cut or
    // overrun. The arguments may point into this string. On an encoding error
    // of the C library the string becomes empty.
    void format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    void formatV(const char* format, va_list args);

    // The number of characters `format` and `args` are estimated to produce:
    // an upper bound for the usual conversions, used to size the buffer
    // before formatting. Consumes a copy of `args`.
    static int64_t estimateFormatLength(const char* format, va_list args);

    // Introspection for tests and diagnostics: the block's capacity, its
    // reference count (-1 for the empty block), and whether two strings share
    // one block.
    int32_t capacity() const noexcept;
    int32_t shareCount() const noexcept;
    bool sharesBlockWith(const String& other) const noexcept { return chars_ == other.chars_; }
    bool usesEmptyBlock() const noexcept;

    friend bool operator==(const String& a, const String& b) noexcept { return a.view() == b.view(); }
    friend bool operator==(const String& a, const char* b) noexcept {
        return a.view() == std::string_view(b ? b : "");
    }

private:
    void adopt(char* chars) noexcept;  // releases the current block, takes `chars`

    char* chars_;
};

std::ostream& operator<<(std::ostream& out, const String& text);

}  // namespace vask
