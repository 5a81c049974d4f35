// The view family's C API contracts: what each call refuses and with which
// error, the pass lifecycle, references, and the failure seam.
#include <cmath>
#include <cstring>

#include "tests/q3d_views/FromC.h"
#include "tests/q3d_views/ViewTestSupport.h"

namespace viewtest {
namespace {

class ViewApiTest : public ViewTest {};

TQ3Error lastError() { return Q3Error_Get(nullptr); }

TEST_F(ViewApiTest, RenderingNeedsCameraRendererAndDrawContext) {
    Target target(8, 8);
    Ref view(Q3View_New());
    Ref camera = orthoCamera();
    Ref renderer(Q3Renderer_NewFromType(kQ3RendererTypeInteractive));
    TQ3PixmapDrawContextData data{};
    data.pixmap = target.pixmap;
    Ref context(Q3PixmapDrawContext_New(&data));

    EXPECT_EQ(Q3View_StartRendering(view.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorCameraNotSet);
    Q3View_SetCamera(view.get(), camera.get());
    EXPECT_EQ(Q3View_StartRendering(view.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorRendererNotSet);
    Q3View_SetRenderer(view.get(), renderer.get());
    EXPECT_EQ(Q3View_StartRendering(view.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorDrawContextNotSet);
    Q3View_SetDrawContext(view.get(), context.get());
    EXPECT_EQ(Q3View_StartRendering(view.get()), kQ3Success);
    EXPECT_EQ(Q3View_EndRendering(view.get()), kQ3ViewStatusDone);
}

TEST_F(ViewApiTest, PassesRefuseWhatDoesNotFitTheirState) {
    Target target(8, 8);
    Scene scene(target, orthoCamera());
    TQ3ViewObject view = scene.view.get();
    Ref b = box({0, 0, 0}, {1, 1, 1});

    EXPECT_EQ(Q3Geometry_Submit(b.get(), view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorViewNotStarted);
    EXPECT_EQ(Q3View_EndRendering(view), kQ3ViewStatusError);
    EXPECT_EQ(lastError(), kQ3ErrorRenderingNotStarted);
    TQ3BoundingBox box;
    EXPECT_EQ(Q3View_EndBoundingBox(view, &box), kQ3ViewStatusError);
    EXPECT_EQ(lastError(), kQ3ErrorBoundsNotStarted);

    ASSERT_EQ(Q3View_StartRendering(view), kQ3Success);
    EXPECT_EQ(Q3View_StartRendering(view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorViewIsStarted);
    EXPECT_EQ(Q3View_StartBoundingBox(view, kQ3ComputeBoundsExact), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorViewIsStarted);
    EXPECT_EQ(Q3View_SetCamera(view, scene.camera.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorViewIsStarted);
    EXPECT_EQ(Q3Pop_Submit(view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorNothingToPop);
    EXPECT_EQ(Q3View_EndBoundingBox(view, &box), kQ3ViewStatusError);
    EXPECT_EQ(Q3View_EndRendering(view), kQ3ViewStatusDone);

    EXPECT_EQ(viewtestStartBoundingBox(view, 2), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorParameterOutOfRange);
    ASSERT_EQ(Q3View_StartBoundingBox(view, kQ3ComputeBoundsApproximate), kQ3Success);
    EXPECT_EQ(Q3View_EndBoundingBox(view, nullptr), kQ3ViewStatusError);
    EXPECT_EQ(lastError(), kQ3ErrorNULLParameter);
    // The pass ended anyway.
    EXPECT_EQ(Q3View_StartBoundingBox(view, kQ3ComputeBoundsApproximate), kQ3Success);
    EXPECT_EQ(Q3View_Cancel(view), kQ3Success);
}

TEST_F(ViewApiTest, SubmitsRefuseObjectsOfTheWrongKind) {
    Target target(8, 8);
    Scene scene(target, orthoCamera());
    TQ3ViewObject view = scene.view.get();
    Ref b = box({0, 0, 0}, {1, 1, 1});
    Ref plainGroup(Q3Group_New());
    int notAnObject = 0;
    ASSERT_EQ(Q3View_StartRendering(view), kQ3Success);
    EXPECT_EQ(Q3Shader_Submit(b.get(), view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorInvalidObjectType);
    EXPECT_EQ(Q3DisplayGroup_Submit(plainGroup.get(), view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorInvalidObjectType);
    EXPECT_EQ(Q3Object_Submit(scene.lights.get(), view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorInvalidObjectType);
    EXPECT_EQ(Q3Geometry_Submit(reinterpret_cast<TQ3Object>(&notAnObject), view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorInvalidObject);
    EXPECT_EQ(Q3Geometry_Submit(b.get(), nullptr), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorNULLParameter);
    EXPECT_EQ(Q3MatrixTransform_Submit(nullptr, view), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorNULLParameter);
    // Lights and cameras in a scene are skipped, not refused.
    Ref light = ambientLight(1);
    EXPECT_EQ(Q3Object_Submit(light.get(), view), kQ3Success);
    EXPECT_EQ(Q3Object_Submit(scene.camera.get(), view), kQ3Success);
    EXPECT_EQ(Q3Object_Submit(b.get(), view), kQ3Success);
    EXPECT_EQ(Q3View_EndRendering(view), kQ3ViewStatusDone);
    EXPECT_EQ(Q3View_SetLightGroup(view, b.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorInvalidObjectType);
    EXPECT_EQ(Q3View_SetLightGroup(view, nullptr), kQ3Success);
}

TEST_F(ViewApiTest, CancelEndsAPassSoTheNextCanStart) {
    Target target(8, 8);
    Scene scene(target, orthoCamera());
    ASSERT_EQ(Q3View_StartRendering(scene.view.get()), kQ3Success);
    ASSERT_EQ(Q3View_Cancel(scene.view.get()), kQ3Success);
    EXPECT_EQ(Q3View_StartRendering(scene.view.get()), kQ3Success);
    EXPECT_EQ(Q3View_EndRendering(scene.view.get()), kQ3ViewStatusDone);
}

TEST_F(ViewApiTest, ARendererServesOnePassAtATime) {
    Target first(8, 8), second(8, 8);
    Scene a(first, orthoCamera());
    Scene b(second, orthoCamera());
    ASSERT_EQ(Q3View_SetRenderer(b.view.get(), a.renderer.get()), kQ3Success);
    ASSERT_EQ(Q3View_StartRendering(a.view.get()), kQ3Success);
    EXPECT_EQ(Q3View_StartRendering(b.view.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorRenderingIsActive);
    EXPECT_EQ(Q3InteractiveRenderer_SetThreadCount(a.renderer.get(), 2), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorRenderingIsActive);
    // Disposing a view in the middle of a pass frees its renderer.
    a.view.reset();
    EXPECT_EQ(Q3View_StartRendering(b.view.get()), kQ3Success);
    EXPECT_EQ(Q3View_EndRendering(b.view.get()), kQ3ViewStatusDone);
}

TEST_F(ViewApiTest, AttachedObjectsAreHeldAndHandedBackAsNewReferences) {
    Ref view(Q3View_New());
    Ref camera = orthoCamera();
    ASSERT_EQ(Q3View_SetCamera(view.get(), camera.get()), kQ3Success);
    EXPECT_EQ(Q3Shared_GetReferenceCount(camera.get()), 2u);
    TQ3CameraObject got = nullptr;
    ASSERT_EQ(Q3View_GetCamera(view.get(), &got), kQ3Success);
    EXPECT_EQ(got, camera.get());
    EXPECT_EQ(Q3Shared_GetReferenceCount(camera.get()), 3u);
    Q3Object_Dispose(got);
    TQ3RendererObject none = camera.get();
    ASSERT_EQ(Q3View_GetRenderer(view.get(), &none), kQ3Success);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(Q3Shared_GetReference(view.get()), nullptr);  // a view is not shared
    view.reset();
    EXPECT_EQ(Q3Shared_GetReferenceCount(camera.get()), 1u);
}

TEST_F(ViewApiTest, RendererTypeAndThreadCountAreChecked) {
    EXPECT_EQ(Q3Renderer_NewFromType(kQ3RendererTypeInteractive + 1), nullptr);
    EXPECT_EQ(lastError(), kQ3ErrorInvalidObjectClass);
    Ref renderer(Q3Renderer_NewFromType(kQ3RendererTypeInteractive));
    EXPECT_EQ(Q3Renderer_GetType(renderer.get()), kQ3RendererTypeInteractive);
    TQ3Uns32 threads = 0;
    ASSERT_EQ(Q3InteractiveRenderer_GetThreadCount(renderer.get(), &threads), kQ3Success);
    EXPECT_EQ(threads, 1u);
    EXPECT_EQ(Q3InteractiveRenderer_SetThreadCount(renderer.get(), 0), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorParameterOutOfRange);
    EXPECT_EQ(Q3InteractiveRenderer_SetThreadCount(renderer.get(), kQ3InteractiveRendererMaxThreads + 1), kQ3Failure);
    EXPECT_EQ(Q3InteractiveRenderer_SetThreadCount(renderer.get(), 3), kQ3Success);
    Q3InteractiveRenderer_GetThreadCount(renderer.get(), &threads);
    EXPECT_EQ(threads, 3u);
}

TEST_F(ViewApiTest, CamerasRefuseDegenerateData) {
    TQ3ViewAngleAspectCameraData good{};
    good.cameraData.placement = {{0, 0, 5}, {0, 0, 0}, {0, 1, 0}};
    good.cameraData.range = {0.1f, 10};
    good.cameraData.viewPort = {{-1, 1}, 2, 2};
    good.fov = 1;
    good.aspectRatioXToY = 1.5f;
    Ref camera(Q3ViewAngleAspectCamera_New(&good));
    ASSERT_NE(camera, nullptr);

    struct Case {
        const char* what;
        void (*spoil)(TQ3ViewAngleAspectCameraData&);
        TQ3Error error;
    };
    const Case cases[] = {
        {"eye on the point of interest",
         [](auto& d) {
             d.cameraData.placement.pointOfInterest = {0, 0, 5};
         },
         kQ3ErrorInvalidCameraValues},
        {"up along the line of sight",
         [](auto& d) {
             d.cameraData.placement.upVector = {0, 0, 2};
         },
         kQ3ErrorInvalidCameraValues},
        {"zero up vector",
         [](auto& d) {
             d.cameraData.placement.upVector = {0, 0, 0};
         },
         kQ3ErrorInvalidCameraValues},
        {"NaN location", [](auto& d) { d.cameraData.placement.cameraLocation.x = NAN; }, kQ3ErrorInvalidCameraValues},
        {"hither at the eye", [](auto& d) { d.cameraData.range.hither = 0; }, kQ3ErrorParameterOutOfRange},
        {"yon before hither", [](auto& d) { d.cameraData.range.yon = 0.05f; }, kQ3ErrorParameterOutOfRange},
        {"empty view port", [](auto& d) { d.cameraData.viewPort.width = 0; }, kQ3ErrorParameterOutOfRange},
        {"field of view π", [](auto& d) { d.fov = 3.1416f; }, kQ3ErrorParameterOutOfRange},
        {"negative aspect", [](auto& d) { d.aspectRatioXToY = -1; }, kQ3ErrorParameterOutOfRange},
    };
    for (const Case& c : cases) {
        TQ3ViewAngleAspectCameraData data = good;
        c.spoil(data);
        EXPECT_EQ(Q3ViewAngleAspectCamera_New(&data), nullptr) << c.what;
        EXPECT_EQ(lastError(), c.error) << c.what;
        EXPECT_EQ(Q3ViewAngleAspectCamera_SetData(camera.get(), &data), kQ3Failure) << c.what;
        Q3Error_Get(nullptr);
    }
    TQ3ViewAngleAspectCameraData kept{};
    ASSERT_EQ(Q3ViewAngleAspectCamera_GetData(camera.get(), &kept), kQ3Success);
    EXPECT_EQ(kept.fov, 1.0f);
    EXPECT_EQ(kept.cameraData.range.hither, 0.1f);

    EXPECT_EQ(Q3ViewAngleAspectCamera_SetFOV(camera.get(), 0), kQ3Failure);
    EXPECT_EQ(Q3ViewAngleAspectCamera_SetAspectRatio(camera.get(), 0), kQ3Failure);
    Ref ortho = orthoCamera();
    EXPECT_EQ(Q3ViewAngleAspectCamera_SetFOV(ortho.get(), 1), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorInvalidObjectType);
    // An orthographic camera may have its near plane behind the eye.
    const TQ3CameraRange behind{-1, 1};
    EXPECT_EQ(Q3Camera_SetRange(ortho.get(), &behind), kQ3Success);
}

TEST_F(ViewApiTest, WorldToViewLooksDownMinusZFromTheEye) {
    Ref camera = perspectiveCamera({3, 0, 0}, {0, 0, 0}, 1);
    TQ3Matrix4x4 m;
    ASSERT_EQ(Q3Camera_GetWorldToView(camera.get(), &m), kQ3Success);
    // The origin lies 3 units straight ahead; +Y stays up; +Z (seen from +X)
    // is to the left.
    auto apply = [&](float x, float y, float z) {
        return TQ3Point3D{x * m.value[0][0] + y * m.value[1][0] + z * m.value[2][0] + m.value[3][0],
                          x * m.value[0][1] + y * m.value[1][1] + z * m.value[2][1] + m.value[3][1],
                          x * m.value[0][2] + y * m.value[1][2] + z * m.value[2][2] + m.value[3][2]};
    };
    const TQ3Point3D origin = apply(0, 0, 0), up = apply(0, 1, 0), side = apply(0, 0, 1);
    EXPECT_NEAR(origin.z, -3, 1e-6);
    EXPECT_NEAR(origin.x, 0, 1e-6);
    EXPECT_NEAR(up.y, 1, 1e-6);
    EXPECT_NEAR(side.x, -1, 1e-6);
}

TEST_F(ViewApiTest, DrawContextsRefusePixmapsTheyCannotDrawInto) {
    Target target(8, 8);
    TQ3PixmapDrawContextData good{};
    good.pixmap = target.pixmap;
    Ref context(Q3PixmapDrawContext_New(&good));
    ASSERT_NE(context, nullptr);
    struct Case {
        const char* what;
        void (*spoil)(TQ3PixmapDrawContextData&);
        TQ3Error error;
    };
    const Case cases[] = {
        {"16 bits", [](auto& d) { d.pixmap.pixelSize = 16; }, kQ3ErrorUnsupportedPixelDepth},
        {"24-bit type", [](auto& d) { d.pixmap.pixelType = kQ3PixelTypeRGB24; }, kQ3ErrorUnsupportedPixelDepth},
        {"short rows", [](auto& d) { d.pixmap.rowBytes = 31; }, kQ3ErrorInvalidParameter},
        {"no pixels", [](auto& d) { d.pixmap.image = nullptr; }, kQ3ErrorNULLParameter},
        {"too wide", [](auto& d) { d.pixmap.width = 20000, d.pixmap.rowBytes = 80000; }, kQ3ErrorParameterOutOfRange},
        {"odd byte order", [](auto& d) { std::memset(&d.pixmap.byteOrder, 7, 1); }, kQ3ErrorParameterOutOfRange},
        {"clear method 2", [](auto& d) { std::memset(&d.drawContextData.clearImageMethod, 2, 1); },
         kQ3ErrorParameterOutOfRange},
        {"colour above 1", [](auto& d) { d.drawContextData.clearImageColor.r = 1.5f; }, kQ3ErrorParameterOutOfRange},
        {"inverted pane",
         [](auto& d) {
             d.drawContextData.pane = {{5, 5}, {1, 1}};
         },
         kQ3ErrorParameterOutOfRange},
        {"mask on", [](auto& d) { d.drawContextData.maskState = kQ3True; }, kQ3ErrorUnsupportedFunctionality},
    };
    for (const Case& c : cases) {
        TQ3PixmapDrawContextData data = good;
        c.spoil(data);
        EXPECT_EQ(Q3PixmapDrawContext_New(&data), nullptr) << c.what;
        EXPECT_EQ(lastError(), c.error) << c.what;
    }
    TQ3Pixmap bad = target.pixmap;
    bad.rowBytes = 4;
    EXPECT_EQ(Q3PixmapDrawContext_SetPixmap(context.get(), &bad), kQ3Failure);
    TQ3Pixmap kept{};
    Q3PixmapDrawContext_GetPixmap(context.get(), &kept);
    EXPECT_EQ(kept.rowBytes, 32u);
    EXPECT_EQ(viewtestSetClearImageMethod(context.get(), 3), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorParameterOutOfRange);
    EXPECT_EQ(viewtestSetPaneState(context.get(), 2), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorParameterOutOfRange);
    TQ3Boolean paneState = kQ3True;
    Q3DrawContext_GetPaneState(context.get(), &paneState);
    EXPECT_EQ(paneState, kQ3False);
    // An empty pixmap is fine: nothing to draw.
    TQ3Pixmap empty = target.pixmap;
    empty.width = 0;
    empty.image = nullptr;
    EXPECT_EQ(Q3PixmapDrawContext_SetPixmap(context.get(), &empty), kQ3Success);
}

TEST_F(ViewApiTest, StylesRefuseValuesOutsideTheirRange) {
    EXPECT_EQ(viewtestFillStyleNew(3), nullptr);
    EXPECT_EQ(lastError(), kQ3ErrorParameterOutOfRange);
    EXPECT_EQ(viewtestBackfacingStyleNew(-1), nullptr);
    EXPECT_EQ(viewtestInterpolationStyleNew(9), nullptr);
    const TQ3SubdivisionStyleData zero{kQ3SubdivisionMethodConstant, 0, 10};
    EXPECT_EQ(Q3SubdivisionStyle_New(&zero), nullptr);
    const TQ3SubdivisionStyleData nan{kQ3SubdivisionMethodWorldSpace, NAN, 0};
    EXPECT_EQ(Q3SubdivisionStyle_New(&nan), nullptr);
    EXPECT_EQ(Q3SubdivisionStyle_New(nullptr), nullptr);
    EXPECT_EQ(lastError(), kQ3ErrorNULLParameter);

    Ref fill(Q3FillStyle_New(kQ3FillStyleEdges));
    EXPECT_EQ(Q3Style_GetType(fill.get()), kQ3StyleTypeFill);
    EXPECT_EQ(viewtestFillStyleSet(fill.get(), 5), kQ3Failure);
    TQ3FillStyle value = kQ3FillStyleFilled;
    Q3FillStyle_Get(fill.get(), &value);
    EXPECT_EQ(value, kQ3FillStyleEdges);
    Target target(4, 4);
    Scene scene(target, orthoCamera());
    ASSERT_EQ(Q3View_StartRendering(scene.view.get()), kQ3Success);
    EXPECT_EQ(viewtestFillStyleSubmit(4, scene.view.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorParameterOutOfRange);
    EXPECT_EQ(Q3View_EndRendering(scene.view.get()), kQ3ViewStatusDone);
    // A world-space style needs no second value.
    const TQ3SubdivisionStyleData world{kQ3SubdivisionMethodWorldSpace, 0.1f, 0};
    Ref subdivision(Q3SubdivisionStyle_New(&world));
    EXPECT_NE(subdivision, nullptr);
}

TEST_F(ViewApiTest, EveryCreationAndSubmitCanBeMadeToFail) {
    Q3Testing_FailCall("Q3View_New", kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(Q3View_New(), nullptr);
    EXPECT_EQ(lastError(), kQ3ErrorOutOfMemory);
    Q3Testing_FailCall("Q3Renderer_NewFromType", kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(Q3Renderer_NewFromType(kQ3RendererTypeInteractive), nullptr);
    Q3Testing_FailCall("Q3OrthographicCamera_New", kQ3ErrorOutOfMemory, 0);
    EXPECT_EQ(orthoCamera(), nullptr);

    Target target(8, 8);
    Scene scene(target, orthoCamera());
    Ref fill(Q3FillStyle_New(kQ3FillStyleFilled));
    ASSERT_EQ(Q3View_StartRendering(scene.view.get()), kQ3Success);
    Q3Testing_FailCall("Q3Style_Submit", kQ3ErrorInternalError, 1);
    EXPECT_EQ(Q3Style_Submit(fill.get(), scene.view.get()), kQ3Success);
    EXPECT_EQ(Q3Style_Submit(fill.get(), scene.view.get()), kQ3Failure);
    EXPECT_EQ(lastError(), kQ3ErrorInternalError);
    EXPECT_EQ(Q3Style_Submit(fill.get(), scene.view.get()), kQ3Success);
    EXPECT_EQ(Q3View_EndRendering(scene.view.get()), kQ3ViewStatusDone);
}

}  // namespace
}  // namespace viewtest
