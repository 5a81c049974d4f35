// Parameter adders: build one host parameter definition and submit it.
//
// Each adder starts from a definition of zeros, sets the type, the name (at
// most 31 characters), the flags and the type's own fields, and hands it to
// the host. A host refusal raises ErrData with the host's code. Values are
// passed as the host holds them: 16.16 fixed point for sliders and angles
// (angles in degrees), 1-based choice numbers, host pixels for colours.
#pragma once

#include <cstdint>

#include "shell/EffectCall.h"

namespace vask {

// 16.16 fixed point of a value given in whole units or fractions.
constexpr PF_Fixed fixed(double v) { return static_cast<PF_Fixed>(v * 65536.0); }
// The value of 16.16 fixed point.
constexpr float fromFixed(PF_Fixed v) { return static_cast<float>(v) / 65536.0f; }

void addLayer(EffectCall& call, int32_t index, const char* name, int32_t flags, int32_t dflt);
void addFixedSlider(EffectCall& call, int32_t index, const char* name, int32_t flags, PF_Fixed dflt,
                    PF_Fixed value, PF_Fixed sliderMin, PF_Fixed sliderMax, PF_Fixed validMin,
                    PF_Fixed validMax, int16_t precision, int16_t displayFlags);
void addAngle(EffectCall& call, int32_t index, const char* name, int32_t flags, PF_Fixed value,
              PF_Fixed dflt);
void addCheckbox(EffectCall& call, int32_t index, const char* name, int32_t flags,
                 const char* label, int32_t value, int32_t dflt);
void addColor(EffectCall& call, int32_t index, const char* name, int32_t flags, PF_Pixel value,
              PF_Pixel dflt);
void addPopup(EffectCall& call, int32_t index, const char* name, int32_t flags,
              const char* choices, int16_t numChoices, int32_t value, int32_t dflt);
void addCustomControl(EffectCall& call, int32_t index, const char* name, int32_t flags,
                      int16_t width, int16_t height);

// Registers the custom UI for effect-controls window events.
void registerCustomUI(EffectCall& call);

// Number of items in a '|'-separated text: every run of non-separator
// characters counts once ("Luminance|Red|Green|Blue|Alpha" gives 5).
int16_t countChoices(const char* text);

// A colour of four floats 0 … 1 (alpha, red, green, blue) as a host pixel:
// each times 255, truncated toward zero (0.5 gives 127).
PF_Pixel packColor(float alpha, float red, float green, float blue);

}  // namespace vask
