#include "host/studio/StudioEngine.h"

#include <algorithm>
#include <cmath>

#include "host/AtomicFile.h"
#include "host/Base64.h"
#include "host/Composition.h"
#include "host/EffectControls.h"
#include "host/FrameWriter.h"
#include "host/HostError.h"
#include "host/ParamValue.h"
#include "host/PluginCatalog.h"
#include "host/PngImage.h"
#include "host/ProjectCommands.h"
#include "host/ProjectPaths.h"

namespace vask::host {
namespace {

// Frames rendered ahead of the one played, and most kept.
constexpr int64_t kAheadFrames = 12;
constexpr std::size_t kKeptFrames = 24;
// Finished replies nobody fetched (a render's, a request whose page went
// away) are dropped past this many.
constexpr std::size_t kKeptReplies = 64;

[[noreturn]] void bad(const std::string& why) { throw ProjectError(why); }

int64_t integer(const Json& args, const char* name, int64_t lo, int64_t hi) {
  if (!args.is_object() || !args.contains(name)) bad(std::string("\"") + name + "\" is missing");
  const Json& v = args[name];
  if (!v.is_number_integer()) bad(std::string("\"") + name + "\" is not a whole number");
  const int64_t n = v.is_number_unsigned() ? static_cast<int64_t>(std::min<uint64_t>(v.get<uint64_t>(), INT64_MAX))
                                           : v.get<int64_t>();
  if (n < lo || n > hi) {
    bad(std::string("\"") + name + "\" " + std::to_string(n) + " is outside " + std::to_string(lo) + " … " +
        std::to_string(hi));
  }
  return n;
}

bool flag(const Json& args, const char* name) {
  if (!args.is_object() || !args.contains(name)) return false;
  if (!args[name].is_boolean()) bad(std::string("\"") + name + "\" is not true or false");
  return args[name].get<bool>();
}

StudioEngine::Reply json(const Json& body, int status = 200) {
  return {status, "application/json", body.dump(-1, ' ', false, Json::error_handler_t::replace), nullptr};
}

std::string dataUrl(const std::vector<std::byte>& png) { return "data:image/png;base64," + encodeBase64(png); }

World pictureOf(const os::Canvas& canvas) {
  World w(std::max(1, canvas.width()), std::max(1, canvas.height()));
  for (int32_t y = 0; y < canvas.height(); ++y)
    for (int32_t x = 0; x < canvas.width(); ++x) {
      const os::Pixel p = canvas.pixel(x, y);
      w.at(x, y) = PF_Pixel{255, p.red, p.green, p.blue};
    }
  return w;
}

const char* typeName(PF_ParamType t) {
  switch (t) {
    case PF_Param_FIX_SLIDER: return "slider";
    case PF_Param_ANGLE: return "angle";
    case PF_Param_CHECKBOX: return "checkbox";
    case PF_Param_COLOR: return "color";
    case PF_Param_POPUP: return "popup";
    case PF_Param_LAYER: return "layer";
    default: return "other";
  }
}

std::string failure(const CommandResult& r, std::string_view what) {
  return std::string(what) + " failed with error " + std::to_string(r.err) + (r.message.empty() ? "" : ": " + r.message);
}

}  // namespace

struct StudioEngine::Window {
  Window(Instance& i, int32_t width) : instance(i), controls(i, width) {}
  Instance& instance;
  EffectControls controls;
  const EffectControls::Control* pressed = nullptr;  // the control a drag goes to
  bool drawn = false;  // since the values last changed
};

StudioEngine::StudioEngine(std::filesystem::path project, const ProjectFolder& folder, WebDesktop& desktop,
                           Options options)
    : projectFile_(std::move(project)), folder_(folder), desktop_(desktop), options_(std::move(options)) {
  queue_.emplace_back(nextTicket_++, Op::Load, Json::object());
  thread_ = std::thread([this] { run(); });
}

StudioEngine::~StudioEngine() {
  desktop_.close();  // a box up in the page would hold the host thread for good
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
    stopRender_ = true;
  }
  queued_.notify_all();
  thread_.join();
}

uint64_t StudioEngine::submit(Op op, Json args) {
  std::lock_guard lock(mutex_);
  const uint64_t ticket = nextTicket_++;
  queue_.emplace_back(ticket, op, std::move(args));
  queued_.notify_all();
  return ticket;
}

StudioEngine::Outcome StudioEngine::wait(uint64_t ticket, std::chrono::milliseconds limit, uint64_t desktopSeen) {
  std::unique_lock lock(mutex_);
  auto pending = [&] {
    if (running_ == ticket) return true;
    for (const auto& q : queue_)
      if (std::get<0>(q) == ticket) return true;
    return false;
  };
  finished_.wait_for(lock, limit, [&] { return !pending() || desktop_.changes() != desktopSeen; });
  if (pending()) return {false, {}};
  const auto found = replies_.find(ticket);
  if (found == replies_.end()) return {true, json({{"error", "no such request"}}, 404)};
  Reply reply = std::move(found->second);
  replies_.erase(found);
  return {true, std::move(reply)};
}

StudioEngine::RenderProgress StudioEngine::renderProgress() const {
  std::lock_guard lock(mutex_);
  return progress_;
}

bool StudioEngine::startRender() {
  std::lock_guard lock(mutex_);
  if (progress_.running) return false;
  // Running from now: a second request and the page's polling must not see
  // the last render's end before the host thread takes this one up.
  progress_ = RenderProgress{true, 0, 0, "", "", false};
  stopRender_ = false;
  queue_.emplace_back(nextTicket_++, Op::Render, Json::object());
  queued_.notify_all();
  return true;
}

void StudioEngine::finish(uint64_t ticket, Reply reply) {
  {
    std::lock_guard lock(mutex_);
    replies_[ticket] = std::move(reply);
    while (replies_.size() > kKeptReplies) replies_.erase(replies_.begin());
    running_ = 0;
  }
  finished_.notify_all();
}

void StudioEngine::run() {
  // Wakes the requests waiting on this thread whenever the page has
  // something new to show.
  desktop_.setChangeCallback([this] {
    { std::lock_guard lock(mutex_); }
    finished_.notify_all();
  });
  for (;;) {
    std::tuple<uint64_t, Op, Json> job;
    {
      std::unique_lock lock(mutex_);
      if (queue_.empty() && !stopping_ && aheadFrom_ >= 0) {
        lock.unlock();
        renderAhead();
        continue;
      }
      queued_.wait(lock, [&] { return !queue_.empty() || stopping_; });
      if (stopping_) break;
      // The pointer, values and boxes go before frames: a frame more or less
      // is not seen, a pointer that lags is.
      auto next = std::find_if(queue_.begin(), queue_.end(),
                               [](const auto& q) { return std::get<1>(q) != Op::Frame; });
      if (next == queue_.end()) next = queue_.begin();
      job = std::move(*next);
      queue_.erase(next);
      running_ = std::get<0>(job);
    }
    Reply reply = handle(std::get<1>(job), std::get<2>(job));
    if (std::get<1>(job) == Op::Render) {
      // Ended, even when it could not begin (the project failed to load).
      std::lock_guard lock(mutex_);
      progress_.running = false;
    }
    finish(std::get<0>(job), std::move(reply));
  }
  // Everything set down on the thread that set it up.
  windows_.clear();
  if (composition_) composition_->shutDown();
  composition_.reset();
  std::lock_guard lock(mutex_);
  for (auto& q : queue_) replies_[std::get<0>(q)] = json({{"error", "the studio has stopped"}}, 503);
  queue_.clear();
}

StudioEngine::Reply StudioEngine::handle(Op op, const Json& args) {
  try {
    if (op == Op::Load) {
      Project project = loadProject(projectFile_);
      const PluginCatalog catalog = PluginCatalog::scan(options_.plugins.empty() ? defaultPluginFolders() : options_.plugins);
      std::vector<std::string> warnings = catalog.warnings();
      composition_ = std::make_unique<Composition>(std::move(project), catalog, CompositionOptions{}, warnings);
      return json({{"loaded", true}, {"warnings", warnings}});
    }
    if (!composition_) return json({{"error", "the project is not loaded"}}, 409);
    switch (op) {
      case Op::Load: break;
      case Op::Describe: return json(describe());
      case Op::Frame: return frame(args);
      case Op::Params: return json(params(args));
      case Op::SetParam: return json(setParam(args));
      case Op::Controls: return json(controls(args));
      case Op::Pointer: return json(pointer(args));
      case Op::About: return json(about(args));
      case Op::Save: return json(save(args));
      case Op::Render: return json(render());
    }
    return json({{"error", "unknown request"}}, 400);
  } catch (const HostError& e) {  // ProjectError included: what the page asked for is at fault
    return json({{"error", e.what()}}, 400);
  } catch (const std::exception& e) {
    return json({{"error", e.what()}}, 500);
  }
}

// ---- reading -----------------------------------------------------------------

std::pair<int32_t, int32_t> StudioEngine::previewSize() const {
  const auto& c = composition_->project().composition;
  const double scale = std::min({1.0, double(options_.previewWidth) / c.width, double(options_.previewHeight) / c.height});
  return {std::max(1, static_cast<int32_t>(std::lround(c.width * scale))),
          std::max(1, static_cast<int32_t>(std::lround(c.height * scale)))};
}

Json StudioEngine::describe() {
  const Project& p = composition_->project();
  const auto [pw, ph] = previewSize();
  Json layers = Json::array();
  for (std::size_t li = 0; li < p.layers.size(); ++li) {
    Json effects = Json::array();
    for (std::size_t ei = 0; ei < p.layers[li].effects.size(); ++ei) {
      Instance* inst = composition_->instanceAt(li, ei);
      if (!inst) continue;
      const auto& table = inst->effect().params();
      Json params = Json::array();
      bool custom = false;
      for (std::size_t i = 1; i < table.size(); ++i) {
        const ParamDeclaration& d = table[i];
        custom = custom || ((d.def().ui_flags & PF_PUI_CONTROL) != 0 && d.type() != PF_Param_LAYER);
        if (!isSettable(d, static_cast<int32_t>(i))) continue;
        Json j{{"index", i}, {"name", d.name()}, {"type", typeName(d.type())}};
        const PF_ParamDef& def = d.def();
        if (d.type() == PF_Param_FIX_SLIDER) {
          j["min"] = def.u.fd.valid_min / 65536.0;
          j["max"] = def.u.fd.valid_max / 65536.0;
          j["sliderMin"] = def.u.fd.slider_min / 65536.0;
          j["sliderMax"] = def.u.fd.slider_max / 65536.0;
          j["precision"] = def.u.fd.precision;
        } else if (d.type() == PF_Param_CHECKBOX) {
          j["label"] = d.label();
        } else if (d.type() == PF_Param_POPUP) {
          Json choices = Json::array();
          std::string item;
          for (char c : std::string(d.choices()) + "|") {
            if (c != '|') {
              item += c;
            } else if (!item.empty()) {
              choices.push_back(item);
              item.clear();
            }
          }
          j["choices"] = choices;
        }
        params.push_back(j);
      }
      effects.push_back({{"layer", li}, {"effect", ei}, {"name", inst->effect().pipl().name},
                         {"matchName", p.layers[li].effects[ei].matchName}, {"customControls", custom},
                         {"params", params}});
    }
    layers.push_back({{"name", p.layers[li].name}, {"visible", p.layers[li].visible}, {"effects", effects}});
  }
  return {{"file", projectFile_.filename().string()},
          {"name", p.name},
          {"width", p.composition.width},
          {"height", p.composition.height},
          {"frames", p.composition.frames},
          {"fps", p.composition.rate.fps()},
          {"preview", {{"width", pw}, {"height", ph}}},
          {"layers", layers}};
}

StudioEngine::Reply StudioEngine::frame(const Json& args) {
  const int64_t f = integer(args, "frame", 0, composition_->frameCount() - 1);
  const bool full = flag(args, "full"), draft = flag(args, "draft");
  if (flag(args, "ahead")) {
    aheadFrom_ = f + 1;
    aheadTo_ = std::min(composition_->frameCount() - 1, f + kAheadFrames);
  } else {
    aheadFrom_ = aheadTo_ = -1;
  }
  Reply reply{200, "image/png", {}, nullptr};
  if (const auto kept = ahead_.find(f); !full && !draft && kept != ahead_.end()) {
    reply.picture = kept->second;
    return reply;
  }
  const auto& c = composition_->project().composition;
  auto size = full ? std::pair{c.width, c.height} : previewSize();
  // A drag's frames come at half the size: four times as fast, so that the
  // effect's controls answer the pointer between them.
  if (draft && !full) size = {std::max(1, size.first / 2), std::max(1, size.second / 2)};
  composition_->setOutputSize(size.first, size.second);
  seeked_ = -1;  // a frame gives values to the visible layers' effects only
  reply.picture = std::make_shared<const World>(composition_->renderFrame(f));
  if (!full && !draft) {
    ahead_[f] = reply.picture;
    while (ahead_.size() > kKeptFrames) ahead_.erase(ahead_.begin()->first < f ? ahead_.begin() : std::prev(ahead_.end()));
  }
  return reply;
}

void StudioEngine::renderAhead() {
  while (aheadFrom_ >= 0 && aheadFrom_ <= aheadTo_ && ahead_.count(aheadFrom_)) ++aheadFrom_;
  if (aheadFrom_ < 0 || aheadFrom_ > aheadTo_ || ahead_.size() >= kKeptFrames) {
    aheadFrom_ = aheadTo_ = -1;
    return;
  }
  try {
    const auto size = previewSize();
    composition_->setOutputSize(size.first, size.second);
    seeked_ = -1;
    ahead_[aheadFrom_] = std::make_shared<const World>(composition_->renderFrame(aheadFrom_));
    ++aheadFrom_;
  } catch (const std::exception&) {
    // The viewer asks for the frame itself and reports the failure.
    aheadFrom_ = aheadTo_ = -1;
  }
}

void StudioEngine::seek(int64_t frame) {
  if (frame == seeked_) return;
  composition_->seek(frame);
  seeked_ = frame;
  for (auto& [place, w] : windows_) w->drawn = false;
}

void StudioEngine::edited() {
  ++version_;
  ahead_.clear();
  for (auto& [place, w] : windows_) w->drawn = false;
}

Json StudioEngine::params(const Json& args) {
  const auto layer = static_cast<std::size_t>(integer(args, "layer", 0, 1 << 20));
  const auto effect = static_cast<std::size_t>(integer(args, "effect", 0, 1 << 20));
  const int64_t f = integer(args, "frame", 0, composition_->frameCount() - 1);
  Instance* inst = composition_->instanceAt(layer, effect);
  if (!inst) bad("there is no effect " + std::to_string(effect + 1) + " on layer " + std::to_string(layer + 1));
  Json out = Json::array();
  const auto& table = inst->effect().params();
  for (std::size_t i = 1; i < table.size(); ++i) {
    if (!isSettable(table[i], static_cast<int32_t>(i))) continue;
    const auto s = composition_->paramState(layer, effect, static_cast<int32_t>(i), static_cast<double>(f));
    out.push_back({{"index", i}, {"value", s.value}, {"keyed", s.keyed}, {"keys", s.keyFrames}});
  }
  return {{"params", out}};
}

// ---- editing -----------------------------------------------------------------

Json StudioEngine::setParam(const Json& args) {
  const auto layer = static_cast<std::size_t>(integer(args, "layer", 0, 1 << 20));
  const auto effect = static_cast<std::size_t>(integer(args, "effect", 0, 1 << 20));
  const auto index = static_cast<int32_t>(integer(args, "index", 0, 1 << 20));
  const int64_t f = integer(args, "frame", 0, composition_->frameCount() - 1);
  std::vector<std::string> warnings;
  if (args.contains("keyed")) composition_->setParamKeyed(layer, effect, index, flag(args, "keyed"), double(f));
  if (args.contains("value")) composition_->setParamValue(layer, effect, index, args["value"], double(f), warnings);
  edited();
  seeked_ = -1;
  const auto s = composition_->paramState(layer, effect, index, double(f));
  Json out{{"index", index}, {"value", s.value}, {"keyed", s.keyed}, {"keys", s.keyFrames}, {"warnings", warnings}};
  if (windows_.count({layer, effect})) {
    seek(f);
    out["controls"] = windowJson(window(layer, effect), true);
  }
  return out;
}

StudioEngine::Window& StudioEngine::window(std::size_t layer, std::size_t effect) {
  auto& slot = windows_[{layer, effect}];
  if (!slot) {
    Instance* inst = composition_->instanceAt(layer, effect);
    if (!inst) {
      windows_.erase({layer, effect});
      bad("there is no effect " + std::to_string(effect + 1) + " on layer " + std::to_string(layer + 1));
    }
    auto w = std::make_unique<Window>(*inst, options_.controlsWidth);
    if (w->controls.controls().empty()) {
      windows_.erase({layer, effect});
      bad(inst->label() + " has no custom controls");
    }
    slot = std::move(w);
  }
  return *slot;
}

Json StudioEngine::windowJson(Window& w, bool redraw) {
  if (redraw || !w.drawn) {
    const CommandResult r = w.controls.drawAll();
    w.drawn = true;
    if (!r.ok()) throw HostError(w.instance.label() + ": " + failure(r, "draw"));
  }
  Json controls = Json::array();
  for (const auto& c : w.controls.controls()) {
    controls.push_back({{"index", c.index}, {"name", c.name},
                        {"frame", {c.frame.x, c.frame.y, c.frame.width, c.frame.height}}});
  }
  return {{"image", dataUrl(encodePng(pictureOf(w.controls.canvas())))},
          {"width", w.controls.canvas().width()},
          {"height", w.controls.canvas().height()},
          {"controls", controls},
          {"dragging", w.controls.dragging()}};
}

Json StudioEngine::controls(const Json& args) {
  const auto layer = static_cast<std::size_t>(integer(args, "layer", 0, 1 << 20));
  const auto effect = static_cast<std::size_t>(integer(args, "effect", 0, 1 << 20));
  const int64_t f = integer(args, "frame", 0, composition_->frameCount() - 1);
  Window& w = window(layer, effect);
  seek(f);
  return windowJson(w, false);
}

Json StudioEngine::pointer(const Json& args) {
  const auto layer = static_cast<std::size_t>(integer(args, "layer", 0, 1 << 20));
  const auto effect = static_cast<std::size_t>(integer(args, "effect", 0, 1 << 20));
  const int64_t f = integer(args, "frame", 0, composition_->frameCount() - 1);
  const os::Point p{static_cast<int>(integer(args, "x", -32768, 32767)),
                    static_cast<int>(integer(args, "y", -32768, 32767))};
  const std::string kind = args.contains("kind") && args["kind"].is_string() ? args["kind"].get<std::string>() : "";
  if (kind != "down" && kind != "move" && kind != "up") bad("\"kind\" is not one of \"down\", \"move\", \"up\"");
  const int32_t modifiers = flag(args, "shift") ? PF_Mod_SHIFT_KEY : 0;

  Window& w = window(layer, effect);
  if (!w.controls.dragging()) seek(f);  // a drag stays at the frame it started on
  if (!w.drawn) windowJson(w, true);
  Instance& inst = w.instance;
  inst.takeChangedParams();

  CommandResult r;
  auto local = [](const EffectControls::Control& c, os::Point at) { return os::Point{at.x - c.frame.x, at.y - c.frame.y}; };
  if (kind == "down") {
    for (const auto& c : w.controls.controls()) {
      if (!c.frame.contains(p)) continue;
      r = w.controls.press(c, local(c, p), modifiers);
      w.pressed = w.controls.dragging() ? &c : nullptr;
    }
  } else if (w.pressed && w.controls.dragging()) {
    r = kind == "move" ? w.controls.dragTo(local(*w.pressed, p), modifiers)
                       : w.controls.release(local(*w.pressed, p), modifiers);
  }
  if (!w.controls.dragging()) w.pressed = nullptr;

  // What the effect wrote into its parameters becomes the value at the frame
  // (a key there when the parameter is keyed), as a host records an edit.
  const std::vector<int32_t> changed = inst.takeChangedParams();
  Json values = Json::array();
  std::vector<std::string> names;
  for (const auto& l : composition_->project().layers) names.push_back(l.name);
  const auto& table = inst.effect().params();
  const double at = static_cast<double>(seeked_ >= 0 ? seeked_ : f);
  for (int32_t i : changed) {
    if (i <= 0 || static_cast<std::size_t>(i) >= table.size() || !isSettable(table[static_cast<std::size_t>(i)], i)) continue;
    const Json now = projectValue(table[static_cast<std::size_t>(i)], valueOf(inst, i), composition_->project().format, names);
    if (composition_->paramState(layer, effect, i, at).value == now) continue;
    composition_->recordParamFromInstance(layer, effect, i, at);
    values.push_back({{"index", i}, {"name", table[static_cast<std::size_t>(i)].name()}, {"value", now}});
  }
  if (!changed.empty()) edited();
  // While a drag goes on the effect draws what changes itself; afterwards the
  // whole window shows the new values.
  Json out = windowJson(w, !w.controls.dragging() && (!changed.empty() || kind == "up"));
  out["changed"] = values;
  out["rerender"] = !changed.empty();
  if (!r.ok()) out["effectError"] = failure(r, kind == "down" ? "click" : "drag");
  return out;
}

Json StudioEngine::about(const Json& args) {
  const auto layer = static_cast<std::size_t>(integer(args, "layer", 0, 1 << 20));
  const auto effect = static_cast<std::size_t>(integer(args, "effect", 0, 1 << 20));
  Instance* inst = composition_->instanceAt(layer, effect);
  if (!inst) bad("there is no effect " + std::to_string(effect + 1) + " on layer " + std::to_string(layer + 1));
  const CommandResult r = inst->effect().about();
  Json out{{"shown", true}};
  if (!r.ok()) out["effectError"] = failure(r, "about");
  return out;
}

// ---- saving and rendering ------------------------------------------------------

Json StudioEngine::save(const Json& args) {
  std::filesystem::path target = projectFile_;
  if (args.is_object() && args.contains("as")) {
    if (!args["as"].is_string()) bad("\"as\" is not a file name");
    const std::filesystem::path as(args["as"].get<std::string>());
    if (as.empty() || as.is_absolute() || as.filename() != as || as.extension() != ".json" ||
        as.string().find('\0') != std::string::npos) {
      bad("\"as\" must be a file name ending in .json, without a folder");
    }
    target = folder_.root() / as;
    // A link in the folder must not carry the save outside it.
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(target, ec)) && !folder_.contains(std::filesystem::weakly_canonical(target, ec))) {
      bad(as.string() + " leads outside the project's folder");
    }
  }
  const auto from = projectFile_.parent_path();
  composition_->save([&](const Json& document) {
    Json saved = document;
    rebaseProjectPaths(saved, from, target.parent_path());
    replaceFileWithText(target, formatProjectText(saved));
  });
  // Every instance was flattened and set up again: its controls are new.
  seeked_ = -1;
  for (auto& [place, w] : windows_) w->drawn = false;
  return {{"saved", target.string()}};
}

Json StudioEngine::render() {
  const Project& project = composition_->project();
  const int64_t frames = project.composition.frames;
  // Where `vask render` puts them: out/<project name>/frame_NNNN.png.
  const FrameOutput output =
      frameOutput(options_.renderFolder.empty() ? std::nullopt : std::optional(options_.renderFolder), project.name, 0,
                  frames - 1);
  const std::filesystem::path folder = output.folder.empty() ? std::filesystem::path(".") : output.folder;
  {
    std::lock_guard lock(mutex_);
    progress_ = RenderProgress{true, 0, frames, folder.string(), "", false};
  }
  int64_t landed = 0;
  std::string error;
  try {
    std::vector<std::filesystem::path> files;
    for (int64_t f = 0; f < frames; ++f) files.push_back(output.fileOf(f));
    prepareRenderFolder(project, folder, files);
    composition_->setOutputSize(project.composition.width, project.composition.height);
    seeked_ = -1;
    FrameWriter writer([&](int64_t, const std::filesystem::path&) {
      ++landed;
      std::lock_guard lock(mutex_);
      progress_.done = landed;
    });
    for (int64_t f = 0; f < frames && !stopRender_; ++f)
      writer.submit(f, files[static_cast<std::size_t>(f)], composition_->renderFrame(f));
    writer.finish();
  } catch (const std::exception& e) {
    error = e.what();
  }
  std::lock_guard lock(mutex_);
  progress_.running = false;
  progress_.done = landed;
  progress_.error = error;
  progress_.stopped = stopRender_ && landed < frames;
  return {{"done", landed}, {"folder", folder.string()}, {"error", error}};
}

}  // namespace vask::host
