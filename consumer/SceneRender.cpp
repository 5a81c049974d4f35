#include "consumer/SceneRender.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "platform/effect_api/PiPL.h"
#include "platform/q3d/QD3DCamera.h"
#include "platform/q3d/QD3DDrawContext.h"
#include "platform/q3d/QD3DGroup.h"
#include "platform/q3d/QD3DLight.h"
#include "platform/q3d/QD3DRenderer.h"
#include "platform/q3d/QD3DView.h"
#include "plugins/common/Resources.h"
#include "scene/Q3Check.h"
#include "scene/SharedSceneBlock.h"
#include "scene/builders/Builders.h"
#include "scene/builders/ObjectRef.h"
#include "scene/math/Units.h"
#include "scene/math/Vec3.h"
#include "shell/FlatMarker.h"
#include "shell/Lifecycle.h"
#include "shell/Memory.h"
#include "shell/Params.h"
#include "shell/Plugin.h"
#include "shell/WorkerThreads.h"

namespace vask {
namespace {

constexpr pipl::Fields kPiPL{.name = "VASK Scene Render", .matchName = "HALV VASKSCENERENDER1"};
VASK_DEFINE_PIPL(kPiPL);

inline constexpr std::array<os::ResourceEntry, 1> kResources{{plugins::kVersionEntry}};

int32_t declareParams(EffectCall& call) {
  using namespace scenerender;
  constexpr int32_t kCollapsed = PF_ParamFlag_START_COLLAPSED;
  auto position = [&](int32_t index, const char* name, double dflt) {
    addFixedSlider(call, index, name, 0, fixed(dflt), fixed(dflt), fixed(-10), fixed(10),
                   fixed(-1000), fixed(1000), 2, 0);
  };
  position(kCameraX, "Camera X", 0);
  position(kCameraY, "Camera Y", 0);
  position(kCameraZ, "Camera Z", 4);
  position(kTargetX, "Target X", 0);
  position(kTargetY, "Target Y", 0);
  position(kTargetZ, "Target Z", 0);
  addFixedSlider(call, kFieldOfView, "Field of View", 0, fixed(30), fixed(30), fixed(1),
                 fixed(120), fixed(1), fixed(170), 1, 0);
  addPopup(call, kBackground, "Background", kCollapsed, "Input Layer|Transparent", 2, 1, 1);
  addPopup(call, kAntialiasing, "Antialiasing", kCollapsed, "1 Sample|4 Samples|16 Samples", 3, 2,
           2);
  // Percent of white light that reaches everything.
  addFixedSlider(call, kAmbient, "Ambient", 0, fixed(10), fixed(10), fixed(0), fixed(100), fixed(0),
                 fixed(100), 0, 0);
  return kParamCount;
}

// Everything starts empty and is made at the first render. Scene Render has
// no custom controls, so no panel either.
void initRecord(EffectCall&, void*) {}

void destroyRecord(EffectCall&, void* live) {
  auto& r = *static_cast<RenderSequenceRecord*>(live);
  freeBlock(r.pixels);
  r.pixels = nullptr;
  r.pixelCapacity = 0;
  r.headlight = nullptr;  // owned by fallbackLights
  releaseObject(r.fallbackLights);
  releaseObject(r.frameLights);
  releaseObject(r.ambient);
  releaseObject(r.view);
  releaseObject(r.renderer);
  releaseObject(r.drawContext);
  releaseObject(r.camera);
}

TQ3Point3D point(const Vec3& v) { return {v.x, v.y, v.z}; }

// Makes the view and its parts on first use. They are made aside and stored
// together, so that a failure half way leaves the record as it was and the
// next render starts again from nothing.
void ensureView(RenderSequenceRecord& r) {
  if (r.view) return;
  TQ3ViewAngleAspectCameraData cam{};
  cam.cameraData.placement = {{0, 0, 4}, {0, 0, 0}, {0, 1, 0}};
  cam.cameraData.range = {0.05f, 1000.0f};
  cam.cameraData.viewPort = {{-1, 1}, 2, 2};
  cam.fov = 30 * kDegreesToRadians;
  cam.aspectRatioXToY = 1;
  ObjectRef camera(q3Check(Q3ViewAngleAspectCamera_New(&cam)));
  ObjectRef renderer(q3Check(Q3Renderer_NewFromType(kQ3RendererTypeInteractive)));

  const TQ3LightData ambient{kQ3True, 0.2f, {1, 1, 1}};
  const TQ3DirectionalLightData head{{kQ3True, 0.8f, {1, 1, 1}}, kQ3False, {0, 0, -1}};
  ObjectRef fallbackLights(q3Check(Q3LightGroup_New()));
  ObjectRef headlight(q3Check(Q3DirectionalLight_New(&head)));
  addToGroup(fallbackLights, headlight);
  ObjectRef fallbackAmbient(q3Check(Q3AmbientLight_New(&ambient)));
  addToGroup(fallbackLights, fallbackAmbient);

  ObjectRef frameLights(q3Check(Q3LightGroup_New()));
  ObjectRef frameAmbient(q3Check(Q3AmbientLight_New(&ambient)));

  ObjectRef view(q3Check(Q3View_New()));
  q3Check(Q3View_SetCamera(view.get(), camera.get()));
  q3Check(Q3View_SetRenderer(view.get(), renderer.get()));

  r.camera = camera.release();
  r.renderer = renderer.release();
  r.headlight = headlight.get();  // fallbackLights keeps it alive
  r.fallbackLights = fallbackLights.release();
  r.frameLights = frameLights.release();
  r.ambient = frameAmbient.release();
  r.view = view.release();
}

// Fills `frameLights` with the "Ambient" light (left out at 0 %) and every
// light of the scene's group. Only references are added: the scene's group
// and its lights are not changed.
void gatherFrameLights(RenderSequenceRecord& r, TQ3GroupObject sceneLights, PF_Fixed ambientPercent) {
  q3Check(Q3Group_EmptyObjects(r.frameLights));
  if (ambientPercent > 0) {
    TQ3LightData data{kQ3True, std::min(fixedToFloat(ambientPercent), 100.0f) / 100.0f, {1, 1, 1}};
    q3Check(Q3AmbientLight_SetData(r.ambient, &data));
    q3Check(Q3Group_AddObject(r.frameLights, r.ambient));
  }
  TQ3GroupPosition at = nullptr;
  q3Check(Q3Group_GetFirstPosition(sceneLights, &at));
  while (at) {
    TQ3Object light = nullptr;
    q3Check(Q3Group_GetPositionObject(sceneLights, at, &light));
    const bool added = Q3Group_AddObject(r.frameLights, light) != nullptr;
    Q3Object_Dispose(light);  // the get's reference; the group holds its own
    if (!added) raiseQ3Error();
    q3Check(Q3Group_GetNextPosition(sceneLights, &at));
  }
}

bool hasMembers(TQ3GroupObject group) {
  TQ3Uns32 n = 0;
  return group && Q3Group_CountObjects(group, &n) == kQ3Success && n > 0;
}

// 8-bit premultiplied ARGB pixel from rendered 32-bit words (little-endian
// ARGB: the value a<<24 | r<<16 | g<<8 | b), averaged over S × S samples.
// S is a template argument so that the division by S × S (a power of two)
// compiles to a shift; the results are those of plain integer division.
template <int S>
PF_Pixel average(const uint32_t* block, std::size_t stride) {
  if constexpr (S == 1) {
    // One sample: an opaque one is itself (x × 255 ÷ 255 = x), and the
    // renderer writes only opaque pixels over its clear colour.
    const uint32_t w = block[0];
    if (w >> 24 == 255)
      return PF_Pixel{255, static_cast<uint8_t>(w >> 16), static_cast<uint8_t>(w >> 8), static_cast<uint8_t>(w)};
    if (w >> 24 == 0) return PF_Pixel{0, 0, 0, 0};
  }
#if defined(__SSE2__)
  if constexpr (S == 2 || S == 4) {
    // Two samples a register, their channels in 16-bit lanes b, g, r, a:
    // every product and sum fits (255 × 255; 16 × 255), ⌊x × α ÷ 255⌋ is
    // (t + 1 + (t >> 8)) >> 8 for t = x × α (checked over the whole range),
    // and the rounding division by S × S a shift, so each channel is the
    // integer arithmetic below, exactly.
    const __m128i zero = _mm_setzero_si128();
    const __m128i one = _mm_set1_epi16(1);
    const __m128i alphaLanes = _mm_set_epi16(-1, 0, 0, 0, -1, 0, 0, 0);
    __m128i sum = zero;
    for (int y = 0; y < S; ++y) {
      const uint32_t* row = block + static_cast<std::size_t>(y) * stride;
      for (int x = 0; x < S; x += 2) {
        const __m128i pair =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x)), zero);
        const __m128i alpha = _mm_shufflehi_epi16(_mm_shufflelo_epi16(pair, _MM_SHUFFLE(3, 3, 3, 3)),
                                                  _MM_SHUFFLE(3, 3, 3, 3));
        const __m128i t = _mm_mullo_epi16(pair, alpha);
        const __m128i premultiplied =
            _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(t, one), _mm_srli_epi16(t, 8)), 8);
        // The alpha lanes keep alpha itself.
        sum = _mm_add_epi16(sum, _mm_or_si128(_mm_and_si128(alphaLanes, pair),
                                              _mm_andnot_si128(alphaLanes, premultiplied)));
      }
    }
    sum = _mm_add_epi16(sum, _mm_srli_si128(sum, 8));
    constexpr int kShift = S == 2 ? 2 : 4;
    const __m128i mean = _mm_srli_epi16(_mm_add_epi16(sum, _mm_set1_epi16(S * S / 2)), kShift);
    // Lanes b, g, r, a to the bytes alpha, red, green, blue of a PF_Pixel.
    const __m128i argb = _mm_shufflelo_epi16(mean, _MM_SHUFFLE(0, 1, 2, 3));
    const uint32_t word = static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(argb, zero)));
    PF_Pixel p;
    std::memcpy(&p, &word, sizeof p);
    return p;
  }
#endif
  uint32_t a = 0, rr = 0, g = 0, b = 0;
  for (int y = 0; y < S; ++y)
    for (int x = 0; x < S; ++x) {
      const uint32_t w = block[y * stride + x];
      const uint32_t alpha = w >> 24;
      a += alpha;
      // The renderer's colours are straight; the host's worlds premultiplied.
      rr += ((w >> 16) & 0xFF) * alpha / 255;
      g += ((w >> 8) & 0xFF) * alpha / 255;
      b += (w & 0xFF) * alpha / 255;
    }
  constexpr uint32_t n = S * S;
  return PF_Pixel{static_cast<uint8_t>((a + n / 2) / n), static_cast<uint8_t>((rr + n / 2) / n),
                  static_cast<uint8_t>((g + n / 2) / n), static_cast<uint8_t>((b + n / 2) / n)};
}

uint8_t over(uint32_t src, uint32_t dst, uint32_t srcAlpha) {
  return static_cast<uint8_t>(src + (dst * (255 - srcAlpha) + 127) / 255);
}

// Downsamples the rendered samples (S × S per output pixel, rows `stride`
// words apart) and lays them over what the output holds. Most pixels of a
// frame are empty or opaque: empty ones leave the output alone, and opaque
// ones replace it (the blend below gives exactly the source then), so only
// the edges pay for the blend.
template <int S>
void compositeSamples(const uint32_t* pixels, std::size_t stride, PF_EffectWorld& output) {
  for (int32_t y = 0; y < output.height; ++y) {
    auto* row = reinterpret_cast<PF_Pixel*>(reinterpret_cast<char*>(output.data) +
                                            static_cast<std::ptrdiff_t>(y) * output.rowbytes);
    const uint32_t* src = pixels + static_cast<std::size_t>(y) * S * stride;
    for (int32_t x = 0; x < output.width; ++x) {
      const PF_Pixel p = average<S>(src + static_cast<std::size_t>(x) * S, stride);
      if (p.alpha == 0) continue;
      PF_Pixel& d = row[x];
      if (p.alpha == 255) {
        d = p;
        continue;
      }
      d = PF_Pixel{over(p.alpha, d.alpha, p.alpha), over(p.red, d.red, p.alpha),
                   over(p.green, d.green, p.alpha), over(p.blue, d.blue, p.alpha)};
    }
  }
}

void renderScene(EffectCall& call) {
  using namespace scenerender;
  auto* r = static_cast<RenderSequenceRecord*>(liveSequence(call));
  if (!r || !call.params() || !call.params()[0]) raise(PF_Err_BAD_CALLBACK_PARAM);
  PF_EffectWorld* input = &call.param(kInput).u.ld;
  PF_EffectWorld* output = call.output();
  if (!output || !output->data || output->width <= 0 || output->height <= 0) return;
  if (output->rowbytes < output->width * 4) raise(PF_Err_BAD_CALLBACK_PARAM);

  // The input layer under the scene, or a transparent frame.
  const bool keepInput = call.param(kBackground).u.pd.value != kTransparent;
  if (keepInput) {
    PF_Rect src{0, 0, static_cast<int16_t>(input->height), static_cast<int16_t>(input->width)};
    PF_Rect dst{0, 0, static_cast<int16_t>(output->height), static_cast<int16_t>(output->width)};
    call.copyWorld(input, output, &src, &dst);
  } else {
    for (int32_t y = 0; y < output->height; ++y)
      std::memset(reinterpret_cast<char*>(output->data) + static_cast<std::ptrdiff_t>(y) * output->rowbytes,
                  0, static_cast<std::size_t>(output->width) * 4);
  }

  const SharedSceneBlock& block = sceneBlockOf(call);
  if (!hasMembers(block.displayGroup)) return;

  const int32_t aa = call.param(kAntialiasing).u.pd.value;
  const int s = aa == kSixteenSamples ? 4 : aa == kFourSamples ? 2 : 1;
  const int64_t w = static_cast<int64_t>(output->width) * s, h = static_cast<int64_t>(output->height) * s;
  if (w * h > (int64_t{1} << 28)) raise(msg::kOutOfMemory);
  const uint64_t count = static_cast<uint64_t>(w * h);
  if (r->pixelCapacity < count) {
    freeBlock(r->pixels);
    r->pixels = nullptr;
    r->pixelCapacity = 0;
    r->pixels = static_cast<uint32_t*>(allocate(count * 4));
    r->pixelCapacity = count;
    adviseHugePages(r->pixels, count * 4);
  }

  ensureView(*r);
  const Vec3 eye{fixedToFloat(call.param(kCameraX).u.fd.value),
                 fixedToFloat(call.param(kCameraY).u.fd.value),
                 fixedToFloat(call.param(kCameraZ).u.fd.value)};
  const Vec3 target{fixedToFloat(call.param(kTargetX).u.fd.value),
                    fixedToFloat(call.param(kTargetY).u.fd.value),
                    fixedToFloat(call.param(kTargetZ).u.fd.value)};
  Vec3 look = target - eye;
  if (length(look) < kVectorTolerance) look = {0, 0, -1};
  look = normalize(look);
  // Looking straight up or down, +Y cannot be the up vector.
  const Vec3 up = std::fabs(look.y) > 0.999f ? Vec3{0, 0, -1} : Vec3{0, 1, 0};
  const float fov = std::clamp(fixedToFloat(call.param(kFieldOfView).u.fd.value), 1.0f, 170.0f);

  TQ3ViewAngleAspectCameraData cam{};
  cam.cameraData.placement = {point(eye), point(eye + look), {up.x, up.y, up.z}};
  cam.cameraData.range = {0.05f, 1000.0f};
  cam.cameraData.viewPort = {{-1, 1}, 2, 2};
  cam.fov = fov * kDegreesToRadians;
  cam.aspectRatioXToY = static_cast<float>(output->width) / static_cast<float>(output->height);
  q3Check(Q3ViewAngleAspectCamera_SetData(r->camera, &cam));

  TQ3PixmapDrawContextData dc{};
  dc.drawContextData.clearImageMethod = kQ3ClearMethodWithColor;
  dc.drawContextData.clearImageColor = {0, 0, 0, 0};
  dc.drawContextData.paneState = kQ3False;
  dc.drawContextData.maskState = kQ3False;
  dc.drawContextData.doubleBufferState = kQ3False;
  dc.pixmap = {r->pixels, static_cast<TQ3Uns32>(w), static_cast<TQ3Uns32>(h),
               static_cast<TQ3Uns32>(w * 4), 32, kQ3PixelTypeARGB32, kQ3EndianLittle, kQ3EndianLittle};
  if (!r->drawContext) {
    r->drawContext = q3Check(Q3PixmapDrawContext_New(&dc));
    q3Check(Q3View_SetDrawContext(r->view, r->drawContext));
  } else {
    q3Check(Q3PixmapDrawContext_SetPixmap(r->drawContext, &dc.pixmap));
  }
  q3Check(Q3InteractiveRenderer_SetThreadCount(r->renderer, hostThreadCount()));

  // The scene's lights belong to the block; neither the view nor our own
  // group may keep them past the frame, whichever way the render ends.
  struct LightsRelease {
    RenderSequenceRecord& r;
    ~LightsRelease() {
      Q3View_SetLightGroup(r.view, nullptr);
      Q3Group_EmptyObjects(r.frameLights);
    }
  } lightsRelease{*r};

  // The scene's own lights with "Ambient", or a headlight from the camera
  // and an ambient.
  if (hasMembers(block.lightGroup)) {
    gatherFrameLights(*r, block.lightGroup, call.param(kAmbient).u.fd.value);
    q3Check(Q3View_SetLightGroup(r->view, r->frameLights));
  } else {
    TQ3DirectionalLightData head{};
    q3Check(Q3DirectionalLight_GetData(r->headlight, &head));
    head.direction = {look.x, look.y, look.z};
    q3Check(Q3DirectionalLight_SetData(r->headlight, &head));
    q3Check(Q3View_SetLightGroup(r->view, r->fallbackLights));
  }

  q3Check(Q3View_StartRendering(r->view));
  TQ3ViewStatus status;
  do {
    if (Q3DisplayGroup_Submit(block.displayGroup, r->view) != kQ3Success) {
      const TQ3Error error = Q3Error_Get(nullptr);
      Q3View_Cancel(r->view);
      Q3View_EndRendering(r->view);
      throw ErrData::quickDraw(error != kQ3ErrorNone ? error : kQ3ErrorRenderingLoopFailed);
    }
    status = Q3View_EndRendering(r->view);
  } while (status == kQ3ViewStatusRetraverse);
  if (status != kQ3ViewStatusDone) raiseQ3Error();

  // Downsample and composite the scene over what the output holds.
  const auto stride = static_cast<std::size_t>(w);
  switch (s) {
    case 1: compositeSamples<1>(r->pixels, stride, *output); break;
    case 2: compositeSamples<2>(r->pixels, stride, *output); break;
    default: compositeSamples<4>(r->pixels, stride, *output); break;
  }
}

void noEvent(EffectCall&) {}

constexpr PluginDefinition kDefinition{
    .eventStyle = EventStyle::ClickOrDrag,
    .aboutTitle = "Vask Scene Render\n3D Effects Plugin",
    .resources = kResources,
    .globalRecordSize = sizeof(GlobalRecord),
    .globalSetdown = nullptr,
    .declareParams = declareParams,
    .liveRecordSize = sizeof(RenderSequenceRecord),
    .initLiveRecord = initRecord,
    .destroyLiveRecord = destroyRecord,
    .flatSize = flatMarker::flatSize,
    .fillFlat = flatMarker::fillFlat,
    .heldFlatSize = flatMarker::heldFlatSize,
    .unflatten = flatMarker::unflatten,
    .contribute = nullptr,
    .render = renderScene,
    .setsNopRender = false,
    .click = noEvent,
    .drag = noEvent,
    .endDrag = noEvent,
    .draw = noEvent,
};

}  // namespace

const PluginDefinition& thisPlugin() { return kDefinition; }

}  // namespace vask
