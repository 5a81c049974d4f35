// raster_bench: the software rasteriser on the relief mesh, against Mesa's
// llvmpipe drawing the same mesh and view with fixed-function OpenGL.
//
//   raster_bench [--frames N] [--threads 1,2] [--no-gl] [--ppm PREFIX] [--textured]
//
// Scene: a 1920 × 1080-vertex relief (heights from a smooth function,
// per-vertex normals, about 4.1 M triangles) seen from 45° above, filling
// most of a 1920 × 1080 frame; Phong with a spot light and an ambient light,
// back faces removed. A frame is: clear, draw, and the pixels in client
// memory (ours renders straight into the caller's pixmap; llvmpipe needs
// glFinish and glReadPixels). llvmpipe runs in a child process per thread
// count, with LP_NUM_THREADS set before its context exists.
//
// --textured: the relief dressed in a 1024 × 1024 texture (one texel per
// vertex or so, as a texture layer of the relief's size gives), ours only.
//
// Also times the preview-sized render: a 12-triangle box in 100 × 85 pixels
// with an ambient and a directional light.
#include "platform/q3d/raster/ImageCompare.h"
#include "platform/q3d/raster/Renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef VASK_BENCH_LLVMPIPE
#define EGL_EGLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES
#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <GL/glext.h>
#endif

namespace {

using namespace q3d::raster;
using Clock = std::chrono::steady_clock;

constexpr uint32_t kWidth = 1920;
constexpr uint32_t kHeight = 1080;
constexpr double kPi = 3.14159265358979;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Stats {
    double best = 0;
    double median = 0;
    double worst = 0;
};

Stats statsOf(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return Stats{times.front(), times[times.size() / 2], times.back()};
}

// ---- The scene ------------------------------------------------------------

float height(float x, float z) {
    return 0.05f * std::sin(11.0f * x) * std::cos(8.0f * z) + 0.02f * std::sin(37.0f * x + 23.0f * z) +
           0.01f * std::cos(61.0f * x - 47.0f * z);
}

// Vertex (r, c) at x = −0.5 … 0.5 over the columns, z = 0.5 … −0.5 over the
// rows, as the mesh plug-in lays out a layer; normals from the gradient.
struct Relief {
    uint32_t rows = kHeight;
    uint32_t columns = kWidth;
    std::vector<TQ3Point3D> points;
    std::vector<TQ3Vector3D> normals;

    Relief() {
        points.resize(size_t(rows) * columns);
        normals.resize(points.size());
        const float h = 1e-3f;
        for (uint32_t r = 0; r < rows; ++r) {
            for (uint32_t c = 0; c < columns; ++c) {
                float x = -0.5f + float(c) / float(columns - 1);
                float z = 0.5f - float(r) / float(rows - 1);
                size_t i = size_t(r) * columns + c;
                points[i] = {x, height(x, z), z};
                float dx = (height(x + h, z) - height(x - h, z)) / (2 * h);
                float dz = (height(x, z + h) - height(x, z - h)) / (2 * h);
                float n = std::sqrt(dx * dx + 1.0f + dz * dz);
                normals[i] = {-dx / n, 1.0f / n, -dz / n};
            }
        }
    }

    uint64_t triangles() const { return uint64_t(rows - 1) * (columns - 1) * 2; }
};

TQ3Matrix4x4 multiply(const TQ3Matrix4x4& a, const TQ3Matrix4x4& b) {
    TQ3Matrix4x4 r{};
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k) {
                s += a.value[i][k] * b.value[k][j];
            }
            r.value[i][j] = s;
        }
    }
    return r;
}

struct Scene {
    Camera camera;
    std::vector<Light> lights;
    DrawState state;
};

// The relief stretched to the frame's aspect, seen from 45° above at a
// distance where it fills most of the frame.
Scene reliefScene() {
    Scene s;
    const float a = float(std::sqrt(0.5));
    const float distance = 1.25f;
    // Rows: world X, Y, Z in view space; then the eye `distance` away.
    s.camera.worldToView = TQ3Matrix4x4{{{1, 0, 0, 0}, {0, a, a, 0}, {0, -a, a, 0}, {0, 0.02f, -distance, 1}}};
    s.camera.fieldOfView = float(45.0 * kPi / 180.0);
    s.camera.aspectRatio = float(kWidth) / float(kHeight);
    s.camera.hither = 0.05f;
    s.camera.yon = 10.0f;

    Light ambient;
    ambient.kind = LightKind::Ambient;
    ambient.brightness = 0.2f;
    Light spot;
    spot.kind = LightKind::Spot;
    spot.location = {0.45f, 0.9f, 0.75f};
    spot.direction = {-0.45f, -0.9f, -0.75f};
    spot.brightness = 1.0f;
    spot.color = {1.0f, 0.95f, 0.85f};
    spot.hotAngle = float(25.0 * kPi / 180.0);
    spot.outerAngle = float(40.0 * kPi / 180.0);
    // No fall-off band (the spot plug-in's default), which fixed-function
    // OpenGL matches with a spot exponent of 0, so the two pictures agree.
    spot.fallOff = FallOff::None;
    s.lights = {ambient, spot};

    const float stretch = float(kWidth) / float(kHeight);
    s.state.localToWorld = TQ3Matrix4x4{{{stretch, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    s.state.material.illumination = Illumination::Phong;
    s.state.material.diffuseColor = {0.8f, 0.75f, 0.6f};
    s.state.material.specularColor = {0.5f, 0.5f, 0.5f};
    s.state.material.specularControl = 20.0f;
    s.state.backfacing = Backfacing::Remove;
    return s;
}

struct Image {
    Image(uint32_t w, uint32_t h) : bytes(size_t(w) * h * 4) {
        pixmap = TQ3Pixmap{bytes.data(), w, h, w * 4, 32, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle};
    }
    std::vector<uint8_t> bytes;
    TQ3Pixmap pixmap;
};

uint64_t coverage(const uint8_t* bgra, size_t pixels) {
    uint64_t n = 0;
    for (size_t i = 0; i < pixels; ++i) {
        n += (bgra[4 * i] | bgra[4 * i + 1] | bgra[4 * i + 2]) != 0 ? 1 : 0;
    }
    return n;
}

void writePpm(const std::string& path, const uint8_t* bgra, uint32_t w, uint32_t h) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) {
        return;
    }
    std::fprintf(f, "P6\n%u %u\n255\n", w, h);
    std::vector<uint8_t> row(size_t(w) * 3);
    for (uint32_t y = 0; y < h; ++y) {
        for (uint32_t x = 0; x < w; ++x) {
            const uint8_t* p = bgra + (size_t(y) * w + x) * 4;
            row[3 * x] = p[2];
            row[3 * x + 1] = p[1];
            row[3 * x + 2] = p[0];
        }
        std::fwrite(row.data(), 1, row.size(), f);
    }
    std::fclose(f);
}

// ---- Ours -----------------------------------------------------------------

// A texture of noise-like texels and UVs spreading it once over the relief.
struct ReliefTexture {
    explicit ReliefTexture(const Relief& relief) : texels(1024 * 1024), uvs(relief.points.size()) {
        for (uint32_t i = 0; i < texels.size(); ++i) {
            texels[i] = 0xff000000u | (i * 2654435761u >> 8);
        }
        texture.pixmap =
            TQ3Pixmap{texels.data(), 1024, 1024, 4096, 32, kQ3PixelTypeRGB32, kQ3EndianLittle, kQ3EndianLittle};
        for (uint32_t r = 0; r < relief.rows; ++r) {
            for (uint32_t c = 0; c < relief.columns; ++c) {
                uvs[size_t(r) * relief.columns + c] = {float(c) / float(relief.columns - 1),
                                                       float(r) / float(relief.rows - 1)};
            }
        }
    }
    std::vector<uint32_t> texels;
    std::vector<TQ3Param2D> uvs;
    Texture texture;
};

std::vector<double> runOurs(const Relief& relief, const Scene& scene, const ReliefTexture* texture, unsigned threads,
                            int frames, Image& image) {
    Renderer renderer(threads);
    VertexArrays arrays;
    arrays.points = relief.points.data();
    arrays.normals = relief.normals.data();
    arrays.count = uint32_t(relief.points.size());
    DrawState state = scene.state;
    if (texture != nullptr) {
        arrays.uvs = texture->uvs.data();
        state.texture = &texture->texture;
    }
    const TQ3ColorARGB black{1, 0, 0, 0};
    std::vector<double> times;
    for (int frame = -1; frame < frames; ++frame) {  // frame −1 warms up
        Clock::time_point start = Clock::now();
        renderer.beginFrame(image.pixmap, &black);
        renderer.setCamera(scene.camera);
        renderer.setLights(scene.lights);
        renderer.drawTriGrid(arrays, relief.rows, relief.columns, state);
        renderer.endFrame();
        double ms = millisecondsSince(start);
        if (frame >= 0) {
            times.push_back(ms);
        }
    }
    return times;
}

// The preview: a unit box (24 vertices, 12 triangles, face normals) turned
// to show three faces, orthographic camera, headlight 0.8 + ambient 0.2.
double previewMicroseconds(int iterations) {
    std::vector<TQ3Point3D> points;
    std::vector<TQ3Vector3D> normals;
    std::vector<uint32_t> indices;
    const float h = 0.5f;
    const float faces[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    for (const auto& n : faces) {
        // Two axes spanning the face, counter-clockwise seen from outside.
        float u[3] = {n[1] != 0 || n[2] != 0 ? 1.0f : 0.0f, n[0] != 0 ? 1.0f : 0.0f, 0};
        if (n[2] != 0) {
            u[0] = 1;
            u[1] = 0;
        }
        float v[3] = {n[1] * u[2] - n[2] * u[1], n[2] * u[0] - n[0] * u[2], n[0] * u[1] - n[1] * u[0]};
        uint32_t base = uint32_t(points.size());
        const float corners[4][2] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
        for (const auto& k : corners) {
            points.push_back({h * (n[0] + k[0] * u[0] + k[1] * v[0]), h * (n[1] + k[0] * u[1] + k[1] * v[1]),
                              h * (n[2] + k[0] * u[2] + k[1] * v[2])});
            normals.push_back({n[0], n[1], n[2]});
        }
        indices.insert(indices.end(), {base, base + 1, base + 2, base, base + 2, base + 3});
    }
    VertexArrays arrays;
    arrays.points = points.data();
    arrays.normals = normals.data();
    arrays.count = uint32_t(points.size());

    Camera camera;
    camera.kind = ProjectionKind::Orthographic;
    camera.worldToView = TQ3Matrix4x4{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, -10, 1}}};
    camera.hither = 0.01f;
    camera.yon = 1000.0f;
    camera.viewPort.width = 200.0f / 85.0f;
    camera.viewPort.height = 2.0f;
    camera.viewPort.origin = {-100.0f / 85.0f, 1.0f};
    Light head;
    head.kind = LightKind::Directional;
    head.direction = {0, 0, -1};
    head.brightness = 0.8f;
    Light ambient;
    ambient.kind = LightKind::Ambient;
    ambient.brightness = 0.2f;
    const Light lights[] = {head, ambient};

    DrawState state;
    const float c1 = std::cos(0.6f);
    const float s1 = std::sin(0.6f);
    const float c2 = std::cos(0.5f);
    const float s2 = std::sin(0.5f);
    TQ3Matrix4x4 aboutY{{{c1, 0, -s1, 0}, {0, 1, 0, 0}, {s1, 0, c1, 0}, {0, 0, 0, 1}}};
    TQ3Matrix4x4 aboutX{{{1, 0, 0, 0}, {0, c2, s2, 0}, {0, -s2, c2, 0}, {0, 0, 0, 1}}};
    state.localToWorld = multiply(aboutY, aboutX);
    state.material.illumination = Illumination::Phong;
    state.material.diffuseColor = {0.7f, 0.7f, 0.9f};

    Image image(100, 85);
    Renderer renderer(1);
    const TQ3ColorARGB black{1, 0, 0, 0};
    auto frame = [&] {
        renderer.beginFrame(image.pixmap, &black);
        renderer.setCamera(camera);
        renderer.setLights(lights);
        renderer.drawTriangles(arrays, indices, state);
        renderer.endFrame();
    };
    for (int i = 0; i < 100; ++i) {
        frame();
    }
    double best = 1e30;
    for (int batch = 0; batch < 5; ++batch) {
        Clock::time_point start = Clock::now();
        for (int i = 0; i < iterations; ++i) {
            frame();
        }
        best = std::min(best, millisecondsSince(start) * 1000.0 / iterations);
    }
    std::printf("preview 100x85, 12-triangle box: %.1f us per frame (best batch of %d), %llu pixels drawn\n", best,
                iterations, static_cast<unsigned long long>(coverage(image.bytes.data(), 100 * 85)));
    return best;
}

// ---- llvmpipe -----------------------------------------------------------

#ifdef VASK_BENCH_LLVMPIPE

// What a child process hands back.
struct GlResult {
    int ok;
    char renderer[128];
    int frames;
    double times[64];
    uint8_t pixels[kWidth * kHeight * 4];  // top row first, b g r a
};

void loadRowVector(GLenum mode, const TQ3Matrix4x4& m) {
    // A row-vector matrix stored row by row is the column-vector matrix GL
    // reads column by column.
    glMatrixMode(mode);
    glLoadMatrixf(&m.value[0][0]);
}

bool runGlChild(const Relief& relief, const Scene& scene, unsigned threads, int frames, GlResult& out) {
    setenv("LP_NUM_THREADS", std::to_string(threads).c_str(), 1);
    setenv("GALLIUM_DRIVER", "llvmpipe", 1);
    setenv("LIBGL_ALWAYS_SOFTWARE", "1", 1);

    EGLDisplay display = eglGetPlatformDisplay(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
    if (display == EGL_NO_DISPLAY || !eglInitialize(display, nullptr, nullptr) || !eglBindAPI(EGL_OPENGL_API)) {
        std::fprintf(stderr, "llvmpipe: no surfaceless EGL display (eglGetError 0x%x)\n", eglGetError());
        return false;
    }
    const EGLint configAttributes[] = {EGL_RENDERABLE_TYPE, EGL_OPENGL_BIT, EGL_NONE};
    EGLConfig config;
    EGLint configs = 0;
    eglChooseConfig(display, configAttributes, &config, 1, &configs);
    EGLContext context = eglCreateContext(display, configs > 0 ? config : EGL_NO_CONFIG_KHR, EGL_NO_CONTEXT, nullptr);
    if (context == EGL_NO_CONTEXT || !eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, context)) {
        std::fprintf(stderr, "llvmpipe: no OpenGL context (eglGetError 0x%x)\n", eglGetError());
        return false;
    }
    std::snprintf(out.renderer, sizeof out.renderer, "%s", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    GLuint framebuffer;
    GLuint colour;
    GLuint depth;
    glGenFramebuffers(1, &framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    glGenRenderbuffers(1, &colour);
    glBindRenderbuffer(GL_RENDERBUFFER, colour);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kWidth, kHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour);
    glGenRenderbuffers(1, &depth);
    glBindRenderbuffer(GL_RENDERBUFFER, depth);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kWidth, kHeight);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        std::fprintf(stderr, "llvmpipe: framebuffer incomplete\n");
        return false;
    }
    glViewport(0, 0, kWidth, kHeight);

    // Vertex buffer (position, normal) and the same triangles as ours.
    std::vector<float> vertices;
    vertices.reserve(relief.points.size() * 6);
    for (size_t i = 0; i < relief.points.size(); ++i) {
        const TQ3Point3D& p = relief.points[i];
        const TQ3Vector3D& n = relief.normals[i];
        vertices.insert(vertices.end(), {p.x, p.y, p.z, n.x, n.y, n.z});
    }
    std::vector<uint32_t> indices;
    indices.reserve(relief.triangles() * 3);
    for (uint32_t r = 0; r + 1 < relief.rows; ++r) {
        for (uint32_t c = 0; c + 1 < relief.columns; ++c) {
            uint32_t v = r * relief.columns + c;
            uint32_t w = relief.columns;
            indices.insert(indices.end(), {v, v + 1, v + w, v + 1, v + w + 1, v + w});
        }
    }
    GLuint buffers[2];
    glGenBuffers(2, buffers);
    glBindBuffer(GL_ARRAY_BUFFER, buffers[0]);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertices.size() * sizeof(float)), vertices.data(), GL_STATIC_DRAW);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, buffers[1]);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(indices.size() * sizeof(uint32_t)), indices.data(),
                 GL_STATIC_DRAW);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 6 * sizeof(float), reinterpret_cast<const void*>(0));
    glNormalPointer(GL_FLOAT, 6 * sizeof(float), reinterpret_cast<const void*>(3 * sizeof(float)));

    // Projection as ours: vertical field of view, same hither and yon.
    const Camera& cam = scene.camera;
    float f = 1.0f / std::tan(0.5f * cam.fieldOfView);
    float n = cam.hither;
    float fa = cam.yon;
    TQ3Matrix4x4 projection{{{f / cam.aspectRatio, 0, 0, 0}, {0, f, 0, 0}, {0, 0, (fa + n) / (n - fa), -1},
                             {0, 0, 2 * fa * n / (n - fa), 0}}};
    loadRowVector(GL_PROJECTION, projection);

    // Lights are placed in world space: modelview = worldToView for now.
    loadRowVector(GL_MODELVIEW, cam.worldToView);
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    const Light& ambient = scene.lights[0];
    const Light& spot = scene.lights[1];
    const float modelAmbient[4] = {ambient.brightness, ambient.brightness, ambient.brightness, 1};
    glLightModelfv(GL_LIGHT_MODEL_AMBIENT, modelAmbient);
    glLightModeli(GL_LIGHT_MODEL_LOCAL_VIEWER, GL_TRUE);
    const float radiance[4] = {spot.brightness * spot.color.r, spot.brightness * spot.color.g,
                               spot.brightness * spot.color.b, 1};
    const float none[4] = {0, 0, 0, 1};
    const float position[4] = {spot.location.x, spot.location.y, spot.location.z, 1};
    const float direction[3] = {spot.direction.x, spot.direction.y, spot.direction.z};
    glLightfv(GL_LIGHT0, GL_AMBIENT, none);
    glLightfv(GL_LIGHT0, GL_DIFFUSE, radiance);
    glLightfv(GL_LIGHT0, GL_SPECULAR, radiance);
    glLightfv(GL_LIGHT0, GL_POSITION, position);
    glLightfv(GL_LIGHT0, GL_SPOT_DIRECTION, direction);
    glLightf(GL_LIGHT0, GL_SPOT_CUTOFF, float(spot.outerAngle * 180.0 / kPi));
    glLightf(GL_LIGHT0, GL_SPOT_EXPONENT, 0.0f);
    const Material& m = scene.state.material;
    const float diffuse[4] = {m.diffuseColor.r, m.diffuseColor.g, m.diffuseColor.b, 1};
    const float specular[4] = {m.specularColor.r, m.specularColor.g, m.specularColor.b, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, diffuse);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, m.specularControl);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_NORMALIZE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glFrontFace(GL_CCW);
    glClearColor(0, 0, 0, 1);
    glClearDepth(1.0);
    loadRowVector(GL_MODELVIEW, multiply(scene.state.localToWorld, cam.worldToView));

    std::vector<uint8_t> read(size_t(kWidth) * kHeight * 4);
    out.frames = std::min(frames, 64);
    for (int frame = -1; frame < out.frames; ++frame) {
        Clock::time_point start = Clock::now();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDrawElements(GL_TRIANGLES, GLsizei(indices.size()), GL_UNSIGNED_INT, nullptr);
        glFinish();
        glReadPixels(0, 0, kWidth, kHeight, GL_BGRA, GL_UNSIGNED_BYTE, read.data());
        double ms = millisecondsSince(start);
        if (frame >= 0) {
            out.times[frame] = ms;
        }
    }
    if (glGetError() != GL_NO_ERROR) {
        std::fprintf(stderr, "llvmpipe: OpenGL error\n");
        return false;
    }
    // GL rows run bottom-up.
    for (uint32_t y = 0; y < kHeight; ++y) {
        std::memcpy(out.pixels + size_t(y) * kWidth * 4, read.data() + size_t(kHeight - 1 - y) * kWidth * 4,
                    size_t(kWidth) * 4);
    }
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    eglDestroyContext(display, context);
    eglTerminate(display);
    return true;
}

// Runs llvmpipe in a child so that each thread count gets a fresh driver.
GlResult* runGl(const Relief& relief, const Scene& scene, unsigned threads, int frames) {
    void* shared = mmap(nullptr, sizeof(GlResult), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        return nullptr;
    }
    auto* result = static_cast<GlResult*>(shared);
    result->ok = 0;
    std::fflush(stdout);
    pid_t child = fork();
    if (child == 0) {
        result->ok = runGlChild(relief, scene, threads, frames, *result) ? 1 : 0;
        _exit(0);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !result->ok) {
        munmap(shared, sizeof(GlResult));
        return nullptr;
    }
    return result;
}

#endif

}  // namespace

int main(int argc, char** argv) {
    int frames = 7;
    bool gl = true;
    bool textured = false;
    std::string ppm;
    std::vector<unsigned> threadCounts = {1, 2};
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc) {
            frames = std::clamp(std::atoi(argv[++i]), 1, 64);
        } else if (arg == "--no-gl") {
            gl = false;
        } else if (arg == "--textured") {
            textured = true;
            gl = false;
        } else if (arg == "--ppm" && i + 1 < argc) {
            ppm = argv[++i];
        } else if (arg == "--threads" && i + 1 < argc) {
            threadCounts.clear();
            for (const char* p = argv[++i]; *p != 0;) {
                char* end = nullptr;
                long n = std::strtol(p, &end, 10);
                if (end == p) {
                    break;
                }
                threadCounts.push_back(unsigned(std::clamp(n, 1L, 64L)));
                p = *end == ',' ? end + 1 : end;
            }
        } else {
            std::fprintf(stderr,
                         "usage: raster_bench [--frames N] [--threads 1,2] [--no-gl] [--ppm PREFIX] [--textured]\n");
            return 2;
        }
    }
#ifndef VASK_BENCH_LLVMPIPE
    if (gl) {
        std::printf("llvmpipe comparison not built: EGL/OpenGL headers were missing at configure time "
                    "(bench/raster/setup.sh installs them)\n");
    }
    gl = false;
#endif

    const Relief relief;
    const Scene scene = reliefScene();
    std::unique_ptr<ReliefTexture> texture;
    if (textured) {
        texture = std::make_unique<ReliefTexture>(relief);
    }
    std::printf("relief %ux%u vertices, %llu triangles%s, into %ux%u pixels; %d timed frames after one warm-up\n",
                relief.columns, relief.rows, static_cast<unsigned long long>(relief.triangles()),
                textured ? ", textured" : "", kWidth, kHeight, frames);
    std::printf("%-8s %-28s %-28s %s\n", "threads", "ours ms (best/median/worst)", "llvmpipe ms (best/median/worst)",
                "ours/llvmpipe (best, median)");
    Image ours(kWidth, kHeight);
    for (unsigned threads : threadCounts) {
        Stats o = statsOf(runOurs(relief, scene, texture.get(), threads, frames, ours));
        char oursText[64];
        std::snprintf(oursText, sizeof oursText, "%.1f / %.1f / %.1f", o.best, o.median, o.worst);
        if (!ppm.empty()) {
            writePpm(ppm + "-ours-" + std::to_string(threads) + ".ppm", ours.bytes.data(), kWidth, kHeight);
        }
#ifdef VASK_BENCH_LLVMPIPE
        if (gl) {
            GlResult* result = runGl(relief, scene, threads, frames);
            if (result == nullptr) {
                std::printf("%-8u %-28s %s\n", threads, oursText, "llvmpipe failed");
                continue;
            }
            Stats g = statsOf(std::vector<double>(result->times, result->times + result->frames));
            char glText[64];
            std::snprintf(glText, sizeof glText, "%.1f / %.1f / %.1f", g.best, g.median, g.worst);
            std::printf("%-8u %-28s %-28s %.2f, %.2f\n", threads, oursText, glText, o.best / g.best,
                        o.median / g.median);
            TQ3Pixmap theirs = ours.pixmap;
            theirs.image = result->pixels;
            ImageDifference d = compareImages(ours.pixmap, theirs, 16);
            ImageDifference d2 = compareImages(ours.pixmap, theirs, 2);
            std::printf("         pixels drawn: ours %llu, llvmpipe %llu (%s); pixels differing by more than 2 "
                        "levels: %.2f%%, by more than 16: %.2f%%, at most %u\n",
                        static_cast<unsigned long long>(coverage(ours.bytes.data(), size_t(kWidth) * kHeight)),
                        static_cast<unsigned long long>(coverage(result->pixels, size_t(kWidth) * kHeight)),
                        result->renderer, 100.0 * double(d2.differingPixels) / (double(kWidth) * kHeight),
                        100.0 * double(d.differingPixels) / (double(kWidth) * kHeight), d.maxChannelDifference);
            if (!ppm.empty()) {
                writePpm(ppm + "-llvmpipe-" + std::to_string(threads) + ".ppm", result->pixels, kWidth, kHeight);
            }
            munmap(result, sizeof(GlResult));
            continue;
        }
#endif
        std::printf("%-8u %-28s %llu pixels drawn\n", threads, oursText,
                    static_cast<unsigned long long>(coverage(ours.bytes.data(), size_t(kWidth) * kHeight)));
    }
    previewMicroseconds(2000);
    return 0;
}
