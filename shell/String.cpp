#include "shell/String.h"

#include "shell/Memory.h"
#include "shell/Messages.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>
#include <ostream>

namespace vask {
namespace {

struct BlockHeader {
    int32_t refs;      // strings sharing the block; negative: never shared by counting
    int32_t length;    // characters in use; the terminator sits at this index
    int32_t capacity;  // characters the block holds, not counting the terminator
};
static_assert(sizeof(BlockHeader) == 12);

// The longest text a block can describe: its size must fit the int32 words.
constexpr int64_t kMaxCapacity = std::numeric_limits<int32_t>::max() - 64;

struct EmptyBlock {
    BlockHeader header;
    char text[4];
};
static_assert(offsetof(EmptyBlock, text) == sizeof(BlockHeader));

// Stands for every empty string of this library. Never written or freed.
EmptyBlock gEmpty = {{-1, 0, 0}, {0, 0, 0, 0}};

char* emptyChars() noexcept { return gEmpty.text; }

BlockHeader* headerOf(char* chars) noexcept {
    return reinterpret_cast<BlockHeader*>(chars - sizeof(BlockHeader));
}

// A new block: count 1, length 0, text "". Throws ErrData 1024.
char* allocateBlock(int32_t capacity) {
    void* block = allocate(sizeof(BlockHeader) + static_cast<std::size_t>(capacity) + 1);
    auto* header = static_cast<BlockHeader*>(block);
    header->refs = 1;
    header->length = 0;
    header->capacity = capacity;
    char* chars = static_cast<char*>(block) + sizeof(BlockHeader);
    chars[0] = '\0';
    return chars;
}

// Drops one reference; the last one frees the block.
void releaseBlock(char* chars) noexcept {
    if (chars == emptyChars()) return;
    BlockHeader* header = headerOf(chars);
    if (--header->refs <= 0) freeBlock(header);
}

// A decimal field of a conversion; huge values are capped (the result is
// then far beyond any buffer anyway and allocation reports it).
int64_t readDecimal(const char*& p) {
    int64_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = std::min<int64_t>(value * 10 + (*p - '0'), kMaxCapacity);
        ++p;
    }
    return value;
}

enum class Size { None, Char, Short, Long, LongLong, IntMax, SizeT, PtrDiff, LongDouble };

}  // namespace

String::String() noexcept : chars_(emptyChars()) {}

String::String(const char* text) : chars_(emptyChars()) { *this = text; }

String::String(int32_t messageNumber) : chars_(emptyChars()) {
    char text[kMessageTextSize];
    messageText(messageNumber, text);
    *this = text;
}

String::String(const String& other) : chars_(emptyChars()) { *this = other; }

String::String(String&& other) noexcept : chars_(std::exchange(other.chars_, emptyChars())) {}

String::~String() { releaseBlock(chars_); }

void String::adopt(char* chars) noexcept {
    releaseBlock(chars_);
    chars_ = chars;
}

String& String::operator=(const String& other) {
    if (chars_ == other.chars_) return *this;
    BlockHeader* mine = headerOf(chars_);
    BlockHeader* theirs = headerOf(other.chars_);
    if ((mine->refs < 0 && chars_ != emptyChars()) || theirs->refs < 0) {
        assign(other.chars_, theirs->length);
    } else {
        ++theirs->refs;
        adopt(other.chars_);
    }
    return *this;
}

String& String::operator=(String&& other) noexcept {
    if (this != &other) adopt(std::exchange(other.chars_, emptyChars()));
    return *this;
}

String& String::operator=(const char* text) {
    std::size_t n = text ? std::strlen(text) : 0;
    if (static_cast<int64_t>(n) > kMaxCapacity) raise(msg::kOutOfMemory);
    assign(text, static_cast<int32_t>(n));
    return *this;
}

void String::assign(const char* chars, int32_t n) {
    if (n < 0 || chars == nullptr) n = 0;
    BlockHeader* header = headerOf(chars_);
    if (chars_ != emptyChars() && header->refs <= 1 && header->capacity >= n) {
        // Private and large enough: reuse, keeping the capacity. The source
        // may lie inside this very block.
        if (n > 0) std::memmove(chars_, chars, static_cast<std::size_t>(n));
        header->length = n;
        chars_[n] = '\0';
    } else if (n == 0) {
        adopt(emptyChars());
    } else {
        // Copy before letting the old block go: `chars` may point into it,
        // and a failed allocation then leaves this string untouched.
        char* fresh = allocateBlock(n);
        std::memcpy(fresh, chars, static_cast<std::size_t>(n));
        fresh[n] = '\0';
        headerOf(fresh)->length = n;
        adopt(fresh);
    }
}

void String::empty() noexcept {
    if (chars_ == emptyChars()) return;
    BlockHeader* header = headerOf(chars_);
    if (header->refs < 0) {
        header->length = 0;
        chars_[0] = '\0';
    } else {
        adopt(emptyChars());
    }
}

int32_t String::length() const noexcept { return headerOf(chars_)->length; }

std::string_view String::view() const noexcept {
    return {chars_, static_cast<std::size_t>(length())};
}

int32_t String::capacity() const noexcept { return headerOf(chars_)->capacity; }

int32_t String::shareCount() const noexcept { return headerOf(chars_)->refs; }

bool String::usesEmptyBlock() const noexcept { return chars_ == emptyChars(); }

char* String::getBuffer(int32_t minimum) {
    minimum = std::max(minimum, 0);
    BlockHeader* header = headerOf(chars_);
    // The empty block is shared by every empty string of the library: a
    // writer always gets a block of its own, even for zero characters.
    if (chars_ == emptyChars() || header->refs > 1 || header->capacity < minimum) {
        int32_t length = header->length;
        char* fresh = allocateBlock(std::max(minimum, length));
        std::memcpy(fresh, chars_, static_cast<std::size_t>(length) + 1);
        headerOf(fresh)->length = length;
        adopt(fresh);
    }
    return chars_;
}

void String::releaseBuffer(int32_t newLength) {
    if (chars_ == emptyChars()) return;
    BlockHeader* header = headerOf(chars_);
    if (header->refs > 1) {
        // Someone copied the string between getBuffer and now: give this one
        // a private copy of the text the block holds.
        int32_t length = header->length;
        char* fresh = allocateBlock(length);
        std::memcpy(fresh, chars_, static_cast<std::size_t>(length));
        fresh[length] = '\0';
        headerOf(fresh)->length = length;
        adopt(fresh);
        header = headerOf(chars_);
    }
    // The writer may have filled the whole block without a terminator, or
    // claim more than it holds: never look or write past the capacity.
    if (newLength < 0) {
        newLength = static_cast<int32_t>(
            strnlen(chars_, static_cast<std::size_t>(header->capacity)));
    }
    newLength = std::min(newLength, header->capacity);
    header->length = newLength;
    chars_[newLength] = '\0';
}

int64_t String::estimateFormatLength(const char* format, va_list argsIn) {
    if (format == nullptr) return 0;
    va_list args;
    va_copy(args, argsIn);
    int64_t total = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            ++total;
            continue;
        }
        ++p;
        if (*p == '%' || *p == '\0') {  // "%%" gives one character; a lone '%' at most one
            ++total;
            if (*p == '\0') break;
            continue;
        }

        // Flags, and a width from the arguments.
        int64_t width = 0;
        for (; *p != '\0'; ++p) {
            if (*p == '#') {
                total += 2;  // "0x" or "0"
            } else if (*p == '*') {
                // A negative width means "left-justified", as wide as its size.
                width = std::abs(static_cast<int64_t>(va_arg(args, int)));
            } else if (std::strchr("-+0 ", *p) == nullptr) {
                break;
            }
        }
        if (width == 0) width = readDecimal(p);

        int64_t precision = 0;
        bool hasPrecision = false;
        if (*p == '.') {
            ++p;
            hasPrecision = true;
            if (*p == '*') {
                int given = va_arg(args, int);
                ++p;
                // A negative precision from the arguments counts as none.
                if (given < 0) hasPrecision = false;
                else precision = given;
            } else {
                precision = readDecimal(p);
            }
        }

        // Size prefixes: noted so that each argument is taken with its real
        // type. "N" (a near pointer) means nothing here and is skipped.
        Size size = Size::None;
        for (bool more = true; more && *p != '\0';) {
            switch (*p) {
                case 'h': size = size == Size::Short ? Size::Char : Size::Short; ++p; break;
                case 'l': size = size == Size::Long ? Size::LongLong : Size::Long; ++p; break;
                case 'q': size = Size::LongLong; ++p; break;
                case 'j': size = Size::IntMax; ++p; break;
                case 'z': size = Size::SizeT; ++p; break;
                case 't': size = Size::PtrDiff; ++p; break;
                case 'L': size = Size::LongDouble; ++p; break;
                case 'N': ++p; break;
                default: more = false; break;
            }
        }

        int64_t item = 0;
        switch (*p) {
            case 'c':
            case 'C':
                if (*p == 'C' || size == Size::Long) (void)va_arg(args, wint_t);
                else (void)va_arg(args, int);
                item = std::max<int64_t>(2, width);
                if (hasPrecision) item = std::min(item, precision);
                break;
            case 's':
            case 'S': {
                int64_t length;
                // With a precision the argument need not be terminated: never
                // measure past what will be printed.
                std::size_t limit = hasPrecision ? static_cast<std::size_t>(precision)
                                                 : std::numeric_limits<std::size_t>::max();
                if (*p == 'S' || size == Size::Long) {
                    const wchar_t* text = va_arg(args, const wchar_t*);
                    length = text ? static_cast<int64_t>(wcsnlen(text, limit)) : 6;  // "(null)"
                } else {
                    const char* text = va_arg(args, const char*);
                    length = text ? static_cast<int64_t>(strnlen(text, limit)) : 6;
                }
                item = std::max({length, int64_t{1}, width});
                if (hasPrecision) item = std::min(item, precision);
                break;
            }
            case 'd': case 'i': case 'o': case 'u': case 'x': case 'X': case 'p':
                if (*p == 'p') {
                    (void)va_arg(args, void*);
                } else {
                    switch (size) {
                        case Size::Long: (void)va_arg(args, long); break;
                        case Size::LongLong: (void)va_arg(args, long long); break;
                        case Size::IntMax: (void)va_arg(args, intmax_t); break;
                        case Size::SizeT: (void)va_arg(args, std::size_t); break;
                        case Size::PtrDiff: (void)va_arg(args, std::ptrdiff_t); break;
                        case Size::LongDouble: (void)va_arg(args, long long); break;  // glibc's %Ld
                        default: (void)va_arg(args, int); break;
                    }
                }
                item = std::max<int64_t>(32, width + precision);
                break;
            case 'e': case 'E': case 'f': case 'F': case 'g': case 'G': case 'a': case 'A':
                // "F" is the C library's upper-case "f" here, not a size prefix.
                if (size == Size::LongDouble) (void)va_arg(args, long double);
                else (void)va_arg(args, double);
                item = std::max<int64_t>(128, width + precision);
                break;
            case 'n':
                (void)va_arg(args, void*);
                break;
            default:
                // A conversion we do not know: its argument types are unknown,
                // so stop taking arguments; the rest of the format is counted
                // as it stands and formatting grows the buffer if needed.
                total += static_cast<int64_t>(std::strlen(p)) + 32;
                va_end(args);
                return std::min(total, kMaxCapacity + 1);
        }
        total = std::min(total + item, kMaxCapacity + 1);
        if (*p == '\0') break;
    }
    va_end(args);
    return total;
}

void String::format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    try {
        formatV(format, args);
    } catch (...) {
        va_end(args);
        throw;
    }
    va_end(args);
}

void String::formatV(const char* format, va_list args) {
    if (format == nullptr) {
        empty();
        return;
    }
    va_list pass;
    va_copy(pass, args);
    int64_t estimate = estimateFormatLength(format, pass);
    va_end(pass);
    if (estimate > kMaxCapacity) raise(msg::kOutOfMemory);

    // Format into a string of its own, so that arguments pointing into this
    // one stay valid until the text is complete.
    String result;
    char* buffer = result.getBuffer(static_cast<int32_t>(estimate));
    va_copy(pass, args);
    int written = std::vsnprintf(buffer, static_cast<std::size_t>(estimate) + 1, format, pass);
    va_end(pass);
    if (written < 0) {
        empty();
        return;
    }
    if (written > estimate) {
        // The estimate was short (a long "%f", multibyte output, an unknown
        // conversion): format again into a buffer of the exact size.
        if (written > kMaxCapacity) raise(msg::kOutOfMemory);
        buffer = result.getBuffer(written);
        va_copy(pass, args);
        written = std::vsnprintf(buffer, static_cast<std::size_t>(written) + 1, format, pass);
        va_end(pass);
        if (written < 0) {
            empty();
            return;
        }
    }
    result.releaseBuffer(-1);
    *this = std::move(result);
}

std::ostream& operator<<(std::ostream& out, const String& text) {
    return out << '"' << text.view() << '"';
}

}  // namespace vask
