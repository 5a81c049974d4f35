// What a project's parameter values mean, for each parameter type.
//
// A project writes values in the units the effect-controls window shows:
// fixed sliders as plain numbers (0.5, which the host stores as 32768),
// angles in degrees, colours as host/Colour.h reads them, popups
// by choice text ("Inv Dist") or 1-based number, checkboxes as true or false,
// layer parameters by layer name (null or "" for none). convertValue turns
// such a value into Channels (host/Keyframes.h), and applyValue stores
// Channels into an instance's parameter array.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "host/Keyframes.h"
#include "host/ParamDeclaration.h"
#include "host/Project.h"

namespace vask::host {

class Instance;

// False for the input layer (index 0) and for controls without a value.
bool isSettable(const ParamDeclaration& decl, int32_t index);
// True for values that cannot be blended between keys: popups, checkboxes
// and layers hold until the next key.
bool isDiscrete(const ParamDeclaration& decl);
// The names of an effect's settable parameters, in table order.
std::vector<std::string> settableNames(std::span<const ParamDeclaration> table);

// The Channels of `value` for `decl` in a project of `format` (which says how
// colours are read: host/Colour.h). `layerNames` are the composition's
// layers (a layer's id is its index + 1). A number outside the parameter's
// valid range (a slider's valid minimum … maximum, a popup's 1 … count, a
// colour's 0 … 255, an angle beyond what 16.16 holds) is clamped, and the
// clamp described in `warnings`. Throws ProjectError, with only the reason
// (the caller names the place), for a value of the wrong kind, a popup text
// that is not a choice (listing the choices), a layer name no layer has or
// more than one layer has (listing the layers), or a parameter that takes no
// value. A format-1 colour written for 0 … 1 is read as before, with a
// warning that says what it became and how to write what was meant.
Channels convertValue(const ParamDeclaration& decl, const Json& value, int format,
                      std::span<const std::string> layerNames, std::vector<std::string>& warnings);

// One parameter setting of a project bound to an effect's table: the
// parameter's index, its values over time, and the layers (ids) it names.
struct BoundSetting {
  int32_t index = 0;
  Track track;
  std::vector<Keyframe> keys;  // what the track was made of, in the setting's order
  std::vector<int32_t> layers;
};

// Finds `setting`'s parameter in `table` (of the effect named `effectName`)
// and converts every key's value. Clamps go to `warnings`, each prefixed with
// `where` (the effect's place) and the parameter and key. Throws ProjectError
// naming the place: no such parameter (listing the effect's), a parameter
// that takes no value, or a value it cannot take.
BoundSetting bindSetting(std::span<const ParamDeclaration> table, const std::string& effectName,
                         const ParamSetting& setting, int format, std::span<const std::string> layerNames,
                         const std::string& where, std::vector<std::string>& warnings);

// Stores `value` into parameter `index` of `instance`, rounding to the
// host's integer units. The index must be settable.
void applyValue(Instance& instance, int32_t index, const Channels& value);

// The reverse of applyValue: parameter `index` of `instance` as Channels.
Channels valueOf(Instance& instance, int32_t index);

// The reverse of convertValue: `value` as a project writes it (a number, a
// degree count, true or false, [r, g, b] or [a, r, g, b] when not opaque,
// the choice's text, the layer's name or null; a colour that is not opaque
// with its alpha where `format` puts it). convertValue of the result
// gives `value` back, rounded to the host's units.
Json projectValue(const ParamDeclaration& decl, const Channels& value, int format,
                  std::span<const std::string> layerNames);

}  // namespace vask::host
