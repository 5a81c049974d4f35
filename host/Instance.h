// An instance: one effect applied to one layer.
//
// It holds what the host keeps per applied effect: the sequence data handle,
// the parameter array (one PF_ParamDef per index, starting from the declared
// defaults; index 0 is the input layer's world), the input and output worlds,
// the current time, and the LayerSource that answers check-outs of layer
// parameters. Commands go through the Effect's dispatch (host/Effect.h), with
// this instance's effect reference.
//
// Lifecycle: construct after a successful params setup; sequenceSetup (or
// setFlatSequenceData + sequenceResetup), frame commands and events,
// sequenceFlatten for saving, sequenceSetdown. The destructor never calls the
// plug-in: it disposes a sequence handle still held.
//
// Not copyable or movable: plug-ins hold its effect reference during calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "host/CallbackBridge.h"
#include "host/Effect.h"
#include "host/LayerSource.h"
#include "host/World.h"
#include "platform/effect_api/EffectApi.h"

namespace vask::host {

class Instance {
 public:
  enum class SequenceState {
    None,  // no sequence handle
    Live,  // after a successful setup or re-setup
    Flat,  // after a successful flatten, or flat bytes given by the host
  };

  // Throws HostError when `effect` is null or its params setup has not
  // succeeded. `label` names the instance in reports ("instance N" if empty).
  explicit Instance(std::shared_ptr<Effect> effect, std::string label = {});
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  Effect& effect() const { return *effect_; }
  const std::string& label() const { return label_; }

  // ---- commands ----
  CommandResult sequenceSetup();
  CommandResult sequenceResetup();
  CommandResult sequenceFlatten();
  CommandResult sequenceSetdown();
  CommandResult frameSetup();
  CommandResult render();
  CommandResult frameSetdown();
  // PF_Cmd_EVENT. Name a drawing context by pointing e.contextH at a record
  // from makeEffectContext (it must outlive the call).
  CommandResult event(PF_EventExtra& e);
  // Any command code in this instance's scope; see Effect::command.
  CommandResult command(PF_Cmd cmd, void* extra = nullptr, const PF_OutData* initialOut = nullptr);

  // ---- parameters ----
  int32_t paramCount() const { return static_cast<int32_t>(values_.size()); }
  // The current value of parameter `index`, as the plug-in sees it; tests set
  // values here. Throws std::out_of_range.
  PF_ParamDef& param(int32_t index);
  // The layer a layer parameter names (0: none). Throws HostError when
  // `index` is not a layer parameter or is the input (index 0).
  void setLayerParam(int32_t index, int32_t layerId);
  int32_t layerParam(int32_t index) const;
  void setLayerSource(std::shared_ptr<LayerSource> source) { layers_ = std::move(source); }
  // Indices whose PF_ChangeFlag_CHANGED_VALUE the plug-in set, in the order
  // seen, since the last call; the host clears the flag after each command.
  std::vector<int32_t> takeChangedParams();

  // ---- worlds and time ----
  World& input() { return input_; }
  World& output() { return output_; }
  // `time` and `step` in units of 1/scale seconds; scale > 0.
  void setTime(int32_t time, int32_t step, uint32_t scale);
  int32_t time() const { return time_; }
  int32_t timeStep() const { return step_; }
  uint32_t timeScale() const { return scale_; }

  // ---- sequence data ----
  PF_Handle sequenceData() const { return sequence_; }
  SequenceState sequenceState() const { return state_; }
  // Hands the instance a handle from the handle suite, which it then owns, in
  // flat state. Throws HostError while the instance holds live sequence data
  // (its plug-in resources would leak); a flat handle held is disposed.
  void setSequenceData(PF_Handle h);
  // setSequenceData of a new handle holding exactly `bytes` (untrusted bytes,
  // as read from a project).
  void setFlatSequenceData(std::span<const std::byte> bytes);
  // The bytes a project saves: the flat handle's contents, cut to the size the
  // last flatten reported. Throws HostError unless the state is Flat.
  std::vector<std::byte> flatSequenceBytes() const;
  int32_t flatSize() const { return flatSize_; }
  // True from a successful sequence setup or re-setup until sequence setdown.
  bool sequenceOpen() const { return sequenceOpen_; }
  // out_flags of the last command sent to this instance.
  int32_t lastOutFlags() const { return lastOutFlags_; }

 private:
  friend class Effect;
  friend class detail::CallbackBridge;

  PF_ParamList prepareParams();
  void afterCommand(PF_Cmd cmd, PF_Err err, const PF_OutData& out);
  PF_Err checkout(detail::CallFrame& frame, int32_t index, int32_t time, int32_t step,
                  uint32_t scale, PF_ParamDef* param);
  PF_Err checkin(detail::CallFrame& frame, const PF_ParamDef* param);

  std::shared_ptr<Effect> effect_;
  std::string label_;
  detail::CallContext context_;
  std::vector<ParamDeclaration> declared_;  // this instance's copy of the table
  std::vector<PF_ParamDef> values_;
  std::vector<PF_ParamDef*> pointers_;
  std::vector<int32_t> layerChoice_;
  std::vector<int32_t> changed_;
  std::shared_ptr<LayerSource> layers_;
  World input_;
  World output_;
  int32_t time_ = 0;
  int32_t step_ = 1;
  uint32_t scale_ = 30;
  PF_Handle sequence_ = nullptr;
  SequenceState state_ = SequenceState::None;
  int32_t flatSize_ = 0;
  int32_t lastOutFlags_ = 0;
  bool sequenceOpen_ = false;
};

}  // namespace vask::host
