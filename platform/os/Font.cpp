#include "platform/os/Font.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <unistd.h>

namespace vask::os::font {
namespace {

struct FontState {
    std::mutex mutex;
    std::string path;  // empty: the system's DejaVu Sans (defaultPath)
    bool tried = false;  // a load was attempted for `path`; its outcome is kept
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    std::string error;

    void close() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
        face = nullptr;
        library = nullptr;
        tried = false;
        error.clear();
    }
};

// Never destroyed: text may still be measured from other libraries' static
// destructors after this library's would have run.
FontState& state() {
    static FontState* instance = new FontState;
    return *instance;
}

std::string freetypeText(FT_Error code) {
    if (const char* text = FT_Error_String(code)) return text;
    return "FreeType error " + std::to_string(code);
}

// DejaVu Sans as the system's font configuration finds it, wherever the
// distribution or the user installed it; the usual Debian path when the
// configuration cannot be read or offers another family in its place (text
// must look the same everywhere, and only DejaVu Sans does).
std::string defaultPath() {
    std::string found;
    if (FcConfig* config = FcInitLoadConfigAndFonts()) {
        FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("DejaVu Sans:style=Book"));
        if (pattern != nullptr) {
            FcConfigSubstitute(config, pattern, FcMatchPattern);
            FcDefaultSubstitute(pattern);
            FcResult result = FcResultNoMatch;
            if (FcPattern* match = FcFontMatch(config, pattern, &result)) {
                FcChar8* family = nullptr;
                FcChar8* file = nullptr;
                if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch &&
                    FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
                    std::string_view(reinterpret_cast<const char*>(family)) == "DejaVu Sans") {
                    found = reinterpret_cast<const char*>(file);
                }
                FcPatternDestroy(match);
            }
            FcPatternDestroy(pattern);
        }
        FcConfigDestroy(config);
    }
    return found.empty() ? std::string(kDefaultFontPath) : found;
}

// Loads the face once per path; a failure is kept too, so that a missing font
// costs one file lookup per process, not one per draw.
void load(FontState& s) {
    if (s.tried) return;
    s.tried = true;
    if (s.path.empty()) s.path = defaultPath();
    // Opening the file first gives the system's reason ("No such file or
    // directory"), which FreeType would only call "cannot open resource".
    const int fd = ::open(s.path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        s.error = "cannot open the font " + s.path + ": " + std::strerror(errno);
        return;
    }
    ::close(fd);
    if (FT_Error code = FT_Init_FreeType(&s.library)) {
        s.library = nullptr;
        s.error = "cannot start FreeType for the font " + s.path + ": " + freetypeText(code);
        return;
    }
    if (FT_Error code = FT_New_Face(s.library, s.path.c_str(), 0, &s.face)) {
        s.face = nullptr;
        s.error = "cannot read the font " + s.path + ": " + freetypeText(code);
        return;
    }
    if (!FT_IS_SCALABLE(s.face)) {
        s.error = "the font " + s.path + " is not scalable";
        FT_Done_Face(s.face);
        s.face = nullptr;
    }
}

int toInt(long long value) {
    return value > INT32_MAX ? INT32_MAX : value < INT32_MIN ? INT32_MIN : static_cast<int>(value);
}

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at text[i] and advances i. Bytes that do not form
// a valid, shortest-form sequence of a scalar value become U+FFFD one at a time.
char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto byteAt = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byteAt(i);
    if (lead < 0x80) {
        ++i;
        return lead;
    }
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        ++i;
        return kReplacement;
    }
    if (text.size() - i < static_cast<std::size_t>(length)) {
        ++i;
        return kReplacement;
    }
    for (int k = 1; k < length; ++k) {
        const unsigned char next = byteAt(i + k);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kReplacement;
        }
        value = value << 6 | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        ++i;
        return kReplacement;
    }
    i += length;
    return value;
}

}  // namespace

void setPath(std::string_view path) {
    FontState& s = state();
    std::lock_guard lock(s.mutex);
    s.close();
    s.path = std::string(path);
}

TextResult layOut(std::string_view utf8, int pixelSize, const GlyphSink& sink) {
    TextResult result;
    if (pixelSize < 1 || pixelSize > kMaxTextSize) {
        result.error = "text size " + std::to_string(pixelSize) + " pixels is outside 1 to " +
                       std::to_string(kMaxTextSize);
        return result;
    }
    FontState& s = state();
    std::lock_guard lock(s.mutex);
    load(s);
    if (s.face == nullptr) {
        result.error = s.error;
        return result;
    }
    if (FT_Error code = FT_Set_Pixel_Sizes(s.face, 0, static_cast<FT_UInt>(pixelSize))) {
        result.error = "cannot size the font " + s.path + " to " + std::to_string(pixelSize) +
                       " pixels: " + freetypeText(code);
        return result;
    }
    const FT_Size_Metrics& metrics = s.face->size->metrics;
    result.ascent = static_cast<int>((metrics.ascender + 63) >> 6);
    result.descent = static_cast<int>((-metrics.descender + 63) >> 6);

    const bool kerning = FT_HAS_KERNING(s.face);
    const FT_Int32 flags = sink ? FT_LOAD_RENDER : FT_LOAD_DEFAULT;
    long long pen = 0;  // 26.6 fixed point; wide so that a long text cannot overflow it
    FT_UInt previous = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const FT_UInt glyph = FT_Get_Char_Index(s.face, nextCodePoint(utf8, i));
        if (kerning && previous != 0 && glyph != 0) {
            FT_Vector delta{};
            if (FT_Get_Kerning(s.face, previous, glyph, FT_KERNING_DEFAULT, &delta) == 0) {
                pen += delta.x;
            }
        }
        previous = glyph;
        // A glyph FreeType cannot load is skipped rather than failing the
        // whole text: the rest still reads.
        if (FT_Load_Glyph(s.face, glyph, flags) != 0) continue;
        const FT_GlyphSlot slot = s.face->glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (sink && bitmap.pixel_mode == FT_PIXEL_MODE_GRAY && bitmap.buffer != nullptr &&
            bitmap.width > 0 && bitmap.rows > 0 && bitmap.pitch >= static_cast<int>(bitmap.width)) {
            GlyphImage image;
            image.coverage = bitmap.buffer;
            image.width = static_cast<int>(bitmap.width);
            image.rows = static_cast<int>(bitmap.rows);
            image.pitch = bitmap.pitch;
            image.left = slot->bitmap_left;
            image.top = slot->bitmap_top;
            image.penX = toInt((pen + 32) >> 6);
            sink(image);
        }
        pen += slot->advance.x;
    }
    result.advance = toInt((pen + 32) >> 6);
    result.ok = true;
    return result;
}

}  // namespace vask::os::font
