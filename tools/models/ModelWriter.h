// Writes 3DMF files, text or binary in either byte order, one object at a
// time: the generator of the example models, the benchmark's files and the
// tests' inputs. Not part of the family (which only reads models).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vask::models {

enum class Form { kText, kBigEndian, kLittleEndian };

class ModelWriter {
public:
    // Starts the file with its header: version 1.6 and `mode` ("Normal",
    // "Stream" or "Database"); `tocLabel` names the text table of contents
    // (empty for none); binary files get their table's offset through
    // setTableOffset().
    explicit ModelWriter(Form form, std::string_view mode = "Normal", std::string_view tocLabel = {});

    Form form() const { return form_; }
    bool isText() const { return form_ == Form::kText; }

    // Opens an object: the text name, or the four-character code in binary.
    // `label` is written before it in text ("name:").
    void begin(std::string_view textName, std::string_view code, std::string_view label = {});
    void end();

    void u32(std::uint32_t v);
    void i32(std::int32_t v);
    void u16(std::uint16_t v);
    void u8(std::uint8_t v);
    void u64(std::uint64_t v);
    void f32(float v);
    // An index `width` bytes wide in binary (1, 2 or 4), a number in text.
    void index(std::uint32_t v, unsigned width);
    // A keyword in text, its value in binary (Uns32).
    void keyword(std::string_view text, std::uint32_t value);
    // A pointer: a label> in text, a file offset in binary.
    void pointer(std::string_view label, std::uint64_t offset);
    void string(std::string_view s);
    void raw(const std::vector<std::uint8_t>& bytes);
    // Text only: a line break, for readable files.
    void newline();

    // Where the next object starts (binary offsets for tables of contents).
    std::uint64_t offset() const { return out_.size(); }
    // Binary: patches the header's table-of-contents offset.
    void setTableOffset(std::uint64_t offset);

    const std::string& bytes() const;

private:
    void put32(std::uint32_t v);
    void token(const std::string& text);

    Form form_;
    std::string out_;
    std::vector<std::size_t> sizes_;  // where each open binary object's size goes
    int depth_ = 0;
};

// Writes `bytes` to `path`; false when it cannot.
bool writeFile(const std::string& path, const std::string& bytes);

// A TriMesh of `rows` × `columns` points on a wavy sheet (two triangles per
// cell), with vertex normals, for the benchmark and tests.
void writeWavySheet(ModelWriter& w, std::uint32_t rows, std::uint32_t columns);

}  // namespace vask::models
