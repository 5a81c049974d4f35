#include "platform/q3d/io/TextSource.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

#include "platform/q3d/core/Errors.h"
#include "platform/q3d/io/ReadFailure.h"
#include "platform/q3d/io/TypeNames.h"

namespace q3d::io {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }
bool isDelimiter(char c) { return isSpace(c) || c == '(' || c == ')' || c == '"' || c == '#'; }
bool isIdentifier(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.'; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view s) {
    while (!s.empty() && isSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back())) s.remove_suffix(1);
    return s;
}

// A label in front of an object's name: an identifier, then a colon.
bool splitLabel(std::string_view head, std::string_view& label, std::string_view& rest) {
    std::size_t i = 0;
    while (i < head.size() && isIdentifier(head[i]) && head[i] != '.') ++i;
    if (i == 0) return false;
    std::size_t j = i;
    while (j < head.size() && isSpace(head[j])) ++j;
    if (j >= head.size() || head[j] != ':') return false;
    label = head.substr(0, i);
    rest = trim(head.substr(j + 1));
    return true;
}

constexpr std::size_t kLongestHead = 512;
constexpr std::size_t kPollEvery = 1 << 16;

}  // namespace

TextSource::TextSource(std::string_view text) : text_(text) {}

void TextSource::skipSpace() {
    while (pos_ < text_.size()) {
        const char c = text_[pos_];
        if (isSpace(c)) {
            ++pos_;
        } else if (c == '#') {
            while (pos_ < text_.size() && text_[pos_] != '\n' && text_[pos_] != '\r') ++pos_;
        } else {
            break;
        }
    }
}

void TextSource::skipString() {
    ++pos_;  // the opening quote
    while (pos_ < text_.size() && text_[pos_] != '"') pos_ += text_[pos_] == '\\' ? 2 : 1;
    if (pos_ >= text_.size()) fail(kQ3ErrorInvalidMetafilePrimitive, "a string has no closing quote, at " + where());
    ++pos_;
}

std::string TextSource::where() const {
    const std::size_t at = std::min(pos_, text_.size());
    std::size_t line = 1;
    for (std::size_t i = 0; i < at; ++i) {
        if (text_[i] == '\n' || (text_[i] == '\r' && (i + 1 >= text_.size() || text_[i + 1] != '\n'))) ++line;
    }
    return "line " + std::to_string(line);
}

bool TextSource::enter(ObjectHead& head, AtTop junk) {
    skipSpace();
    const bool top = depth_ == 0;
    auto junkOrFail = [&](const std::string& problem) {
        if (top && junk == AtTop::kJunkEnds) {
            postWarning(kQ3WarningInvalidMetafileObject);
            pos_ = text_.size();
            return false;
        }
        fail(kQ3ErrorInvalidMetafile, problem);
    };
    if (pos_ >= text_.size()) {
        if (top) return false;
        fail(kQ3ErrorEndOfFile, "the file ends inside an object");
    }
    if (text_[pos_] == ')') {
        if (!top) return false;
        return junkOrFail("a ')' closes nothing, at " + where());
    }
    std::size_t paren = pos_;
    const std::size_t limit = std::min(text_.size(), pos_ + kLongestHead);
    while (paren < limit && text_[paren] != '(' && text_[paren] != ')' && text_[paren] != '"' &&
           text_[paren] != '#')
        ++paren;
    if (paren >= limit || text_[paren] != '(') return junkOrFail("expected an object, at " + where());
    std::string_view name = trim(text_.substr(pos_, paren - pos_)), label;
    splitLabel(name, label, name);
    head.start = pos_;
    head.name = name;
    head.code = codeOfName(name);
    pos_ = paren + 1;
    ++depth_;
    return true;
}

void TextSource::leave() {
    std::size_t level = 0;
    for (;;) {
        skipSpace();
        if (pos_ >= text_.size()) fail(kQ3ErrorEndOfFile, "the file ends inside an object");
        const char c = text_[pos_];
        if (c == '"') {
            skipString();
        } else if (c == '(') {
            ++level, ++pos_;
        } else if (c == ')') {
            ++pos_;
            if (level == 0) break;
            --level;
        } else {
            while (pos_ < text_.size() && !isDelimiter(text_[pos_])) ++pos_;
        }
    }
    if (depth_ > 0) --depth_;
}

bool TextSource::moreData() {
    skipSpace();
    return pos_ < text_.size() && text_[pos_] != ')';
}

std::string_view TextSource::token() {
    skipSpace();
    if (pos_ >= text_.size()) fail(kQ3ErrorEndOfFile, "the file ends inside an object");
    const std::size_t start = pos_;
    while (pos_ < text_.size() && !isDelimiter(text_[pos_])) ++pos_;
    if (pos_ == start) {
        fail(kQ3ErrorInvalidMetafileObject,
             std::string(text_[pos_] == ')' ? "an object ends before its data does" : "expected a value") + ", at " +
                 where());
    }
    return text_.substr(start, pos_ - start);
}

void TextSource::failValue(std::string_view token, const char* expected) const {
    std::string shown(token.substr(0, 40));
    fail(kQ3ErrorInvalidMetafilePrimitive, "\"" + shown + "\" is not " + expected + ", at " + where());
}

std::int64_t TextSource::integerOf(std::string_view t) const {
    std::string_view digits = t;
    bool negative = false;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    int base = 10;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits.remove_prefix(2);
    }
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
    if (error != std::errc() || end != digits.data() + digits.size() || digits.empty() || value > (1ull << 40)) {
        failValue(t, "a whole number");
    }
    return negative ? -std::int64_t(value) : std::int64_t(value);
}

std::int64_t TextSource::integer(std::int64_t lo, std::int64_t hi, bool wrapNegative) {
    const std::string_view t = token();
    std::int64_t v = integerOf(t);
    if (wrapNegative && v < 0 && v >= INT32_MIN) v += std::int64_t(1) << 32;
    if (v < lo || v > hi) failValue(t, "a number in range");
    return v;
}

std::uint64_t TextSource::u64() {
    const std::string_view t = token();
    const std::int64_t v = integerOf(t);
    if (v < 0) failValue(t, "a file offset");
    return std::uint64_t(v);
}

float TextSource::f32() {
    std::string_view t = token();
    std::string_view number = t;
    if (!number.empty() && number[0] == '+') number.remove_prefix(1);
    float value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (end != number.data() + number.size() || number.empty() ||
        (error != std::errc() && error != std::errc::result_out_of_range)) {
        failValue(t, "a number");
    }
    return value;
}

std::uint32_t TextSource::keyword(std::span<const Keyword> keywords) {
    std::uint32_t value = 0;
    for (;;) {
        std::string_view t = token();
        bool more = false;
        while (!t.empty()) {
            const std::size_t bar = t.find('|');
            const std::string_view part = t.substr(0, bar);
            if (!part.empty()) {
                const auto found = std::find_if(keywords.begin(), keywords.end(),
                                                [&](const Keyword& k) { return equalsNoCase(k.name, part); });
                if (found != keywords.end()) {
                    value |= found->value;
                } else {
                    value |= std::uint32_t(integerOf(part));
                }
            }
            if (bar == std::string_view::npos) break;
            t.remove_prefix(bar + 1);
            more = t.empty();  // "Top|" goes on in the next token
        }
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == '|') {
            ++pos_;
            more = true;
        }
        if (!more) return value;
    }
}

bool TextSource::boolean() {
    const std::string_view t = token();
    if (equalsNoCase(t, "true")) return true;
    if (equalsNoCase(t, "false")) return false;
    return integerOf(t) != 0;
}

std::string TextSource::string() {
    skipSpace();
    if (pos_ >= text_.size() || text_[pos_] != '"') {
        fail(kQ3ErrorInvalidMetafilePrimitive, "expected a string in quotes, at " + where());
    }
    const std::size_t start = pos_ + 1;
    skipString();
    std::string out;
    for (std::size_t i = start; i + 1 < pos_; ++i) {
        if (text_[i] == '\\' && i + 2 < pos_) ++i;
        out.push_back(text_[i]);
    }
    return out;
}

void TextSource::raw(unsigned char* out, std::size_t count) {
    std::size_t filled = 0;
    auto nibble = [](char c) {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    while (filled < count) {
        const std::string_view t = token();
        if (t.size() < 2 || t[0] != '0' || (t[1] != 'x' && t[1] != 'X')) {
            fail(kQ3ErrorInvalidHexString, "raw data is not a 0x… run, at " + where());
        }
        std::string_view digits = t.substr(2);
        if (digits.size() % 2 != 0) fail(kQ3ErrorInvalidHexString, "a hexadecimal run has an odd length, at " + where());
        for (std::size_t i = 0; i + 1 < digits.size() && filled < count; i += 2) {
            const int hi = nibble(digits[i]), lo = nibble(digits[i + 1]);
            if (hi < 0 || lo < 0) fail(kQ3ErrorInvalidHexString, "a hexadecimal run holds other characters, at " + where());
            out[filled++] = static_cast<unsigned char>(hi * 16 + lo);
        }
    }
}

void TextSource::floats(float* out, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = f32();
        if ((i + 1) % kPollEvery == 0) pollNow();
    }
}

void TextSource::unsignedValues(std::uint32_t* out, std::size_t count, unsigned width) {
    const std::int64_t hi = width == 1 ? UINT8_MAX : width == 2 ? UINT16_MAX : UINT32_MAX;
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = std::uint32_t(integer(0, hi, true));
        if ((i + 1) % kPollEvery == 0) pollNow();
    }
}

void TextSource::findLabels() {
    labelsFound_ = true;
    std::size_t p = 0;
    while (p < text_.size()) {
        const char c = text_[p];
        if (isSpace(c) || c == '(' || c == ')') {
            ++p;
        } else if (c == '#') {
            while (p < text_.size() && text_[p] != '\n' && text_[p] != '\r') ++p;
        } else if (c == '"') {
            ++p;
            while (p < text_.size() && text_[p] != '"') p += text_[p] == '\\' ? 2 : 1;
            ++p;
        } else {
            const std::size_t start = p;
            while (p < text_.size() && !isDelimiter(text_[p])) ++p;
            std::string_view t = text_.substr(start, p - start), label, rest;
            const std::size_t colon = t.find(':');
            if (colon != std::string_view::npos && splitLabel(t.substr(0, colon + 1), label, rest)) {
                labels_.try_emplace(label, start);
            }
        }
    }
}

std::uint64_t TextSource::filePointer() {
    const std::string_view t = token();
    if (t.size() < 2 || t.back() != '>') return kNowhere;
    if (!labelsFound_) findLabels();
    const auto found = labels_.find(t.substr(0, t.size() - 1));
    return found == labels_.end() ? kNowhere : found->second;
}

void TextSource::skipValue() {
    skipSpace();
    if (pos_ < text_.size() && text_[pos_] == '"') {
        skipString();
    } else {
        token();
    }
}

void TextSource::restore(const Mark& mark) {
    pos_ = mark.position;
    depth_ = mark.scopes.empty() ? 0 : mark.scopes[0];
}

void TextSource::seekTop(std::uint64_t position) {
    pos_ = std::min<std::uint64_t>(position, text_.size());
    depth_ = 0;
}

}  // namespace q3d::io
