// The Scene Render effect ("VASK Scene Render"): the consumer of the shared
// scene. Applied to a layer above the family's effects, it draws the frame's
// display group, lit by the light group and an ambient light of its own
// ("Ambient", so that what no light reaches, the lights' own markers among
// it, is not pure black), through its own keyframable camera and composites
// the picture over its input. It reads the shared scene block and never
// changes it.
#pragma once

#include <cstdint>

#include "platform/q3d/QD3D.h"

namespace vask {

namespace scenerender {
enum Param : int32_t {
  kInput = 0, kCameraX, kCameraY, kCameraZ, kTargetX, kTargetY, kTargetZ, kFieldOfView,
  kBackground, kAntialiasing, kAmbient,
  kParamCount
};
// "Background" choices.
inline constexpr int32_t kKeepInput = 1, kTransparent = 2;
// "Antialiasing" choices: 1, 4 or 16 samples per pixel.
inline constexpr int32_t kOneSample = 1, kFourSamples = 2, kSixteenSamples = 3;
}  // namespace scenerender

// The live sequence record: the view and what it draws with, made at the
// first render and reused, and the render buffer, grown only.
struct RenderSequenceRecord {
  int32_t flattened;
  TQ3ViewObject view;
  TQ3CameraObject camera;
  TQ3DrawContextObject drawContext;
  TQ3RendererObject renderer;
  TQ3GroupObject fallbackLights;   // headlight and ambient for a scene without lights
  TQ3LightObject headlight;        // inside fallbackLights, turned with the camera
  TQ3GroupObject frameLights;      // during a render: "Ambient" and the scene's lights
  TQ3LightObject ambient;          // "Ambient", put into frameLights
  uint32_t* pixels;                // from the shell's allocator
  uint64_t pixelCapacity;          // in pixels
};

}  // namespace vask
