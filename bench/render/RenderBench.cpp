// Whole frames through the QuickDraw 3D view API, the way a consumer of the
// shared scene and the plug-ins' preview draw them.
//
// Relief: a TriGrid of 1920 × 1080 vertices (about 4.1 M triangles), each
// vertex with its own attribute set holding a normal (the Mesh Object with
// "Smooth" on), in an ordered display group with a Phong shader, a diffuse
// colour and a transform stretching it to the frame's aspect; lit by a spot
// light and an ambient light; seen from 45 degrees above by a view-angle
// camera; drawn into a 1920 × 1080 RGB32 pixmap. A frame is
// Q3View_StartRendering, Q3DisplayGroup_Submit, Q3View_EndRendering: it
// includes gathering the normals out of the 2 M attribute sets. Run with 1
// and 2 renderer threads (Q3InteractiveRenderer_SetThreadCount).
//
// Preview: PreviewView::renderTo of the unit box with its face labels at
// 100 × 85 pixels, copy to the canvas included.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/os/Canvas.h"
#include "platform/q3d/QD3D.h"
#include "platform/q3d/QD3DCamera.h"
#include "platform/q3d/QD3DDrawContext.h"
#include "platform/q3d/QD3DErrors.h"
#include "platform/q3d/QD3DGeometry.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/QD3DRenderer.h"
#include "platform/q3d/QD3DSet.h"
#include "platform/q3d/QD3DShader.h"
#include "platform/q3d/QD3DTransform.h"
#include "platform/q3d/QD3DView.h"
#include "scene/builders/Builders.h"
#include "scene/builders/Constants.h"
#include "scene/builders/FaceLabels.h"
#include "scene/builders/Shapes.h"
#include "scene/math/Units.h"
#include "scene/preview/PreviewView.h"

namespace {

constexpr TQ3Uns32 kWidth = 1920;
constexpr TQ3Uns32 kHeight = 1080;

template <class T>
T require(T result, const char* what) {
    if (result) return result;
    std::fprintf(stderr, "%s failed: QuickDraw 3D error %d\n", what, static_cast<int>(Q3Error_Get(nullptr)));
    std::abort();
}
void require(TQ3Status status, const char* what) { require(status == kQ3Success, what); }

float height(float x, float z) {
    return 0.05f * std::sin(11.0f * x) * std::cos(8.0f * z) + 0.02f * std::sin(37.0f * x + 23.0f * z) +
           0.01f * std::cos(61.0f * x - 47.0f * z);
}

// The relief scene, made once for all runs.
struct Relief {
    TQ3GroupObject group = nullptr;
    TQ3GroupObject lights = nullptr;
    TQ3CameraObject camera = nullptr;

    Relief() {
        std::vector<TQ3Vertex3D> vertices(std::size_t(kWidth) * kHeight);
        const float h = 1e-3f;
        for (TQ3Uns32 r = 0; r < kHeight; ++r) {
            for (TQ3Uns32 c = 0; c < kWidth; ++c) {
                const float x = -0.5f + float(c) / float(kWidth - 1);
                const float z = 0.5f - float(r) / float(kHeight - 1);
                const float dx = (height(x + h, z) - height(x - h, z)) / (2 * h);
                const float dz = (height(x, z + h) - height(x, z - h)) / (2 * h);
                const TQ3Vector3D normal{-dx, 1, -dz};
                TQ3AttributeSet set = require(Q3AttributeSet_New(), "Q3AttributeSet_New");
                require(Q3AttributeSet_Add(set, kQ3AttributeTypeNormal, &normal), "Q3AttributeSet_Add");
                vertices[std::size_t(r) * kWidth + c] = {{x, height(x, z), z}, set};
            }
        }
        const TQ3TriGridData data{kHeight, kWidth, vertices.data(), nullptr, nullptr};
        TQ3GeometryObject grid = require(Q3TriGrid_New(&data), "Q3TriGrid_New");
        for (TQ3Vertex3D& v : vertices) Q3Object_Dispose(v.attributeSet);

        group = require(Q3OrderedDisplayGroup_New(), "Q3OrderedDisplayGroup_New");
        TQ3ShaderObject phong = require(Q3PhongIllumination_New(), "Q3PhongIllumination_New");
        TQ3AttributeSet colour = require(Q3AttributeSet_New(), "Q3AttributeSet_New");
        const TQ3ColorRGB diffuse{0.8f, 0.75f, 0.6f};
        require(Q3AttributeSet_Add(colour, kQ3AttributeTypeDiffuseColor, &diffuse), "Q3AttributeSet_Add");
        const float stretch = float(kWidth) / float(kHeight);
        const TQ3Matrix4x4 matrix{{{stretch, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
        TQ3TransformObject transform = require(Q3MatrixTransform_New(&matrix), "Q3MatrixTransform_New");
        for (TQ3Object member : {grid, phong, colour, transform}) {
            require(Q3Group_AddObject(group, member) != nullptr, "Q3Group_AddObject");
            Q3Object_Dispose(member);
        }

        lights = require(Q3LightGroup_New(), "Q3LightGroup_New");
        TQ3SpotLightData spot{};
        spot.lightData = {kQ3True, 1.0f, {1.0f, 0.95f, 0.85f}};
        spot.castsShadows = kQ3True;
        spot.attenuation = kQ3AttenuationTypeNone;
        spot.location = {0.45f, 0.9f, 0.75f};
        spot.direction = {-0.45f, -0.9f, -0.75f};
        spot.hotAngle = 25.0f * vask::kDegreesToRadians;
        spot.outerAngle = 40.0f * vask::kDegreesToRadians;
        spot.fallOff = kQ3FallOffTypeCosine;
        const TQ3LightData ambient{kQ3True, 0.2f, {1, 1, 1}};
        for (TQ3LightObject light : {require(Q3SpotLight_New(&spot), "Q3SpotLight_New"),
                                     require(Q3AmbientLight_New(&ambient), "Q3AmbientLight_New")}) {
            require(Q3Group_AddObject(lights, light) != nullptr, "Q3Group_AddObject");
            Q3Object_Dispose(light);
        }

        TQ3ViewAngleAspectCameraData eye{};
        const float distance = 1.25f;
        const float a = float(std::sqrt(0.5));
        eye.cameraData.placement = {{0, distance * a, distance * a}, {0, 0, 0}, {0, 1, 0}};
        eye.cameraData.range = {0.05f, 10};
        eye.cameraData.viewPort = {{-1, 1}, 2, 2};
        eye.fov = 45.0f * vask::kDegreesToRadians;
        eye.aspectRatioXToY = float(kWidth) / float(kHeight);
        camera = require(Q3ViewAngleAspectCamera_New(&eye), "Q3ViewAngleAspectCamera_New");
    }
};

Relief& relief() {
    static Relief scene;
    return scene;
}

void reliefFrame(benchmark::State& state) {
    const Relief& scene = relief();
    std::vector<unsigned char> pixels(std::size_t(kWidth) * kHeight * 4);
    TQ3PixmapDrawContextData context{};
    context.drawContextData.clearImageMethod = kQ3ClearMethodWithColor;
    context.drawContextData.clearImageColor = {1, 0, 0, 0};
    context.pixmap = {pixels.data(),     kWidth,          kHeight,        kWidth * 4, 32,
                      kQ3PixelTypeRGB32, kQ3EndianLittle, kQ3EndianLittle};
    TQ3ViewObject view = require(Q3View_New(), "Q3View_New");
    TQ3DrawContextObject drawContext = require(Q3PixmapDrawContext_New(&context), "Q3PixmapDrawContext_New");
    TQ3RendererObject renderer = require(Q3Renderer_NewFromType(kQ3RendererTypeInteractive), "Q3Renderer_NewFromType");
    require(Q3InteractiveRenderer_SetThreadCount(renderer, TQ3Uns32(state.range(0))), "SetThreadCount");
    require(Q3View_SetDrawContext(view, drawContext), "Q3View_SetDrawContext");
    require(Q3View_SetRenderer(view, renderer), "Q3View_SetRenderer");
    require(Q3View_SetCamera(view, scene.camera), "Q3View_SetCamera");
    require(Q3View_SetLightGroup(view, scene.lights), "Q3View_SetLightGroup");
    Q3Object_Dispose(drawContext);
    Q3Object_Dispose(renderer);

    for (auto _ : state) {
        require(Q3View_StartRendering(view), "Q3View_StartRendering");
        do {
            require(Q3DisplayGroup_Submit(scene.group, view), "Q3DisplayGroup_Submit");
        } while (Q3View_EndRendering(view) == kQ3ViewStatusRetraverse);
        benchmark::DoNotOptimize(pixels.data());
    }
    std::size_t lit = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) lit += (pixels[i] | pixels[i + 1] | pixels[i + 2]) != 0;
    state.counters["coverage"] = double(lit) / double(std::size_t(kWidth) * kHeight);
    Q3Object_Dispose(view);
}
BENCHMARK(reliefFrame)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(10)->UseRealTime();

void previewFrame(benchmark::State& state) {
    using namespace vask;
    const os::Rect rect{0, 0, 100, 85};
    PreviewView preview;
    preview.setup(rect, PreviewCamera::ViewAngle);
    preview.setWorldToCamera(multiply(rotationFromAngles(0.5f, 0.4f, 0), translate(identityMatrix(), Vec3{0, 0, -4})));
    preview.setFieldOfView(30.0f * kDegreesToRadians);
    ObjectRef illumination;
    makeIllumination(illumination);
    ObjectRef objects;
    makeOrderedGroup(objects);
    addToGroup(objects, illumination);
    addToGroup(objects, makeBox(Vec3{-0.5f, -0.5f, -0.5f}, kXAxis, kYAxis, kZAxis, 1, 1, 1, colors::kWhite));
    addToGroup(objects, makeFaceLabels(colors::kBlack));
    preview.setObjectGroup(objects.get());
    os::Canvas canvas(rect.width, rect.height);
    for (auto _ : state) {
        preview.renderTo(canvas);
        benchmark::DoNotOptimize(canvas.data());
    }
}
BENCHMARK(previewFrame)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (Q3Initialize() != kQ3Success) {
        std::fprintf(stderr, "Q3Initialize failed\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Q3Exit();
    return 0;
}
