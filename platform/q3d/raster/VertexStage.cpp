#include "platform/q3d/raster/VertexStage.h"

#include <algorithm>
#include <cfloat>
#include <cstring>

namespace q3d::raster::detail {

using namespace simd;

namespace {

// Loads `lanes` (1–4) packed triples starting at `src`, repeating the last
// one into the unused lanes; never reads past the last triple.
inline void loadTriples(const float* src, uint32_t lanes, F& x, F& y, F& z) {
    if (lanes == 4) {
        loadXYZ4(src, x, y, z);
        return;
    }
    float padded[12];
    for (uint32_t lane = 0; lane < 4; ++lane) {
        std::memcpy(padded + 3 * lane, src + 3 * std::min(lane, lanes - 1), 3 * sizeof(float));
    }
    loadXYZ4(padded, x, y, z);
}

inline I toBytes(F unitValue) {
    return _mm_cvttps_epi32(clamp01(unitValue) * set1(255.0f) + set1(0.5f));
}

inline void packColours(const F c[3], uint32_t out[4]) {
    I r = toBytes(c[0]);
    I g = toBytes(c[1]);
    I b = toBytes(c[2]);
    I packed = _mm_or_si128(_mm_or_si128(_mm_slli_epi32(r, 16), _mm_slli_epi32(g, 8)),
                            _mm_or_si128(b, _mm_set1_epi32(static_cast<int>(0xff000000u))));
    _mm_storeu_si128(reinterpret_cast<I*>(out), packed);
}

}  // namespace

__attribute__((noinline)) void clipGroup(const VertexInput& in, const float xyz[12], F clip[4]) {
    F x, y, z;
    loadXYZ4(xyz, x, y, z);
    const auto& m = in.toClip;
    for (int j = 0; j < 4; ++j) {
        clip[j] = x * set1(m[0][j]) + y * set1(m[1][j]) + z * set1(m[2][j]) + set1(m[3][j]);
    }
}

__attribute__((noinline)) void projectGroup(const F clip[4], const float guard[4], ScreenVertex out[4],
                                            uint8_t outcode[4]) {
    const F x = clip[0];
    const F y = clip[1];
    const F z = clip[2];
    const F w = clip[3];
    const F big = set1(FLT_MAX);
    const F zeroes = zero();
    F valid = band(band(le(abs(x), big), le(abs(y), big)), band(le(abs(z), big), le(abs(w), big)));
    auto bit = [](F mask, int value) { return _mm_and_si128(_mm_castps_si128(mask), _mm_set1_epi32(value)); };
    I codes = _mm_or_si128(bit(lt(x - set1(guard[0]) * w, zeroes), kOutLeft),
                           bit(lt(set1(guard[1]) * w - x, zeroes), kOutRight));
    codes = _mm_or_si128(codes, bit(lt(y - set1(guard[2]) * w, zeroes), kOutTop));
    codes = _mm_or_si128(codes, bit(lt(set1(guard[3]) * w - y, zeroes), kOutBottom));
    // A point at or behind the eye is on the near plane's wrong side even
    // when a degenerate matrix puts its depth in range.
    codes = _mm_or_si128(codes, bit(_mm_or_ps(lt(z, zeroes), _mm_cmpngt_ps(w, zeroes)), kOutNear));
    codes = _mm_or_si128(codes, bit(lt(w - z, zeroes), kOutFar));
    codes = _mm_or_si128(codes, _mm_andnot_si128(_mm_castps_si128(valid), _mm_set1_epi32(kOutInvalid)));
    I bytes = _mm_packus_epi16(_mm_packs_epi32(codes, codes), _mm_setzero_si128());
    const uint32_t four = uint32_t(_mm_cvtsi128_si32(bytes));
    std::memcpy(outcode, &four, 4);

    // Positions of lanes with a non-zero outcode are garbage but harmless:
    // the conversion of NaN or huge values gives INT32_MIN, never a trap.
    const F invW = set1(1.0f) / w;
    const F scale = set1(static_cast<float>(kSubPixel));
    F px = _mm_castsi128_ps(_mm_cvtps_epi32(x * invW * scale));
    F py = _mm_castsi128_ps(_mm_cvtps_epi32(y * invW * scale));
    F pz = z * invW;
    F pw = invW;
    _MM_TRANSPOSE4_PS(px, py, pz, pw);
    static_assert(sizeof(ScreenVertex) == 16);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 0), px);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 1), py);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 2), pz);
    _mm_storeu_ps(reinterpret_cast<float*>(out + 3), pw);
}

void shadeGroup(const VertexInput& in, const F P[3], const F N[3], const F Cd[3], uint32_t colour[4],
                LitFactors lit[4]) {
    F D[3];
    F S[3];
    in.shading->shade(P, N, D, S);
    const bool phong = in.shading->phong();
    const float cs[3] = {in.specular.r, in.specular.g, in.specular.b};
    if (!in.textured) {
        F c[3];
        for (int i = 0; i < 3; ++i) {
            c[i] = Cd[i] * D[i];
            if (phong) {
                c[i] = c[i] + set1(cs[i]) * S[i];
            }
        }
        packColours(c, colour);
        return;
    }
    alignas(16) int32_t factor[3][4];
    alignas(16) int32_t specular[3][4];
    for (int i = 0; i < 3; ++i) {
        F f = min(max(D[i] * set1(256.0f), zero()), set1(65535.0f)) + set1(0.5f);
        _mm_store_si128(reinterpret_cast<I*>(factor[i]), _mm_cvttps_epi32(f));
        F s = phong ? set1(cs[i]) * S[i] : zero();
        _mm_store_si128(reinterpret_cast<I*>(specular[i]), toBytes(s));
    }
    for (int lane = 0; lane < 4; ++lane) {
        for (int i = 0; i < 3; ++i) {
            lit[lane].factor[i] = static_cast<uint16_t>(std::min(factor[i][lane], 65535));
            lit[lane].specular[i] = static_cast<uint8_t>(specular[i][lane]);
        }
        lit[lane].pad = 0;
    }
}

void runVertexStage(const VertexInput& in, const VertexOutput& out, uint32_t begin, uint32_t end) {
    const bool lit = in.shading != nullptr && in.shading->lit() && in.normals != nullptr;
    const float* points = &in.points[0].x;
    const LitFactors unlitFactors{{256, 256, 256}, {0, 0, 0}, 0};
    for (uint32_t first = begin; first < end; first += 4) {
        const uint32_t lanes = std::min<uint32_t>(4, end - first);
        float xyz[12];
        if (lanes == 4) {
            std::memcpy(xyz, points + 3 * size_t(first), sizeof xyz);
        } else {
            for (uint32_t lane = 0; lane < 4; ++lane) {
                std::memcpy(xyz + 3 * lane, points + 3 * size_t(first + std::min(lane, lanes - 1)),
                            3 * sizeof(float));
            }
        }
        F clip[4];
        clipGroup(in, xyz, clip);
        ScreenVertex screen[4];
        uint8_t outcode[4];
        projectGroup(clip, in.guard, screen, outcode);
        std::memcpy(out.screen + first, screen, lanes * sizeof(ScreenVertex));
        std::memcpy(out.outcode + first, outcode, lanes);
        if (!in.shadeVertices) {
            // Lit per facet later; a texture still needs the coordinates.
            if (in.textured) {
                for (uint32_t lane = 0; lane < lanes; ++lane) {
                    TexShade& t = out.tex[first + lane];
                    t.u = in.uvs != nullptr ? in.uvs[first + lane].u : 0.0f;
                    t.v = in.uvs != nullptr ? in.uvs[first + lane].v : 0.0f;
                    t.lit = unlitFactors;
                }
            }
            continue;
        }

        F Cd[3];
        if (in.colors != nullptr) {
            loadTriples(&in.colors[first].r, lanes, Cd[0], Cd[1], Cd[2]);
        } else {
            Cd[0] = set1(in.diffuse.r);
            Cd[1] = set1(in.diffuse.g);
            Cd[2] = set1(in.diffuse.b);
        }

        uint32_t colour[4];
        uint32_t colourBack[4];
        LitFactors factors[4];
        LitFactors factorsBack[4];
        if (lit) {
            F P[3];
            F X, Y, Z;
            loadXYZ4(xyz, X, Y, Z);
            const auto& m = in.toWorld;
            for (int j = 0; j < 3; ++j) {
                P[j] = X * set1(m[0][j]) + Y * set1(m[1][j]) + Z * set1(m[2][j]) + set1(m[3][j]);
            }
            F nx, ny, nz;
            loadTriples(&in.normals[first].x, lanes, nx, ny, nz);
            const auto& n = in.normalToWorld;
            F N[3];
            for (int j = 0; j < 3; ++j) {
                N[j] = nx * set1(n[0][j]) + ny * set1(n[1][j]) + nz * set1(n[2][j]);
            }
            F length = sqrt(N[0] * N[0] + N[1] * N[1] + N[2] * N[2]);
            F inv = set1(1.0f) / max(length, set1(1e-30f));
            for (F& c : N) {
                c = c * inv;
            }
            shadeGroup(in, P, N, Cd, colour, factors);
            if (in.twoSided) {
                F back[3] = {zero() - N[0], zero() - N[1], zero() - N[2]};
                shadeGroup(in, P, back, Cd, colourBack, factorsBack);
            }
        } else {
            packColours(Cd, colour);
            std::memcpy(colourBack, colour, sizeof colour);
            for (int lane = 0; lane < 4; ++lane) {
                factors[lane] = unlitFactors;
                factorsBack[lane] = unlitFactors;
            }
        }

        if (!in.textured) {
            std::memcpy(out.colour + first, colour, lanes * sizeof(uint32_t));
            if (in.twoSided) {
                std::memcpy(out.colourBack + first, colourBack, lanes * sizeof(uint32_t));
            }
            continue;
        }
        for (uint32_t lane = 0; lane < lanes; ++lane) {
            TexShade& t = out.tex[first + lane];
            if (in.uvs != nullptr) {
                t.u = in.uvs[first + lane].u;
                t.v = in.uvs[first + lane].v;
            } else {
                t.u = t.v = 0.0f;
            }
            t.lit = factors[lane];
            if (in.twoSided) {
                out.texBack[first + lane] = factorsBack[lane];
            }
        }
    }
}

}  // namespace q3d::raster::detail
