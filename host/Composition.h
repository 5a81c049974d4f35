// A project made live: its layers' pictures, the effects it uses loaded into
// a host session, one instance per applied effect with its parameter values
// bound, and the frame loop that renders and composites them.
//
// Render order is layers bottom to top, each layer's effects top to bottom.
// A frame is FRAME_SETUP for every instance of the visible layers, then
// RENDER for each (a layer's pixels go into its first effect, each effect's
// output into the next), then FRAME_SETDOWN for each; then the visible layers'
// results are laid over the background, bottom to top, each centred. A hidden
// layer's effects are not run, but its pixels can still be picked by layer
// parameters. Before its commands every instance gets the frame's time and its
// parameter values at that time.
//
// A layer parameter checked out at any time gives that layer's own pixels at
// that time, before its effects.
//
// Lifecycle: construction loads and sets everything up; renderFrame any number
// of times; save; the destructor (or shutDown) sets
// every instance and effect down.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/Keyframes.h"
#include "host/PluginCatalog.h"
#include "host/Project.h"
#include "host/Session.h"
#include "host/StageTimes.h"
#include "host/World.h"

namespace vask::host {

struct CompositionOptions {
  // Output size; the composition's own when not given. Layers are resampled
  // by the same factors.
  std::optional<std::pair<int32_t, int32_t>> size;
  // Threads renderers may use (Session::setRenderThreads); 0: not set.
  int threads = 0;
};

class Composition {
 public:
  // Reads every layer's picture size (the first file of a sequence), then
  // loads from `catalog` each effect the project names, binds each
  // parameter value, and applies each instance: sequence re-setup from its
  // saved flat data where the project has some, sequence setup otherwise.
  // Clamped values are described in `warnings`, each naming its place.
  // Throws ProjectError or HostError naming the file and the layer, effect and
  // parameter at fault: a picture that is missing or not a PNG, an unknown
  // match name (listing the known ones), an unknown parameter name (listing
  // the effect's), a value the parameter cannot take, a plug-in failing to
  // load or set up, or saved data the plug-in refuses.
  Composition(Project project, const PluginCatalog& catalog, CompositionOptions options,
              std::vector<std::string>& warnings);
  ~Composition();
  Composition(const Composition&) = delete;
  Composition& operator=(const Composition&) = delete;

  const Project& project() const { return project_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  int64_t frameCount() const { return project_.composition.frames; }
  // Every instance in render order.
  const std::vector<Instance*>& instances() const { return instances_; }

  // The composited frame `frame` (0 … frameCount() − 1), premultiplied.
  // Throws HostError when a layer's picture cannot be read or a plug-in
  // fails; the latter names the layer and effect and gives the plug-in's own
  // message. When `times` is given, the frame's stages are added to it
  // (all but WriterWait and Png) and its frame count goes up by one.
  World renderFrame(int64_t frame, StageTimes* times = nullptr);

  // What a host does on save: flattens every instance, records each
  // instance's flat data (base64) as "flat" in a copy of the project
  // document, calls `write` with that document, then re-sets every instance
  // up from its flat data, so that rendering can go on. `write` is not called
  // when a flatten fails. Throws HostError naming the instance whose flatten
  // or re-setup failed, or what `write` threw (after the re-setups).
  void save(const std::function<void(const Json&)>& write);

  // The instance of the `effect`th effect (0-based) of layer `layer`
  // (0-based, bottom first), or null when there is none.
  Instance* instanceAt(std::size_t layer, std::size_t effect) const;
  // Gives every instance the time of frame `frame` and its parameter values
  // at that time, as a frame does before its commands (what the effect
  // controls show at that frame). Throws HostError outside the frames.
  void seek(int64_t frame);

  // Renders from now on at `width` × `height` (a preview smaller than the
  // composition, or its full size again): layers are resampled by the new
  // factors, as with CompositionOptions::size. The last two sizes' layer
  // pictures are kept, so switching back and forth reads no file again.
  // Throws HostError for a size outside what the constructor accepts or a
  // picture that cannot be read; the size is then unchanged.
  void setOutputSize(int32_t width, int32_t height);

  // ---- editing: a person changing values in a live composition ----
  //
  // Parameters are named by the layer (0-based, bottom first), the effect
  // (0-based in the layer's list) and the parameter's index in the effect's
  // table. Values are in project units, as a project file writes them
  // (host/ParamValue.h). Edits take effect at the next seek or frame and are
  // what save() writes. Each throws ProjectError (with the reason only) for
  // a place that does not exist, a parameter that takes no value or a value
  // it cannot take; nothing changes then.

  struct ParamState {
    bool keyed = false;
    std::vector<double> keyFrames;  // in order
    Json value;                     // at the frame asked for
  };
  ParamState paramState(std::size_t layer, std::size_t effect, int32_t index, double frame) const;
  // The parameter takes `value` at `frame`: a keyed parameter gets a key
  // there (replacing the one at that frame, whose interpolation stays),
  // any other the value for every frame. Clamps are described in `warnings`.
  void setParamValue(std::size_t layer, std::size_t effect, int32_t index, const Json& value,
                     double frame, std::vector<std::string>& warnings);
  // Keyframes on: one key at `frame` holding the value there. Off: the value
  // at `frame` for every frame. Nothing happens when already so.
  void setParamKeyed(std::size_t layer, std::size_t effect, int32_t index, bool keyed, double frame);
  // The effect's current value of parameter `index` (what a manipulator drag
  // wrote into its parameter array) becomes the parameter's value at `frame`,
  // as setParamValue does.
  void recordParamFromInstance(std::size_t layer, std::size_t effect, int32_t index, double frame);

  // Sequence setdown of every instance, global setdown of every effect;
  // one line per failure.
  std::vector<std::string> shutDown();

 private:
  class Layers;
  struct Bound {
    int32_t index;
    Track track;
    bool keyed = false;
    std::vector<Keyframe> keys;  // what the track was made of
    std::vector<Json> values;    // each key's value as the project writes it
  };
  struct Applied {
    std::size_t layer;
    std::size_t effect;  // index in the layer's effect list
    Instance* instance;
    std::vector<Bound> values;
  };

  void applyValues(const Applied& a, double frame);
  Applied& appliedAt(std::size_t layer, std::size_t effect);
  const Applied& appliedAt(std::size_t layer, std::size_t effect) const;
  const ParamDeclaration& settable(const Applied& a, int32_t index) const;
  // Rebuilds the bound track and the project document's entry of `b`.
  void commit(Applied& a, Bound b);

  Project project_;
  int32_t width_ = 0, height_ = 0;
  std::shared_ptr<Layers> layers_;
  std::shared_ptr<Layers> otherLayers_;  // the size before the last setOutputSize
  Session session_;
  std::vector<Applied> applied_;     // render order
  std::vector<Instance*> instances_;
  std::vector<bool> referenced_;     // per layer: named by some layer parameter
};

}  // namespace vask::host
