#include "host/ParamValue.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

#include "host/Colour.h"
#include "host/Instance.h"

namespace vask::host {
namespace {

std::string inQuotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

std::string list(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& i : items) out += (out.empty() ? "" : ", ") + inQuotes(i);
  return out;
}

[[noreturn]] void refuse(const std::string& why) { throw ProjectError(why); }

double finiteNumber(const Json& v, const char* expected) {
  if (!v.is_number() || !std::isfinite(v.get<double>())) {
    refuse(briefText(v) + " is not " + expected);
  }
  return v.get<double>();
}

// A 16.16 number from `units`, clamped to lo … hi (raw 16.16).
double fixedFrom(const Json& value, const char* expected, int64_t lo, int64_t hi,
                 std::vector<std::string>& warnings) {
  const double units = finiteNumber(value, expected);
  const double raw = std::round(units * 65536.0);
  const double clamped = std::clamp(raw, static_cast<double>(lo), static_cast<double>(hi));
  if (clamped != raw) {
    warnings.push_back(briefText(value) + " is outside the valid range " + formatFixed(static_cast<PF_Fixed>(lo)) +
                       " … " + formatFixed(static_cast<PF_Fixed>(hi)) + "; using " +
                       formatFixed(static_cast<PF_Fixed>(clamped)));
  }
  return clamped;
}

std::vector<std::string> splitChoices(std::string_view text) {
  std::vector<std::string> out;
  std::string item;
  for (char c : text) {
    if (c == '|') {
      if (!item.empty()) out.push_back(item);
      item.clear();
    } else {
      item += c;
    }
  }
  if (!item.empty()) out.push_back(item);
  return out;
}

bool sameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

double popupFrom(const ParamDeclaration& decl, const Json& value,
                 std::vector<std::string>& warnings) {
  const std::vector<std::string> choices = splitChoices(decl.choices());
  const auto count = static_cast<int64_t>(choices.size());
  if (value.is_string()) {
    const auto text = value.get<std::string>();
    for (std::size_t i = 0; i < choices.size(); ++i) {
      if (choices[i] == text) return static_cast<double>(i + 1);
    }
    // A difference of case only is forgiven when it leaves one candidate.
    int found = 0;
    std::size_t at = 0;
    for (std::size_t i = 0; i < choices.size(); ++i) {
      if (sameText(choices[i], text)) {
        ++found;
        at = i;
      }
    }
    if (found == 1) return static_cast<double>(at + 1);
    refuse(inQuotes(text) + " is not one of the choices " + list(choices) + " (or their numbers 1 … " +
           std::to_string(count) + ")");
  }
  if (!value.is_number_integer()) {
    refuse(briefText(value) + " is not a choice; choices: " + list(choices) + " (or their numbers 1 … " +
           std::to_string(count) + ")");
  }
  const double n = value.is_number_unsigned() ? static_cast<double>(value.get<uint64_t>())
                                              : static_cast<double>(value.get<int64_t>());
  const double clamped = std::clamp(n, 1.0, static_cast<double>(count));
  if (clamped != n) {
    warnings.push_back("choice " + briefText(value) + " is outside 1 … " + std::to_string(count) +
                       "; using " + std::to_string(static_cast<int64_t>(clamped)) + " (" +
                       inQuotes(choices[static_cast<std::size_t>(clamped) - 1]) + ")");
  }
  return clamped;
}

double layerFrom(const Json& value, std::span<const std::string> layerNames) {
  if (value.is_null()) return 0;
  std::vector<std::string> names(layerNames.begin(), layerNames.end());
  if (!value.is_string()) {
    refuse(briefText(value) + " is not a layer name; layers: " + list(names) + " (or null for none)");
  }
  const auto name = value.get<std::string>();
  if (name.empty()) return 0;
  const auto n = std::count(names.begin(), names.end(), name);
  if (n == 0) refuse("no layer is named " + inQuotes(name) + "; layers: " + list(names));
  if (n > 1) {
    refuse(std::to_string(n) + " layers are named " + inQuotes(name) +
           "; give the layer a name of its own to use it here");
  }
  return static_cast<double>(std::find(names.begin(), names.end(), name) - names.begin() + 1);
}

}  // namespace

bool isSettable(const ParamDeclaration& decl, int32_t index) {
  if (index <= 0) return false;
  switch (decl.type()) {
    case PF_Param_LAYER:
    case PF_Param_FIX_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_CHECKBOX:
    case PF_Param_COLOR:
    case PF_Param_POPUP:
      return true;
    default:
      return false;
  }
}

bool isDiscrete(const ParamDeclaration& decl) {
  const auto t = decl.type();
  return t == PF_Param_POPUP || t == PF_Param_CHECKBOX || t == PF_Param_LAYER;
}

std::vector<std::string> settableNames(std::span<const ParamDeclaration> table) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (isSettable(table[i], static_cast<int32_t>(i))) out.emplace_back(table[i].name());
  }
  return out;
}

Channels convertValue(const ParamDeclaration& decl, const Json& value, int format,
                      std::span<const std::string> layerNames, std::vector<std::string>& warnings) {
  const PF_ParamDef& d = decl.def();
  constexpr auto kMin = std::numeric_limits<int32_t>::min();
  constexpr auto kMax = std::numeric_limits<int32_t>::max();
  switch (decl.type()) {
    case PF_Param_FIX_SLIDER:
      return {fixedFrom(value, "a number", d.u.fd.valid_min, d.u.fd.valid_max, warnings), 0, 0, 0};
    case PF_Param_ANGLE:
      return {fixedFrom(value, "an angle in degrees", kMin, kMax, warnings), 0, 0, 0};
    case PF_Param_CHECKBOX:
      if (!value.is_boolean()) refuse(briefText(value) + " is not true or false");
      return {value.get<bool>() ? 1.0 : 0.0, 0, 0, 0};
    case PF_Param_COLOR: {
      const PF_Pixel p = parseColour(value, format, &warnings);
      if (format < 2 && looksLikeUnitColour(value)) {
        warnings.push_back(briefText(value) + " is read as 0 … 255 values, which makes it almost black; "
                           "for 0 … 1 values write {\"r\": …, \"g\": …, \"b\": …} in a \"format\": 2 "
                           "project, or write [255, 240, 217]");
      }
      return {static_cast<double>(p.alpha), static_cast<double>(p.red), static_cast<double>(p.green),
              static_cast<double>(p.blue)};
    }
    case PF_Param_POPUP:
      return {popupFrom(decl, value, warnings), 0, 0, 0};
    case PF_Param_LAYER:
      return {layerFrom(value, layerNames), 0, 0, 0};
    default:
      refuse("is a " + paramTypeName(d) + " and takes no value");
  }
}

BoundSetting bindSetting(std::span<const ParamDeclaration> table, const std::string& effectName,
                         const ParamSetting& setting, int format, std::span<const std::string> layerNames,
                         const std::string& where, std::vector<std::string>& warnings) {
  const std::string at = where + ", parameter " + inQuotes(setting.name);
  int32_t index = -1;
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (table[i].name() == setting.name) index = static_cast<int32_t>(i);
  }
  if (index < 0) {
    throw ProjectError(where + ": " + inQuotes(effectName) + " has no parameter " + inQuotes(setting.name) +
                       "; its parameters: " + list(settableNames(table)));
  }
  const ParamDeclaration& decl = table[static_cast<std::size_t>(index)];
  if (!isSettable(decl, index)) {
    throw ProjectError(at + ": is a " + paramTypeName(decl.def()) +
                       " and takes no value; parameters that take values: " + list(settableNames(table)));
  }
  BoundSetting bound;
  bound.index = index;
  std::vector<Keyframe> keys;
  for (std::size_t k = 0; k < setting.keys.size(); ++k) {
    const KeySetting& key = setting.keys[k];
    const std::string keyAt = setting.keyed ? at + ", keyframe " + std::to_string(k + 1) : at;
    std::vector<std::string> clamped;
    Channels value;
    try {
      value = convertValue(decl, key.value, format, layerNames, clamped);
    } catch (const ProjectError& e) {
      throw ProjectError(keyAt + ": " + e.what());
    }
    for (const auto& w : clamped) warnings.push_back(keyAt + ": " + w);
    if (decl.type() == PF_Param_LAYER && value[0] > 0) bound.layers.push_back(static_cast<int32_t>(value[0]));
    keys.push_back(Keyframe{key.frame, value, key.interpolation, key.in, key.out});
  }
  bound.track = Track::keyed(keys, isDiscrete(decl));
  bound.keys = std::move(keys);
  return bound;
}

void applyValue(Instance& instance, int32_t index, const Channels& value) {
  auto whole = [](double v) { return static_cast<int32_t>(std::lround(v)); };
  auto byte = [](double v) { return static_cast<uint8_t>(std::clamp(std::lround(v), 0L, 255L)); };
  PF_ParamDef& p = instance.param(index);
  switch (p.param_type) {
    case PF_Param_FIX_SLIDER:
      p.u.fd.value = whole(value[0]);
      break;
    case PF_Param_ANGLE:
      p.u.ad.value = whole(value[0]);
      break;
    case PF_Param_CHECKBOX:
      p.u.bd.value = value[0] != 0 ? 1 : 0;
      break;
    case PF_Param_COLOR:
      p.u.cd.value = PF_Pixel{byte(value[0]), byte(value[1]), byte(value[2]), byte(value[3])};
      break;
    case PF_Param_POPUP:
      p.u.pd.value = whole(value[0]);
      break;
    case PF_Param_LAYER:
      instance.setLayerParam(index, whole(value[0]));
      break;
    default:
      break;
  }
}

Channels valueOf(Instance& instance, int32_t index) {
  const PF_ParamDef& p = instance.param(index);
  switch (p.param_type) {
    case PF_Param_FIX_SLIDER: return {static_cast<double>(p.u.fd.value), 0, 0, 0};
    case PF_Param_ANGLE: return {static_cast<double>(p.u.ad.value), 0, 0, 0};
    case PF_Param_CHECKBOX: return {p.u.bd.value != 0 ? 1.0 : 0.0, 0, 0, 0};
    case PF_Param_COLOR: {
      const PF_Pixel c = p.u.cd.value;
      return {double(c.alpha), double(c.red), double(c.green), double(c.blue)};
    }
    case PF_Param_POPUP: return {static_cast<double>(p.u.pd.value), 0, 0, 0};
    case PF_Param_LAYER: return {static_cast<double>(instance.layerParam(index)), 0, 0, 0};
    default: return {};
  }
}

Json projectValue(const ParamDeclaration& decl, const Channels& value, int format,
                  std::span<const std::string> layerNames) {
  auto whole = [](double v) { return static_cast<int64_t>(std::llround(v)); };
  switch (decl.type()) {
    case PF_Param_FIX_SLIDER:
    case PF_Param_ANGLE: return static_cast<double>(whole(value[0])) / 65536.0;
    case PF_Param_CHECKBOX: return value[0] != 0;
    case PF_Param_COLOR: {
      auto byte = [&](std::size_t i) { return std::clamp<int64_t>(whole(value[i]), 0, 255); };
      Json rgb = Json::array({byte(1), byte(2), byte(3)});
      if (byte(0) == 255) return rgb;
      if (format >= 2) {
        rgb.push_back(byte(0));
        return rgb;
      }
      return Json::array({byte(0), byte(1), byte(2), byte(3)});
    }
    case PF_Param_POPUP: {
      const auto choices = splitChoices(decl.choices());
      const auto n = whole(value[0]);
      if (n < 1 || n > static_cast<int64_t>(choices.size())) return n;
      const std::string& text = choices[static_cast<std::size_t>(n - 1)];
      // A text two choices share would read back as the first: the number says which.
      if (std::count(choices.begin(), choices.end(), text) > 1) return n;
      return text;
    }
    case PF_Param_LAYER: {
      const auto id = whole(value[0]);
      if (id >= 1 && id <= static_cast<int64_t>(layerNames.size())) return layerNames[static_cast<std::size_t>(id - 1)];
      return nullptr;
    }
    default: return nullptr;
  }
}

}  // namespace vask::host
