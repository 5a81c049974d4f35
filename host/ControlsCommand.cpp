#include "host/ControlsCommand.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

#include "host/AtomicFile.h"
#include "host/Composition.h"
#include "host/EffectControls.h"
#include "host/HostError.h"
#include "host/PluginCatalog.h"
#include "host/PngImage.h"
#include "host/Project.h"
#include "host/ProjectPaths.h"

namespace vask::host {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string inQuotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Where the family's palette puts each tool: column and row of its cell.
// The palettes differ only in the object column: the Spot Light aims
// instead of rotating and has no scale tool; the Point Light moves with its
// first object button and has neither.
struct Cell {
  int column, row;
};

std::optional<Cell> toolCell(std::string_view matchName, std::string_view tool) {
  static const std::map<std::string_view, Cell> kCamera{
      {"orbit", {0, 0}}, {"pan", {0, 1}}, {"dolly", {0, 2}}, {"reset-camera", {0, 3}}};
  static const std::map<std::string_view, std::map<std::string_view, Cell>> kObject{
      {"HALV VASKMESHFILE1", {{"rotate", {1, 0}}, {"move", {1, 1}}, {"scale", {1, 2}}, {"reset", {1, 3}}}},
      {"HALV VASKSHAPEMESH1", {{"rotate", {1, 0}}, {"move", {1, 1}}, {"scale", {1, 2}}, {"reset", {1, 3}}}},
      {"HALV VASKSPOT1", {{"aim", {1, 0}}, {"move", {1, 1}}, {"reset", {1, 3}}}},
      {"HALV VASKPNT1", {{"move", {1, 0}}, {"reset", {1, 3}}}},
  };
  const auto palette = kObject.find(matchName);
  if (palette == kObject.end()) return std::nullopt;
  if (const auto c = kCamera.find(tool); c != kCamera.end()) return c->second;
  if (const auto c = palette->second.find(tool); c != palette->second.end()) return c->second;
  return std::nullopt;
}

std::string toolsOf(std::string_view matchName) {
  std::string list;
  for (std::string_view t : kToolNames) {
    if (toolCell(matchName, t)) list += (list.empty() ? "" : ", ") + std::string(t);
  }
  return list;
}

// The value of a parameter that holds one number, in the units a project
// writes, or nullopt for other kinds.
std::optional<double> numberOf(const PF_ParamDef& def) {
  switch (def.param_type) {
    case PF_Param_FIX_SLIDER: return def.u.fd.value / 65536.0;
    case PF_Param_ANGLE: return def.u.ad.value / 65536.0;
    case PF_Param_SLIDER:
    case PF_Param_CHECKBOX:
    case PF_Param_POPUP: return static_cast<double>(def.u.fd.value);
    default: return std::nullopt;
  }
}

std::string numberText(const PF_ParamDef& def) {
  if (def.param_type == PF_Param_FIX_SLIDER) return formatFixed(def.u.fd.value);
  if (def.param_type == PF_Param_ANGLE) return formatFixed(def.u.ad.value);
  return std::to_string(def.u.fd.value);
}

struct Change {
  int32_t index;
  std::string name;
  std::string before, after;
  double value;
};

// The parameter's setting in a project document, with the new value: a
// plain value is replaced; a keyed one gets a key at `frame` (replacing one
// there).
void setValue(Json& params, const std::string& name, double value, int64_t frame) {
  Json& slot = params[name];
  if (slot.is_object() && slot.contains("keyframes") && slot["keyframes"].is_array()) {
    Json& keys = slot["keyframes"];
    for (Json& k : keys) {
      if (k.is_object() && k.contains("f") && k["f"].is_number() && k["f"].get<double>() == frame) {
        k["value"] = value;
        return;
      }
    }
    keys.push_back(Json{{"f", frame}, {"value", value}});
    std::stable_sort(keys.begin(), keys.end(), [](const Json& a, const Json& b) {
      auto at = [](const Json& k) {
        return k.contains("f") && k["f"].is_number() ? k["f"].get<double>() : 0.0;
      };
      return at(a) < at(b);
    });
    return;
  }
  slot = value;
}

class Replay {
 public:
  Replay(const ControlsRequest& request, Instance& instance, std::string_view matchName, EffectControls& window)
      : request_(request), instance_(instance), matchName_(matchName), window_(window) {}

  void run() {
    target_ = findControl("manipulator", /*fallback=*/true);
    for (const ControlsEvent& e : request_.events) step(e);
    if (window_.dragging()) check(window_.release(last_, modifiers()), "release");
  }

 private:
  int32_t modifiers() const { return shift_ ? PF_Mod_SHIFT_KEY : 0; }

  const EffectControls::Control* findControl(std::string_view name, bool fallback) const {
    for (const auto& c : window_.controls())
      if (lower(c.name) == lower(name)) return &c;
    return fallback && !window_.controls().empty() ? &window_.controls().front() : nullptr;
  }

  const EffectControls::Control& target() const {
    if (!target_) throw HostError(instance_.label() + ": the effect has no custom control to send events to");
    return *target_;
  }

  void check(const CommandResult& r, std::string_view what) const {
    if (r.ok()) return;
    throw HostError(instance_.label() + ": " + std::string(what) + " failed with error " +
                    std::to_string(r.err) + (r.message.empty() ? "" : ": " + r.message));
  }

  void step(const ControlsEvent& e) {
    switch (e.kind) {
      case ControlsEvent::Kind::Shift: shift_ = true; break;
      case ControlsEvent::Kind::Control: {
        target_ = findControl(e.text, false);
        if (!target_) {
          std::string names;
          for (const auto& c : window_.controls()) names += (names.empty() ? "" : ", ") + inQuotes(lower(c.name));
          throw HostError(instance_.label() + ": no custom control " + inQuotes(e.text) +
                          "; its controls: " + (names.empty() ? "none" : names));
        }
        break;
      }
      case ControlsEvent::Kind::Press:
        check(window_.press(target(), e.point, modifiers()), "click");
        last_ = e.point;
        break;
      case ControlsEvent::Kind::Drag:
        check(window_.dragTo(e.point, modifiers()), "drag");
        last_ = e.point;
        break;
      case ControlsEvent::Kind::Release:
        check(window_.release(last_, modifiers()), "release");
        break;
      case ControlsEvent::Kind::Tool: {
        const auto cell = toolCell(matchName_, e.text);
        const auto* manipulator = findControl("manipulator", false);
        if (!cell || !manipulator) {
          const std::string tools = toolsOf(matchName_);
          throw HostError(instance_.label() + ": no tool " + inQuotes(e.text) +
                          (tools.empty() ? "; the effect has no tool palette" : "; its tools: " + tools));
        }
        const os::Point at{cell->column * 25 + 13, cell->row * 21 + 11};
        check(window_.press(*manipulator, at, modifiers()), "click on tool " + e.text);
        check(window_.release(at, modifiers()), "release on tool " + e.text);
        break;
      }
      case ControlsEvent::Kind::ClickImport: {
        const auto* model = findControl("model", false);
        if (!model) throw HostError(instance_.label() + ": the effect has no Model control");
        if (!request_.answerOpenFile) throw HostError("--click-import: no file dialog to answer");
        request_.answerOpenFile(e.text);
        const os::Point at{27, 9};  // the Import button's middle
        check(window_.press(*model, at, modifiers()), "click on Import");
        check(window_.release(at, modifiers()), "release on Import");
        break;
      }
    }
  }

  const ControlsRequest& request_;
  Instance& instance_;
  std::string_view matchName_;
  EffectControls& window_;
  const EffectControls::Control* target_ = nullptr;
  bool shift_ = false;
  os::Point last_;
};

}  // namespace

std::optional<os::Point> parsePoint(std::string_view text, std::string* why) {
  auto number = [](std::string_view s, int& out) {
    if (s.empty() || s.size() > 6) return false;
    std::size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    long v = 0;
    for (; i < s.size(); ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    if (s[0] == '-') v = -v;
    if (v < -32768 || v > 32767) return false;
    out = static_cast<int>(v);
    return true;
  };
  const auto comma = text.find(',');
  os::Point p;
  if (comma == std::string_view::npos || !number(text.substr(0, comma), p.x) ||
      !number(text.substr(comma + 1), p.y)) {
    if (why) *why = inQuotes(text) + " is not a point such as 120,40 (−32768 … 32767 each)";
    return std::nullopt;
  }
  return p;
}

int runControls(const ControlsRequest& request, std::ostream& out, std::ostream& err) {
  try {
    Project project = loadProject(request.project);
    std::size_t layer = project.layers.size();
    for (std::size_t i = 0; i < project.layers.size(); ++i)
      if (project.layers[i].name == request.layer) layer = i;
    if (layer == project.layers.size()) {
      std::string names;
      for (const auto& l : project.layers) names += (names.empty() ? "" : ", ") + inQuotes(l.name);
      throw HostError(request.project.string() + ": no layer " + inQuotes(request.layer) +
                      "; its layers: " + (names.empty() ? "none" : names));
    }
    const auto& effects = project.layers[layer].effects;
    if (request.effect < 1 || static_cast<std::size_t>(request.effect) > effects.size()) {
      throw HostError(request.project.string() + ": layer " + inQuotes(request.layer) + " has " +
                      std::to_string(effects.size()) + " effect" + (effects.size() == 1 ? "" : "s") +
                      ", not an effect " + std::to_string(request.effect));
    }
    const auto effectIndex = static_cast<std::size_t>(request.effect - 1);
    const std::string matchName = effects[effectIndex].matchName;
    const std::filesystem::path from = request.project.parent_path();

    const PluginCatalog catalog =
        PluginCatalog::scan(request.plugins.empty() ? defaultPluginFolders() : request.plugins);
    for (const auto& w : catalog.warnings()) err << "vask: warning: " << w << "\n";
    std::vector<std::string> warnings;
    Composition composition(std::move(project), catalog, CompositionOptions{}, warnings);
    for (const auto& w : warnings) err << "vask: warning: " << w << "\n";
    composition.seek(request.frame);
    Instance& instance = *composition.instanceAt(layer, effectIndex);

    std::vector<PF_ParamDef> before;
    for (int32_t i = 0; i < instance.paramCount(); ++i) before.push_back(instance.param(i));

    EffectControls window(instance, request.width);
    if (window.controls().empty()) {
      throw HostError(instance.label() + ": the effect has no custom controls to draw");
    }
    auto drawn = window.drawAll();
    if (!drawn.ok()) {
      throw HostError(instance.label() + ": draw failed with error " + std::to_string(drawn.err) +
                      (drawn.message.empty() ? "" : ": " + drawn.message));
    }
    instance.takeChangedParams();
    Replay(request, instance, matchName, window).run();
    if (!instance.takeChangedParams().empty()) {
      // The host shows changed values: the panel is drawn anew.
      drawn = window.drawAll();
      if (!drawn.ok()) {
        throw HostError(instance.label() + ": draw failed with error " + std::to_string(drawn.err) +
                        (drawn.message.empty() ? "" : ": " + drawn.message));
      }
    }

    std::vector<Change> changes;
    const auto& table = instance.effect().params();
    for (int32_t i = 1; i < instance.paramCount(); ++i) {
      const PF_ParamDef& now = instance.param(i);
      const auto was = numberOf(before[static_cast<std::size_t>(i)]);
      const auto is = numberOf(now);
      if (!was || !is || *was == *is) continue;
      changes.push_back({i, std::string(table[static_cast<std::size_t>(i)].name()),
                         numberText(before[static_cast<std::size_t>(i)]), numberText(now), *is});
    }
    for (const Change& c : changes) out << inQuotes(c.name) << ": " << c.before << " -> " << c.after << "\n";

    writePng(request.out, window.picture());
    if (request.save) {
      composition.save([&](const Json& document) {
        Json saved = document;
        Json& params = saved["layers"][layer]["effects"][effectIndex]["params"];
        if (!params.is_object()) params = Json::object();
        for (const Change& c : changes) setValue(params, c.name, c.value, request.frame);
        rebaseProjectPaths(saved, from, request.save->parent_path());
        replaceFileWithText(*request.save, formatProjectText(saved));
      });
    }
    for (const auto& failure : composition.shutDown()) err << "vask: warning: " << failure << "\n";
    return 0;
  } catch (const std::exception& e) {
    err << "vask: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace vask::host
