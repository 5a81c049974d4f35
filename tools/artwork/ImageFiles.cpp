#include "tools/artwork/ImageFiles.h"

#include <algorithm>
#include <array>
#include <map>
#include <stdexcept>

namespace artwork {
namespace {

std::uint32_t key(Rgb8 c) { return std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b; }

int distance(Rgb8 a, Rgb8 b) {
    // Weighted towards green, as the eye is.
    const int dr = a.r - b.r, dg = a.g - b.g, db = a.b - b.b;
    return 3 * dr * dr + 4 * dg * dg + 2 * db * db;
}

std::uint8_t nearest(Rgb8 c, const std::vector<Rgb8>& palette) {
    std::size_t best = 0;
    int bestDistance = distance(c, palette[0]);
    for (std::size_t i = 1; i < palette.size(); ++i) {
        const int d = distance(c, palette[i]);
        if (d < bestDistance) best = i, bestDistance = d;
    }
    return static_cast<std::uint8_t>(best);
}

struct Weighted {
    Rgb8 color;
    std::size_t count;
};

std::uint8_t channel(Rgb8 c, int which) { return which == 0 ? c.r : which == 1 ? c.g : c.b; }

// Median cut of `colors` into at most `boxes` averages.
std::vector<Rgb8> medianCut(std::vector<Weighted> colors, std::size_t boxes) {
    std::vector<std::vector<Weighted>> parts;
    if (!colors.empty()) parts.push_back(std::move(colors));
    while (parts.size() < boxes) {
        // Split the part with the widest channel range.
        std::size_t widest = 0;
        int widestRange = -1, widestChannel = 0;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            if (parts[i].size() < 2) continue;
            for (int ch = 0; ch < 3; ++ch) {
                int lo = 255, hi = 0;
                for (const Weighted& w : parts[i]) {
                    lo = std::min<int>(lo, channel(w.color, ch));
                    hi = std::max<int>(hi, channel(w.color, ch));
                }
                if (hi - lo > widestRange) widest = i, widestRange = hi - lo, widestChannel = ch;
            }
        }
        if (widestRange <= 0) break;
        std::vector<Weighted>& part = parts[widest];
        std::sort(part.begin(), part.end(), [&](const Weighted& a, const Weighted& b) {
            return channel(a.color, widestChannel) < channel(b.color, widestChannel);
        });
        std::size_t total = 0;
        for (const Weighted& w : part) total += w.count;
        std::size_t cut = 0, seen = 0;
        while (cut + 1 < part.size() && seen + part[cut].count < total / 2)
            seen += part[cut++].count;
        cut = std::max<std::size_t>(cut, 1);
        std::vector<Weighted> upper(part.begin() + static_cast<std::ptrdiff_t>(cut), part.end());
        part.resize(cut);
        parts.push_back(std::move(upper));
    }
    std::vector<Rgb8> averages;
    for (const auto& part : parts) {
        double r = 0, g = 0, b = 0, n = 0;
        for (const Weighted& w : part) {
            r += w.color.r * static_cast<double>(w.count);
            g += w.color.g * static_cast<double>(w.count);
            b += w.color.b * static_cast<double>(w.count);
            n += static_cast<double>(w.count);
        }
        averages.push_back({static_cast<std::uint8_t>(r / n + 0.5),
                            static_cast<std::uint8_t>(g / n + 0.5),
                            static_cast<std::uint8_t>(b / n + 0.5)});
    }
    return averages;
}

void put(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int k = 0; k < bytes; ++k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

void putBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int k = 3; k >= 0; --k) out.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t size) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void chunk(std::vector<std::uint8_t>& out, const char* type,
           const std::vector<std::uint8_t>& data) {
    putBigEndian(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBigEndian(out, crc32(out.data() + start, out.size() - start));
}

}  // namespace

IndexedImage quantize(const std::vector<Rgb8>& pixels, int width, int height,
                      std::size_t maxColors) {
    std::map<std::uint32_t, Weighted> counts;
    for (const Rgb8& p : pixels) {
        auto [it, fresh] = counts.try_emplace(key(p), Weighted{p, 0});
        ++it->second.count;
    }
    std::vector<Weighted> byCount;
    for (const auto& [k, w] : counts) byCount.push_back(w);
    std::stable_sort(byCount.begin(), byCount.end(),
                     [](const Weighted& a, const Weighted& b) { return a.count > b.count; });

    std::vector<Rgb8> palette;
    if (byCount.size() <= maxColors) {
        for (const Weighted& w : byCount) palette.push_back(w.color);
    } else {
        const std::size_t exact = maxColors / 4;
        for (std::size_t i = 0; i < exact; ++i) palette.push_back(byCount[i].color);
        std::vector<Weighted> rest(byCount.begin() + static_cast<std::ptrdiff_t>(exact),
                                   byCount.end());
        for (const Rgb8& c : medianCut(std::move(rest), maxColors - exact)) palette.push_back(c);
    }
    return mapToPalette(pixels, width, height, palette, false);
}

IndexedImage mapToPalette(const std::vector<Rgb8>& pixels, int width, int height,
                          const std::vector<Rgb8>& palette, bool dither) {
    static constexpr int kBayer[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    IndexedImage image{width, height, palette, {}};
    image.indices.reserve(pixels.size());
    std::map<std::uint32_t, std::uint8_t> cache;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            Rgb8 c = pixels[static_cast<std::size_t>(y) * width + x];
            if (dither) {
                // Spread ±(step / 2) with a step of about the palette's spacing.
                const int offset = (kBayer[y & 3][x & 3] - 8) * 2;
                const auto shift = [offset](std::uint8_t v) {
                    return static_cast<std::uint8_t>(std::clamp(v + offset, 0, 255));
                };
                c = {shift(c.r), shift(c.g), shift(c.b)};
            }
            auto [it, fresh] = cache.try_emplace(key(c), 0);
            if (fresh) it->second = nearest(c, palette);
            image.indices.push_back(it->second);
        }
    }
    return image;
}

std::vector<Rgb8> expand(const IndexedImage& image) {
    std::vector<Rgb8> out;
    for (std::uint8_t i : image.indices) out.push_back(image.palette[i]);
    return out;
}

std::vector<std::uint8_t> encodeBmp(const IndexedImage& image, int bitCount) {
    const std::size_t entries = std::size_t{1} << bitCount;
    if ((bitCount != 4 && bitCount != 8) || image.palette.size() > entries) {
        throw std::invalid_argument("a bitmap of this depth cannot hold the palette");
    }
    const std::size_t stride = ((static_cast<std::size_t>(image.width) * bitCount + 31) / 32) * 4;
    const std::size_t offset = 14 + 40 + 4 * entries;
    const std::size_t size = offset + stride * image.height;
    std::vector<std::uint8_t> out;
    out.reserve(size);
    out.push_back('B');
    out.push_back('M');
    put(out, static_cast<std::uint32_t>(size), 4);
    put(out, 0, 4);  // reserved
    put(out, static_cast<std::uint32_t>(offset), 4);
    put(out, 40, 4);
    put(out, static_cast<std::uint32_t>(image.width), 4);
    put(out, static_cast<std::uint32_t>(image.height), 4);  // positive: bottom-up
    put(out, 1, 2);
    put(out, static_cast<std::uint32_t>(bitCount), 2);
    put(out, 0, 4);  // uncompressed
    put(out, static_cast<std::uint32_t>(stride * image.height), 4);
    put(out, 2835, 4);  // 72 dpi
    put(out, 2835, 4);
    put(out, 0, 4);  // every palette entry counts
    put(out, 0, 4);
    for (std::size_t i = 0; i < entries; ++i) {
        const Rgb8 c = i < image.palette.size() ? image.palette[i] : Rgb8{};
        out.push_back(c.b);
        out.push_back(c.g);
        out.push_back(c.r);
        out.push_back(0);
    }
    for (int y = image.height - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(stride, 0);
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t index = image.indices[static_cast<std::size_t>(y) * image.width + x];
            if (bitCount == 8) {
                row[x] = index;
            } else {
                row[x / 2] |= static_cast<std::uint8_t>((x & 1) != 0 ? index : index << 4);
            }
        }
        out.insert(out.end(), row.begin(), row.end());
    }
    return out;
}

std::vector<std::uint8_t> encodePng(const std::vector<Rgb8>& pixels, int width, int height,
                                    int scale) {
    const int w = width * scale, h = height * scale;
    std::vector<std::uint8_t> raw;
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < w; ++x) {
            const Rgb8 c = pixels[static_cast<std::size_t>(y / scale) * width + x / scale];
            raw.insert(raw.end(), {c.r, c.g, c.b});
        }
    }
    std::vector<std::uint8_t> zlib{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (std::uint8_t v : raw) a = (a + v) % 65521, b = (b + a) % 65521;
    for (std::size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        zlib.push_back(at + n >= raw.size() ? 1 : 0);
        put(zlib, static_cast<std::uint32_t>(n), 2);
        put(zlib, static_cast<std::uint32_t>(~n & 0xFFFF), 2);
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (n == 0) break;
    }
    putBigEndian(zlib, b << 16 | a);

    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<std::uint8_t> header;
    putBigEndian(header, static_cast<std::uint32_t>(w));
    putBigEndian(header, static_cast<std::uint32_t>(h));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    chunk(out, "IHDR", header);
    chunk(out, "IDAT", zlib);
    chunk(out, "IEND", {});
    return out;
}

}  // namespace artwork
