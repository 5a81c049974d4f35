// The vertex stage: transforms, projects and lights vertices four or eight
// at a time.
// Internal to the renderer.
#pragma once

#include "platform/q3d/QD3D.h"
#include "platform/q3d/raster/Pipeline.h"
#include "platform/q3d/raster/Shading.h"
#include "platform/q3d/raster/SimdMath.h"

#include <cstdint>

namespace q3d::raster::detail {

struct VertexInput {
    const TQ3Point3D* points = nullptr;
    const TQ3Vector3D* normals = nullptr;  // null: no lighting here
    const TQ3Param2D* uvs = nullptr;
    const TQ3ColorRGB* colors = nullptr;
    uint32_t count = 0;

    float toClip[4][4] = {};      // local → pixel clip space
    float toWorld[4][3] = {};     // local → world (affine part)
    float normalToWorld[3][3] = {};
    // Guard band in pixels: x min, x max, y min, y max.
    float guard[4] = {};

    const Shading* shading = nullptr;  // null or unlit: the diffuse colour
    TQ3ColorRGB diffuse{1, 1, 1};
    TQ3ColorRGB specular{1, 1, 1};
    bool textured = false;   // write TexShade instead of colours
    bool twoSided = false;   // also write the back-face shades
    bool shadeVertices = true;  // false: positions (and texture coordinates) only
};

// Arrays of at least `count` entries (the back arrays only when twoSided).
struct VertexOutput {
    ScreenVertex* screen = nullptr;
    uint8_t* outcode = nullptr;
    uint32_t* colour = nullptr;
    uint32_t* colourBack = nullptr;
    TexShade* tex = nullptr;
    LitFactors* texBack = nullptr;
};

// Processes vertices [begin, end); begin is a multiple of 4. Runs eight
// lanes at a time where the processor can, with the same results.
void runVertexStage(const VertexInput& in, const VertexOutput& out, uint32_t begin, uint32_t end);

// runVertexStage four lanes at a time, on any processor.
void runVertexStage4(const VertexInput& in, const VertexOutput& out, uint32_t begin, uint32_t end);
// Whether the processor runs runVertexStage8 (AVX2).
bool wideLanesAvailable();
// runVertexStage eight lanes at a time: begin and end multiples of 8 apart,
// begin a multiple of 8. Only where wideLanesAvailable().
void runVertexStage8(const VertexInput& in, const VertexOutput& out, uint32_t begin, uint32_t end);

// The clip-space positions of four packed points (12 floats), lane by lane
// bit-identical to what runVertexStage computes for the same points.
void clipGroup(const VertexInput& in, const float xyz[12], simd::F clip[4]);

// Projects four clip-space positions as runVertexStage does.
void projectGroup(const simd::F clip[4], const float guard[4], ScreenVertex out[4], uint8_t outcode[4]);

// World position and unit normal to a colour (0xAARRGGBB) and textured
// factors, for one lane group; used for facets.
void shadeGroup(const VertexInput& in, const simd::F P[3], const simd::F N[3], const simd::F Cd[3],
                uint32_t colour[4], LitFactors lit[4]);

}  // namespace q3d::raster::detail
