#include "host/Composition.h"

#include <algorithm>
#include <cmath>
#include <future>
#include <numeric>
#include <utility>

#include "host/Base64.h"
#include "host/Compositing.h"
#include "host/FrameScheduler.h"
#include "host/LayerSource.h"
#include "host/ParamValue.h"
#include "host/PngImage.h"

namespace vask::host {
namespace {

// The File Object's flat model record (32 bytes and the path, little-endian)
// for a model named by a project: no stamps, so no parked model matches it,
// and scale 0, which no measured model has, so that the effect measures the
// model when it reads it, as after the Import button.
std::vector<std::byte> unmeasuredModelRecord(const std::filesystem::path& model) {
  const std::string path = model.string();
  std::vector<std::byte> record(32 + path.size(), std::byte{0});
  auto put32 = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) record[at + i] = std::byte((v >> (8 * i)) & 0xff);
  };
  put32(0, 1);
  put32(12, static_cast<uint32_t>(path.size()));
  for (std::size_t i = 0; i < path.size(); ++i) record[32 + i] = std::byte(static_cast<unsigned char>(path[i]));
  return record;
}

std::string inQuotes(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Gives `inst` a transparent output world of its input's size, reusing last
// frame's memory when the size is the same (a full-HD frame's fresh pages
// cost more than clearing them).
void clearOutput(Instance& inst) {
  const World& in = inst.input();
  World& out = inst.output();
  if (out.width() == in.width() && out.height() == in.height() && out.rowbytes() == in.width() * 4) {
    out.fill(PF_Pixel{0, 0, 0, 0});
  } else {
    out = World(in.width(), in.height());
  }
}

std::string list(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& i : items) out += (out.empty() ? "" : ", ") + inQuotes(i);
  return out;
}

}  // namespace

// ---- the layers' own pictures ------------------------------------------------

class Composition::Layers : public LayerSource {
 public:
  struct Entry {
    const ProjectLayer* layer = nullptr;
    std::string where;             // "file: layer "X" (#1)"
    int32_t nativeWidth = 0, nativeHeight = 0;
    int32_t width = 0, height = 0;  // after scaling to the output size
    int32_t x = 0, y = 0;           // top-left in the output frame
    std::shared_ptr<const World> still;  // image and solid layers
    int64_t cachedNumber = -1;           // sequence: the file number held
    std::shared_ptr<const World> cached;
    // Sequence: the next file, read on a thread of its own while this frame
    // renders (a render goes forward frame by frame; decoding a full-HD
    // picture is a sixth of such a frame, and the frame loop leaves a core
    // idle while it sets the frame up). -1: none under way.
    int64_t aheadNumber = -1;
    std::future<World> ahead;
  };

  Layers(const Project& project, int32_t outWidth, int32_t outHeight)
      : width(outWidth), height(outHeight), rate_(project.composition.rate) {
    const double sx = static_cast<double>(outWidth) / project.composition.width;
    const double sy = static_cast<double>(outHeight) / project.composition.height;
    for (std::size_t i = 0; i < project.layers.size(); ++i) {
      const ProjectLayer& l = project.layers[i];
      Entry e;
      e.layer = &l;
      e.where = project.file.string() + ": " + describeLayer(l, i);
      World native;
      switch (l.kind) {
        case LayerKind::Image:
          native = read(e.where, l.file);
          e.nativeWidth = native.width();
          e.nativeHeight = native.height();
          break;
        case LayerKind::Sequence: {
          const auto first = l.folder / l.sequence->name(l.first);
          try {
            const PngSize size = readPngSize(first);
            e.nativeWidth = size.width;
            e.nativeHeight = size.height;
          } catch (const HostError& err) {
            throw HostError(e.where + ": " + err.what());
          }
          break;
        }
        case LayerKind::Solid:
          e.nativeWidth = l.width;
          e.nativeHeight = l.height;
          break;
      }
      e.width = std::clamp<int32_t>(static_cast<int32_t>(std::lround(e.nativeWidth * sx)), 1, World::kMaxSide);
      e.height = std::clamp<int32_t>(static_cast<int32_t>(std::lround(e.nativeHeight * sy)), 1, World::kMaxSide);
      if (uint64_t(e.width) * uint64_t(e.height) > kMaxPngPixels) {
        throw HostError(e.where + ": a picture of " + std::to_string(e.width) + " x " +
                        std::to_string(e.height) + " pixels is larger than this host holds (" +
                        std::to_string(kMaxPngPixels) + " pixels)");
      }
      e.x = static_cast<int32_t>(std::floor((outWidth - e.width) / 2.0));
      e.y = static_cast<int32_t>(std::floor((outHeight - e.height) / 2.0));
      if (l.kind == LayerKind::Image) {
        e.still = std::make_shared<World>(resample(native, e.width, e.height));
      } else if (l.kind == LayerKind::Solid) {
        auto w = std::make_shared<World>(e.width, e.height);
        w->fill(premultiply(l.colour));
        e.still = std::move(w);
      }
      entries_.push_back(std::move(e));
    }
  }

  const Entry& entry(std::size_t i) const { return entries_[i]; }
  std::size_t size() const { return entries_.size(); }

  // Layer `i`'s own picture at composition frame `frame`. Throws HostError
  // naming the layer and file.
  std::shared_ptr<const World> pictureAt(std::size_t i, double frame) {
    Entry& e = entries_[i];
    if (e.still) return e.still;
    const ProjectLayer& l = *e.layer;
    const auto number = l.first + static_cast<int64_t>(std::floor(frame + 1e-6));
    if (number == e.cachedNumber) return e.cached;
    if (number < 0) {
      throw HostError(e.where + ": frame " + std::to_string(frame) +
                      " comes before the sequence's first file");
    }
    const auto file = l.folder / l.sequence->name(number);
    World native;
    if (number == e.aheadNumber) {
      e.aheadNumber = -1;
      native = e.ahead.get();  // a failed read throws here, as it would have below
    } else {
      native = read(e.where, file);
    }
    readAhead(e, number + 1);
    if (native.width() != e.nativeWidth || native.height() != e.nativeHeight) {
      throw HostError(e.where + ": " + file.string() + " is " + std::to_string(native.width()) +
                      " x " + std::to_string(native.height()) + " pixels, but the sequence's first file is " +
                      std::to_string(e.nativeWidth) + " x " + std::to_string(e.nativeHeight));
    }
    // At the output size already (the usual case) the picture is kept as
    // read, without resample's copy.
    e.cached = native.width() == e.width && native.height() == e.height
                   ? std::make_shared<World>(std::move(native))
                   : std::make_shared<World>(resample(native, e.width, e.height));
    e.cachedNumber = number;
    return e.cached;
  }

  std::shared_ptr<World> layerAt(int32_t layerId, int32_t time, int32_t, uint32_t timeScale) override {
    if (layerId <= 0 || static_cast<std::size_t>(layerId) > entries_.size() || timeScale == 0) {
      return nullptr;
    }
    const double frame = static_cast<double>(time) / timeScale * rate_.fps();
    try {
      // A copy: the plug-in gets a world it may scribble on without touching
      // the picture the next check-out or the compositing reads.
      return std::make_shared<World>(*pictureAt(static_cast<std::size_t>(layerId - 1), frame));
    } catch (const HostError& e) {
      lastError = e.what();
      throw;
    }
  }

  // The last failure of a check-out, so that a plug-in's error can be
  // explained; cleared by the caller.
  std::string lastError;
  const int32_t width, height;  // the output frame

 private:
  static World read(const std::string& where, const std::filesystem::path& file) {
    try {
      return readPng(file);
    } catch (const HostError& err) {
      throw HostError(where + ": " + err.what());
    }
  }

  // Starts reading file `number` of a sequence, when it exists. A read
  // already under way for another number is waited for and dropped.
  static void readAhead(Entry& e, int64_t number) {
    if (e.aheadNumber != -1) {
      e.ahead.wait();
      e.aheadNumber = -1;
    }
    const ProjectLayer& l = *e.layer;
    auto file = l.folder / l.sequence->name(number);
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec)) return;
    try {
      e.ahead = std::async(std::launch::async, [where = e.where, file = std::move(file)] { return read(where, file); });
      e.aheadNumber = number;
    } catch (const std::system_error&) {
      // No thread to be had: the file is read when its frame comes.
    }
  }

  FrameRate rate_;
  std::vector<Entry> entries_;
};

// ---- set-up ------------------------------------------------------------------

Composition::Composition(Project project, const PluginCatalog& catalog, CompositionOptions options,
                         std::vector<std::string>& warnings)
    : project_(std::move(project)) {
  const ProjectComposition& comp = project_.composition;
  width_ = options.size ? options.size->first : comp.width;
  height_ = options.size ? options.size->second : comp.height;
  if (width_ < 1 || height_ < 1 || width_ > World::kMaxSide || height_ > World::kMaxSide ||
      uint64_t(width_) * uint64_t(height_) > kMaxPngPixels) {
    throw HostError("output size " + std::to_string(width_) + " x " + std::to_string(height_) +
                    " is outside 1 … " + std::to_string(World::kMaxSide) + " a side and " +
                    std::to_string(kMaxPngPixels) + " pixels in all");
  }
  if (options.threads > 0) session_.setRenderThreads(options.threads);
  layers_ = std::make_shared<Layers>(project_, width_, height_);
  referenced_.assign(project_.layers.size(), false);

  std::vector<std::string> layerNames;
  for (const auto& l : project_.layers) layerNames.push_back(l.name);
  const std::string file = project_.file.string();

  struct Pending {
    std::size_t layer, effect;
    std::shared_ptr<Effect> loaded;
    std::string label;
    std::vector<Bound> values;
  };
  std::vector<Pending> pending;
  for (std::size_t li = 0; li < project_.layers.size(); ++li) {
    const ProjectLayer& layer = project_.layers[li];
    for (std::size_t ei = 0; ei < layer.effects.size(); ++ei) {
      const ProjectEffect& entry = layer.effects[ei];
      const std::string where = file + ": " + describeEffect(layer, li, entry, ei);
      const auto library = catalog.find(entry.matchName);
      if (!library) {
        const auto known = catalog.matchNames();
        throw ProjectError(where + ": no effect library in " + catalog.foldersText() +
                           " has this match name; known effects: " +
                           (known.empty() ? std::string("none") : list(known)));
      }
      std::shared_ptr<Effect> effect;
      try {
        effect = session_.loadEffect(*library);
      } catch (const HostError& e) {
        throw HostError(where + ": " + e.what());
      }
      Pending p{li, ei, effect,
                describeLayer(layer, li) + ", effect " + inQuotes(effect->pipl().name) + " (" +
                    entry.matchName + ")",
                {}};
      for (const ParamSetting& ps : entry.params) {
        BoundSetting bound =
            bindSetting(effect->params(), effect->pipl().name, ps, project_.format, layerNames, where, warnings);
        for (int32_t id : bound.layers) referenced_[static_cast<std::size_t>(id) - 1] = true;
        // Keys are written back as they were read ("t" or "f", and whatever
        // else they hold) unless an edit replaces them.
        std::vector<Json> written;
        for (std::size_t k = 0; k < ps.keys.size(); ++k) {
          written.push_back(ps.keyed ? project_.document["layers"][li]["effects"][ei]["params"][ps.name]["keyframes"][k]
                                     : ps.keys[k].value);
        }
        // A later setting of the same parameter replaces an earlier one.
        std::erase_if(p.values, [&](const Bound& b) { return b.index == bound.index; });
        p.values.push_back(Bound{bound.index, std::move(bound.track), ps.keyed, std::move(bound.keys), std::move(written)});
      }
      pending.push_back(std::move(p));
    }
  }

  // Every value is known to be good: only now do the plug-ins get instances.
  for (auto& p : pending) {
    const ProjectLayer& layer = project_.layers[p.layer];
    const ProjectEffect& entry = layer.effects[p.effect];
    Instance* instance = nullptr;
    try {
      if (entry.flat) {
        instance = &session_.addInstance(p.loaded, p.label, std::span<const std::byte>(*entry.flat));
      } else if (entry.model) {
        const std::vector<std::byte> record = unmeasuredModelRecord(*entry.model);
        instance = &session_.addInstance(p.loaded, p.label, std::span<const std::byte>(record));
      } else {
        instance = &session_.addInstance(p.loaded, p.label);
      }
    } catch (const HostError& e) {
      throw HostError(file + ": " + (entry.flat ? "the effect refused its saved sequence data (\"flat\"): " : "") + e.what());
    }
    instance->setLayerSource(layers_);
    applied_.push_back(Applied{p.layer, p.effect, instance, std::move(p.values)});
    instances_.push_back(instance);
  }
}

Composition::~Composition() = default;

std::vector<std::string> Composition::shutDown() { return session_.shutDown(); }

void Composition::applyValues(const Applied& a, double frame) {
  for (const Bound& b : a.values) applyValue(*a.instance, b.index, b.track.at(frame));
}

Instance* Composition::instanceAt(std::size_t layer, std::size_t effect) const {
  for (const Applied& a : applied_)
    if (a.layer == layer && a.effect == effect) return a.instance;
  return nullptr;
}

void Composition::seek(int64_t frame) {
  if (frame < 0 || frame >= frameCount()) {
    throw HostError("frame " + std::to_string(frame) + " is outside the composition's frames 0 … " +
                    std::to_string(frameCount() - 1));
  }
  const FrameRate rate = project_.composition.rate;
  for (const Applied& a : applied_) {
    applyValues(a, static_cast<double>(frame));
    a.instance->setTime(static_cast<int32_t>(frame * rate.den), static_cast<int32_t>(rate.den),
                        static_cast<uint32_t>(rate.num));
  }
}

// ---- frames ------------------------------------------------------------------

World Composition::renderFrame(int64_t frame, StageTimes* times) {
  if (frame < 0 || frame >= frameCount()) {
    throw HostError("frame " + std::to_string(frame) + " is outside the composition's frames 0 … " +
                    std::to_string(frameCount() - 1));
  }
  StageClock clock(times);
  const FrameRate rate = project_.composition.rate;
  const auto frameAt = static_cast<double>(frame);

  // Every picture the frame needs is read before any plug-in is called, so a
  // missing file never leaves a frame half sent.
  std::vector<std::shared_ptr<const World>> pictures(layers_->size());
  for (std::size_t i = 0; i < layers_->size(); ++i) {
    if (project_.layers[i].visible || referenced_[i]) pictures[i] = layers_->pictureAt(i, frameAt);
  }

  std::vector<Instance*> list;
  std::vector<std::ptrdiff_t> previous;  // the effect before, on the same layer, or −1
  std::vector<const Applied*> order;
  for (const Applied& a : applied_) {
    if (!project_.layers[a.layer].visible) continue;
    const bool chained = !order.empty() && order.back()->layer == a.layer;
    previous.push_back(chained ? static_cast<std::ptrdiff_t>(order.size()) - 1 : -1);
    order.push_back(&a);
    list.push_back(a.instance);

    Instance& inst = *a.instance;
    applyValues(a, frameAt);
    inst.setTime(static_cast<int32_t>(frame * rate.den), static_cast<int32_t>(rate.den),
                 static_cast<uint32_t>(rate.num));
    inst.input() = *pictures[a.layer];
    clearOutput(inst);
  }

  FrameHooks hooks;
  hooks.beforeRender = [&](std::size_t k) {
    if (previous[k] >= 0) {
      Instance& inst = *list[k];
      inst.input() = list[static_cast<std::size_t>(previous[k])]->output();
      clearOutput(inst);
    }
  };
  layers_->lastError.clear();
  clock.lap(Stage::Pictures);
  const FrameReport report = runFrame(list, std::nullopt, hooks, times);
  if (!report.ok()) {
    std::string what = project_.file.string() + ": frame " + std::to_string(frame) + ": " +
                       report.instance + ": " + commandName(report.command) + " failed with error " +
                       std::to_string(report.err);
    if (!report.message.empty()) what += ": " + report.message;
    if (!layers_->lastError.empty()) what += " (while reading a layer for it: " + layers_->lastError + ")";
    for (const auto& e : report.cleanupErrors) what += "; then " + e;
    throw HostError(what);
  }

  StageClock compositing(times);  // runFrame charged its own stages
  World out(width_, height_);
  out.fill(premultiply(project_.composition.background));
  for (std::size_t i = 0; i < layers_->size(); ++i) {
    if (!project_.layers[i].visible) continue;
    const World* result = pictures[i].get();
    for (std::size_t k = 0; k < order.size(); ++k) {
      if (order[k]->layer == i) result = &list[k]->output();
    }
    const auto& e = layers_->entry(i);
    compositeOver(out, *result, e.x, e.y);
  }
  compositing.lap(Stage::Compositing);
  if (times) ++times->frames;
  return out;
}

// ---- saving ------------------------------------------------------------------

void Composition::save(const std::function<void(const Json&)>& write) {
  Json doc = project_.document;
  std::size_t flattened = 0;
  std::string failure;
  for (; flattened < applied_.size(); ++flattened) {
    const Applied& a = applied_[flattened];
    const CommandResult r = a.instance->sequenceFlatten();
    if (!r.ok()) {
      failure = a.instance->label() + ": sequence flatten failed with error " + std::to_string(r.err) +
                (r.message.empty() ? "" : ": " + r.message);
      break;
    }
    doc["layers"][a.layer]["effects"][a.effect]["flat"] = encodeBase64(a.instance->flatSequenceBytes());
  }
  std::exception_ptr writeError;
  if (failure.empty()) {
    try {
      write(doc);
    } catch (...) {
      writeError = std::current_exception();
    }
  }
  // Every flattened instance goes live again, whatever happened: the session
  // keeps working after a failed save.
  for (std::size_t i = 0; i < flattened; ++i) {
    const Applied& a = applied_[i];
    const CommandResult r = a.instance->sequenceResetup();
    if (!r.ok() && failure.empty()) {
      failure = a.instance->label() + ": sequence re-setup failed with error " + std::to_string(r.err) +
                (r.message.empty() ? "" : ": " + r.message);
    }
  }
  if (writeError) std::rethrow_exception(writeError);
  if (!failure.empty()) throw HostError(project_.file.string() + ": " + failure);
}

// ---- editing -------------------------------------------------------------------

void Composition::setOutputSize(int32_t width, int32_t height) {
  if (width == width_ && height == height_) return;
  if (width < 1 || height < 1 || width > World::kMaxSide || height > World::kMaxSide ||
      uint64_t(width) * uint64_t(height) > kMaxPngPixels) {
    throw HostError("output size " + std::to_string(width) + " x " + std::to_string(height) +
                    " is outside 1 … " + std::to_string(World::kMaxSide) + " a side and " +
                    std::to_string(kMaxPngPixels) + " pixels in all");
  }
  std::shared_ptr<Layers> next = otherLayers_ && otherLayers_->width == width && otherLayers_->height == height
                                     ? otherLayers_
                                     : std::make_shared<Layers>(project_, width, height);
  otherLayers_ = std::exchange(layers_, std::move(next));
  width_ = width;
  height_ = height;
  for (const Applied& a : applied_) a.instance->setLayerSource(layers_);
}

Composition::Applied& Composition::appliedAt(std::size_t layer, std::size_t effect) {
  for (Applied& a : applied_)
    if (a.layer == layer && a.effect == effect) return a;
  throw ProjectError("there is no effect " + std::to_string(effect + 1) + " on layer " + std::to_string(layer + 1));
}

const Composition::Applied& Composition::appliedAt(std::size_t layer, std::size_t effect) const {
  return const_cast<Composition*>(this)->appliedAt(layer, effect);
}

const ParamDeclaration& Composition::settable(const Applied& a, int32_t index) const {
  const auto& table = a.instance->effect().params();
  if (index < 0 || static_cast<std::size_t>(index) >= table.size()) {
    throw ProjectError(a.instance->label() + " has no parameter " + std::to_string(index));
  }
  const ParamDeclaration& decl = table[static_cast<std::size_t>(index)];
  if (!isSettable(decl, index)) {
    throw ProjectError("parameter " + inQuotes(decl.name()) + " is a " + paramTypeName(decl.def()) +
                       " and takes no value");
  }
  return decl;
}

Composition::ParamState Composition::paramState(std::size_t layer, std::size_t effect, int32_t index,
                                                double frame) const {
  const Applied& a = appliedAt(layer, effect);
  const ParamDeclaration& decl = settable(a, index);
  std::vector<std::string> names;
  for (const auto& l : project_.layers) names.push_back(l.name);
  ParamState state;
  for (const Bound& b : a.values) {
    if (b.index != index) continue;
    state.keyed = b.keyed;
    for (const Keyframe& k : b.keys) state.keyFrames.push_back(k.frame);
    std::sort(state.keyFrames.begin(), state.keyFrames.end());
    state.value = projectValue(decl, b.track.at(frame), project_.format, names);
    return state;
  }
  // Never set: the effect's default.
  const PF_ParamDef initial = decl.initialValue();
  Channels value{};
  switch (decl.type()) {
    case PF_Param_FIX_SLIDER: value[0] = initial.u.fd.value; break;
    case PF_Param_ANGLE: value[0] = initial.u.ad.value; break;
    case PF_Param_CHECKBOX: value[0] = initial.u.bd.value != 0; break;
    case PF_Param_POPUP: value[0] = initial.u.pd.value; break;
    case PF_Param_COLOR:
      value = {double(initial.u.cd.value.alpha), double(initial.u.cd.value.red),
               double(initial.u.cd.value.green), double(initial.u.cd.value.blue)};
      break;
    default: break;  // a layer parameter starts with no layer
  }
  state.value = projectValue(decl, value, project_.format, names);
  return state;
}

void Composition::setParamValue(std::size_t layer, std::size_t effect, int32_t index, const Json& value,
                                double frame, std::vector<std::string>& warnings) {
  Applied& a = appliedAt(layer, effect);
  const ParamDeclaration& decl = settable(a, index);
  std::vector<std::string> names;
  for (const auto& l : project_.layers) names.push_back(l.name);
  const Channels channels = convertValue(decl, value, project_.format, names, warnings);

  Bound b{index, Track::constant(channels), false, {Keyframe{0, channels, Interpolation::Linear}}, {value}};
  for (const Bound& old : a.values) {
    if (old.index != index || !old.keyed) continue;
    b = old;
    Json key = Json{{"f", frame}, {"value", value}};
    Keyframe k{frame, channels, Interpolation::Linear};
    bool replaced = false;
    for (std::size_t i = 0; i < b.keys.size(); ++i) {
      if (std::abs(b.keys[i].frame - frame) > 1e-9) continue;
      b.keys[i].value = channels;
      b.values[i]["value"] = value;
      replaced = true;
    }
    if (!replaced) {
      b.keys.push_back(k);
      b.values.push_back(key);
    }
  }
  commit(a, std::move(b));
}

void Composition::setParamKeyed(std::size_t layer, std::size_t effect, int32_t index, bool keyed,
                                double frame) {
  Applied& a = appliedAt(layer, effect);
  settable(a, index);
  const ParamState now = paramState(layer, effect, index, frame);
  if (now.keyed == keyed) return;
  std::vector<std::string> unused;
  std::vector<std::string> names;
  for (const auto& l : project_.layers) names.push_back(l.name);
  const Channels channels = convertValue(settable(a, index), now.value, project_.format, names, unused);
  Bound b{index, Track::constant(channels), keyed, {Keyframe{keyed ? frame : 0, channels, Interpolation::Linear}},
          {keyed ? Json{{"f", frame}, {"value", now.value}} : now.value}};
  commit(a, std::move(b));
}

void Composition::recordParamFromInstance(std::size_t layer, std::size_t effect, int32_t index, double frame) {
  Applied& a = appliedAt(layer, effect);
  const ParamDeclaration& decl = settable(a, index);
  std::vector<std::string> names;
  for (const auto& l : project_.layers) names.push_back(l.name);
  std::vector<std::string> unused;
  setParamValue(layer, effect, index, projectValue(decl, valueOf(*a.instance, index), project_.format, names), frame, unused);
}

void Composition::commit(Applied& a, Bound b) {
  const ParamDeclaration& decl = settable(a, b.index);
  // Keys in frame order, with their written form alongside.
  std::vector<std::size_t> order(b.keys.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](std::size_t x, std::size_t y) { return b.keys[x].frame < b.keys[y].frame; });
  std::vector<Keyframe> keys;
  std::vector<Json> values;
  for (std::size_t i : order) {
    keys.push_back(b.keys[i]);
    values.push_back(b.values[i]);
  }
  b.track = b.keyed ? Track::keyed(keys, isDiscrete(decl)) : Track::constant(keys.front().value);
  b.keys = std::move(keys);
  b.values = std::move(values);

  Json& effectDoc = project_.document["layers"][a.layer]["effects"][a.effect];
  if (!effectDoc.contains("params") || !effectDoc["params"].is_object()) effectDoc["params"] = Json::object();
  effectDoc["params"][std::string(decl.name())] =
      b.keyed ? Json{{"keyframes", Json(b.values)}} : b.values.front();

  std::erase_if(a.values, [&](const Bound& old) { return old.index == b.index; });
  a.values.push_back(std::move(b));
}

}  // namespace vask::host
