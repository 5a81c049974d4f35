#include "tests/q3d_views/ViewTestSupport.h"

namespace viewtest {

Ref orthoCamera(float half) {
    TQ3OrthographicCameraData data{};
    data.cameraData.placement = {{0, 0, 10}, {0, 0, 0}, {0, 1, 0}};
    data.cameraData.range = {1, 100};
    data.cameraData.viewPort = {{-1, 1}, 2, 2};
    data.left = -half;
    data.right = half;
    data.top = half;
    data.bottom = -half;
    return Ref(Q3OrthographicCamera_New(&data));
}

Ref perspectiveCamera(TQ3Point3D eye, TQ3Point3D at, float fov, float aspect) {
    TQ3ViewAngleAspectCameraData data{};
    data.cameraData.placement = {eye, at, {0, 1, 0}};
    data.cameraData.range = {0.1f, 100};
    data.cameraData.viewPort = {{-1, 1}, 2, 2};
    data.fov = fov;
    data.aspectRatioXToY = aspect;
    return Ref(Q3ViewAngleAspectCamera_New(&data));
}

Ref ambientLight(float brightness) {
    const TQ3LightData data{kQ3True, brightness, {1, 1, 1}};
    return Ref(Q3AmbientLight_New(&data));
}

Ref directionalLight(TQ3Vector3D direction, float brightness) {
    TQ3DirectionalLightData data{};
    data.lightData = {kQ3True, brightness, {1, 1, 1}};
    data.castsShadows = kQ3False;
    data.direction = direction;
    return Ref(Q3DirectionalLight_New(&data));
}

Ref attributesWithColor(TQ3ColorRGB color) {
    Ref set(Q3AttributeSet_New());
    EXPECT_EQ(Q3AttributeSet_Add(set.get(), kQ3AttributeTypeDiffuseColor, &color), kQ3Success);
    return set;
}

Ref quad(float x0, float y0, float x1, float y1, float z, TQ3AttributeSet set, bool facingBack) {
    // Row 0 along the bottom edge: the grid's triangles then run
    // counter-clockwise seen from +Z. Swapping the rows turns it round.
    TQ3Vertex3D vertices[4] = {
        {{x0, y0, z}, nullptr}, {{x1, y0, z}, nullptr}, {{x0, y1, z}, nullptr}, {{x1, y1, z}, nullptr}};
    if (facingBack) {
        std::swap(vertices[0], vertices[2]);
        std::swap(vertices[1], vertices[3]);
    }
    TQ3TriGridData data{2, 2, vertices, nullptr, set};
    return Ref(Q3TriGrid_New(&data));
}

Ref box(TQ3Point3D origin, TQ3Vector3D size, TQ3AttributeSet set) {
    TQ3BoxData data{};
    data.origin = origin;
    data.orientation = {0, size.y, 0};
    data.majorAxis = {0, 0, size.z};
    data.minorAxis = {size.x, 0, 0};
    data.boxAttributeSet = set;
    return Ref(Q3Box_New(&data));
}

Scene::Scene(Target& target, Ref cameraObject, TQ3ColorARGB clear)
    : view(Q3View_New()),
      renderer(Q3Renderer_NewFromType(kQ3RendererTypeInteractive)),
      camera(std::move(cameraObject)),
      lights(Q3LightGroup_New()) {
    TQ3PixmapDrawContextData data{};
    data.drawContextData.clearImageMethod = kQ3ClearMethodWithColor;
    data.drawContextData.clearImageColor = clear;
    data.pixmap = target.pixmap;
    context.reset(Q3PixmapDrawContext_New(&data));
    EXPECT_NE(context, nullptr);
    EXPECT_NE(camera, nullptr);
    EXPECT_EQ(Q3View_SetCamera(view.get(), camera.get()), kQ3Success);
    EXPECT_EQ(Q3View_SetRenderer(view.get(), renderer.get()), kQ3Success);
    EXPECT_EQ(Q3View_SetDrawContext(view.get(), context.get()), kQ3Success);
    EXPECT_EQ(Q3View_SetLightGroup(view.get(), lights.get()), kQ3Success);
}

}  // namespace viewtest
