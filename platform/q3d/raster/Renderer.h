// q3d::raster::Renderer — the software rasteriser behind the interactive
// renderer: z-buffered triangles, lines and points with per-vertex lighting
// (Lights.h), drawn straight into a caller's 32-bit pixmap.
//
// Use:
//
//   Renderer renderer(2);                       // threads: 1 = none of its own
//   renderer.beginFrame(pixmap, &clearColor);   // clears colour and depth
//   renderer.setCamera(camera);
//   renderer.setLights(lights);
//   renderer.drawTriGrid(vertices, rows, columns, state);   // any number of draws
//   renderer.endFrame();
//
// Each draw is finished when its call returns: the caller's arrays are only
// borrowed for the call, and the pixmap already shows the draw. Nothing is
// allocated per triangle; the z-buffer and scratch buffers are kept and reused
// from frame to frame, growing to the largest target and draw seen.
//
// Pictures are deterministic: the same calls give the same pixels bit for bit
// whatever the thread count.
//
// Rasterisation rules:
// - A pixel (i, j) is covered when its centre (i + 0.5, j + 0.5) lies inside
//   the triangle; centres exactly on an edge belong to the triangle on the
//   edge's top or left side, so triangles sharing an edge never both draw a
//   pixel nor leave a gap. Corners are snapped to 1/256 pixel.
// - Depth: 0 at hither, 1 at yon; a pixel is written when its depth is
//   strictly less than the stored one, so of two equal depths the first drawn
//   stays. Triangles and lines are clipped at hither and yon.
// - Colour and depth vary linearly across the screen (Gouraud); texture
//   coordinates are interpolated with perspective correction.
// - Lines are one pixel wide: the pixels under points taken along the line
//   one step apart on its longer axis, from end to end, both end pixels
//   included. Points are the one pixel that contains them.
// - Written pixels are opaque: alpha 255 in ARGB32, the spare byte of RGB32
//   255 too.
//
// Threads: [single caller] A renderer is used from one thread at a time; its
// own workers only run inside draw, beginFrame and the destructor.
#pragma once

#include "platform/q3d/QD3D.h"
#include "platform/q3d/raster/Camera.h"
#include "platform/q3d/raster/DrawState.h"
#include "platform/q3d/raster/Lights.h"

#include <cstdint>
#include <memory>
#include <span>

namespace q3d::raster {

class Renderer {
public:
    // Largest target width or height accepted, in pixels.
    static constexpr uint32_t kMaxTargetSide = 16384;
    // Most threads a renderer runs.
    static constexpr unsigned kMaxThreads = 64;

    // threadCount: 1 does all work on the calling thread; n > 1 starts n − 1
    // workers that help the caller. 0 counts as 1; more than kMaxThreads as
    // kMaxThreads.
    explicit Renderer(unsigned threadCount = 1);
    ~Renderer();
    Renderer(const Renderer&) = delete;
    Renderer& operator=(const Renderer&) = delete;

    unsigned threadCount() const;

    // Starts a frame into `target`, which must stay valid until endFrame: 32
    // bits per pixel, kQ3PixelTypeRGB32 or kQ3PixelTypeARGB32, either byte
    // order, rowBytes >= width × 4, width and height <= kMaxTargetSide, image
    // not null unless the target is empty. Clears the depth to yon and, when
    // `clearColor` is not null, the pixels to it (components in [0, 1]; its
    // alpha goes into ARGB32 pixels). Returns false for a target that breaks
    // these rules; draws then do nothing until the next beginFrame. An empty
    // target (width or height 0) is valid and draws nothing.
    bool beginFrame(const TQ3Pixmap& target, const TQ3ColorARGB* clearColor);

    // Ends the frame: the target is no longer touched. Draws after it do
    // nothing. Calling it without a frame is harmless.
    void endFrame();

    // The camera and lights for later draws, until set again. The camera is
    // checked by isValid (Camera.h); through an invalid one nothing is drawn.
    // Lights are copied. Both may be set before or during a frame.
    void setCamera(const Camera& camera);
    void setLights(std::span<const Light> lights);

    // [frame] Triangles with three indices each into `vertices`; a trailing
    // incomplete triple is ignored, and so is any triangle with an index out
    // of range. Draws of 2^30 triangles or more draw nothing.
    void drawTriangles(const VertexArrays& vertices, std::span<const uint32_t> indices,
                       const DrawState& state);

    // [frame] A triangle grid of rows × columns vertices, row after row:
    // vertex (r, c) is vertices[r × columns + c]. Each quad (r, c)–(r+1, c+1)
    // is split along the diagonal from (r, c+1) to (r+1, c) into the triangles
    // (r, c), (r, c+1), (r+1, c) and (r, c+1), (r+1, c+1), (r+1, c), drawn in
    // that order, quads row after row. The grid needs rows, columns >= 2,
    // rows × columns <= vertices.count and rows × columns <= 2^29; otherwise
    // nothing is drawn.
    void drawTriGrid(const VertexArrays& vertices, uint32_t rows, uint32_t columns,
                     const DrawState& state);

    // [frame] Lines with two indices each; out-of-range pairs are ignored.
    // Lit only when the vertices have normals; never textured. The fill
    // style and backfacing do not apply.
    void drawLines(const VertexArrays& vertices, std::span<const uint32_t> indices,
                   const DrawState& state);

    // [frame] Every vertex as one pixel; lit only with normals; never textured.
    void drawPoints(const VertexArrays& vertices, const DrawState& state);

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace q3d::raster
