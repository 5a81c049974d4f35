#include "tools/models/ModelWriter.h"

#include <bit>
#include <cmath>
#include <cstdio>
#include <fstream>

namespace vask::models {

ModelWriter::ModelWriter(Form form, std::string_view mode, std::string_view tocLabel) : form_(form) {
    if (isText()) {
        out_ = "3DMetafile ( 1 6 " + std::string(mode) + " " +
               (tocLabel.empty() ? std::string("tableofcontents0>") : std::string(tocLabel) + ">") + " )\n";
        return;
    }
    out_ = form == Form::kBigEndian ? "3DMF" : "FMD3";
    put32(16);
    u16(1), u16(6);
    u32(mode == "Stream" ? 1 : mode == "Database" ? 2 : 0);
    u64(0);
}

void ModelWriter::put32(std::uint32_t v) {
    for (int i = 0; i < 4; ++i) {
        const int shift = form_ == Form::kBigEndian ? 24 - 8 * i : 8 * i;
        out_.push_back(char((v >> shift) & 0xff));
    }
}

void ModelWriter::token(const std::string& text) {
    if (!out_.empty() && out_.back() != '\n' && out_.back() != ' ' && out_.back() != '(') out_.push_back(' ');
    out_ += text;
}

void ModelWriter::begin(std::string_view textName, std::string_view code, std::string_view label) {
    if (isText()) {
        if (!out_.empty() && out_.back() != '\n') out_.push_back('\n');
        out_.append(std::size_t(depth_) * 2, ' ');
        if (!label.empty()) out_ += std::string(label) + ": ";
        out_ += std::string(textName) + " (";
    } else {
        std::uint32_t type = 0;
        for (char c : code) type = (type << 8) | std::uint8_t(c);
        put32(type);
        sizes_.push_back(out_.size());
        put32(0);
    }
    ++depth_;
}

void ModelWriter::end() {
    --depth_;
    if (isText()) {
        token(")");
        out_.push_back('\n');
        return;
    }
    const std::size_t at = sizes_.back();
    sizes_.pop_back();
    const auto size = std::uint32_t(out_.size() - at - 4);
    for (int i = 0; i < 4; ++i) {
        const int shift = form_ == Form::kBigEndian ? 24 - 8 * i : 8 * i;
        out_[at + i] = char((size >> shift) & 0xff);
    }
}

void ModelWriter::u32(std::uint32_t v) { isText() ? token(std::to_string(v)) : put32(v); }
void ModelWriter::i32(std::int32_t v) { isText() ? token(std::to_string(v)) : put32(std::uint32_t(v)); }

void ModelWriter::u16(std::uint16_t v) {
    if (isText()) return token(std::to_string(v));
    const bool big = form_ == Form::kBigEndian;
    out_.push_back(char(big ? v >> 8 : v & 0xff));
    out_.push_back(char(big ? v & 0xff : v >> 8));
}

void ModelWriter::u8(std::uint8_t v) { isText() ? token(std::to_string(v)) : out_.push_back(char(v)); }

void ModelWriter::u64(std::uint64_t v) {
    if (isText()) return token(std::to_string(v));
    const auto hi = std::uint32_t(v >> 32), lo = std::uint32_t(v);
    if (form_ == Form::kBigEndian) {
        put32(hi), put32(lo);
    } else {
        put32(lo), put32(hi);
    }
}

void ModelWriter::f32(float v) {
    if (!isText()) return put32(std::bit_cast<std::uint32_t>(v));
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", double(v));
    token(text);
}

void ModelWriter::index(std::uint32_t v, unsigned width) {
    if (isText() || width == 4) return u32(v);
    if (width == 2) return u16(std::uint16_t(v));
    u8(std::uint8_t(v));
}

void ModelWriter::keyword(std::string_view text, std::uint32_t value) {
    isText() ? token(std::string(text)) : put32(value);
}

void ModelWriter::pointer(std::string_view label, std::uint64_t offset) {
    isText() ? token(std::string(label) + ">") : u64(offset);
}

void ModelWriter::string(std::string_view s) {
    if (isText()) return token("\"" + std::string(s) + "\"");
    out_ += s;
    // The terminator, then zeros to a multiple of four bytes.
    out_.append(4 - s.size() % 4, '\0');
}

void ModelWriter::raw(const std::vector<std::uint8_t>& bytes) {
    if (!isText()) {
        out_.append(bytes.begin(), bytes.end());
        return;
    }
    std::string hex = "0x";
    static constexpr char kDigits[] = "0123456789ABCDEF";
    for (std::uint8_t b : bytes) hex += {kDigits[b >> 4], kDigits[b & 15]};
    token(hex);
}

void ModelWriter::newline() {
    if (isText()) out_.push_back('\n');
}

void ModelWriter::setTableOffset(std::uint64_t offset) {
    if (isText()) return;
    for (int i = 0; i < 8; ++i) {
        const int shift = form_ == Form::kBigEndian ? 56 - 8 * i : 8 * i;
        out_[16 + i] = char((offset >> shift) & 0xff);
    }
}

const std::string& ModelWriter::bytes() const { return out_; }

bool writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

void writeWavySheet(ModelWriter& w, std::uint32_t rows, std::uint32_t columns) {
    const std::uint32_t points = rows * columns, triangles = 2 * (rows - 1) * (columns - 1);
    const unsigned pw = points <= 0xff ? 1 : points <= 0xffff ? 2 : 4;
    w.begin("Container", "cntr");
    w.begin("TriMesh", "tmsh");
    for (std::uint32_t v : {triangles, 0u, 0u, 0u, points, 1u}) w.u32(v);
    w.newline();
    for (std::uint32_t r = 0; r + 1 < rows; ++r) {
        for (std::uint32_t c = 0; c + 1 < columns; ++c) {
            const std::uint32_t a = r * columns + c;
            for (std::uint32_t i : {a, a + 1, a + columns, a + 1, a + columns + 1, a + columns}) w.index(i, pw);
        }
        w.newline();
    }
    auto height = [&](double x, double z) { return 0.1 * std::sin(6 * x) * std::cos(5 * z); };
    for (std::uint32_t r = 0; r < rows; ++r) {
        for (std::uint32_t c = 0; c < columns; ++c) {
            const double x = double(c) / (columns - 1) - 0.5, z = double(r) / (rows - 1) - 0.5;
            w.f32(float(x)), w.f32(float(height(x, z))), w.f32(float(z));
        }
        w.newline();
    }
    for (int i = 0; i < 3; ++i) w.f32(-0.5f);
    for (int i = 0; i < 3; ++i) w.f32(0.5f);
    w.keyword("False", 0);
    w.end();
    w.begin("AttributeArray", "atar");
    for (std::uint32_t v : {3u, 0u, 2u, 0u, 0u}) w.u32(v);
    w.newline();
    for (std::uint32_t r = 0; r < rows; ++r) {
        for (std::uint32_t c = 0; c < columns; ++c) {
            const double x = double(c) / (columns - 1) - 0.5, z = double(r) / (rows - 1) - 0.5;
            const double dx = 0.6 * std::cos(6 * x) * std::cos(5 * z), dz = -0.5 * std::sin(6 * x) * std::sin(5 * z);
            const double n = std::sqrt(dx * dx + 1 + dz * dz);
            w.f32(float(-dx / n)), w.f32(float(1 / n)), w.f32(float(-dz / n));
        }
        w.newline();
    }
    w.end();
    w.end();
}

}  // namespace vask::models
