#include "host/Instance.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "host/HandleSuite.h"
#include "host/HostError.h"

namespace vask::host {
namespace {

int gInstanceNumber = 0;

}  // namespace

Instance::Instance(std::shared_ptr<Effect> effect, std::string label)
    : effect_(std::move(effect)), label_(std::move(label)) {
  if (!effect_) throw HostError("an instance needs an effect");
  if (!effect_->paramsReady()) {
    throw HostError(effect_->library().path().string() +
                    ": cannot apply the effect: its params setup has not succeeded");
  }
  if (label_.empty()) label_ = "instance " + std::to_string(++gInstanceNumber);
  declared_ = effect_->params();
  values_.reserve(declared_.size());
  for (const auto& d : declared_) values_.push_back(d.initialValue());
  layerChoice_.assign(declared_.size(), 0);
  for (std::size_t i = 1; i < declared_.size(); ++i) {
    if (declared_[i].type() == PF_Param_LAYER) layerChoice_[i] = declared_[i].def().u.ld.dephault;
  }
  pointers_.resize(values_.size());
  context_.effect = effect_.get();
  context_.instance = this;
  detail::CallbackBridge::enroll(&context_);
}

Instance::~Instance() {
  detail::CallbackBridge::withdraw(&context_);
  if (sequence_ && handles::isLive(sequence_)) handles::dispose(sequence_);
}

CommandResult Instance::sequenceSetup() { return command(PF_Cmd_SEQUENCE_SETUP); }
CommandResult Instance::sequenceResetup() { return command(PF_Cmd_SEQUENCE_RESETUP); }
CommandResult Instance::sequenceFlatten() { return command(PF_Cmd_SEQUENCE_FLATTEN); }
CommandResult Instance::sequenceSetdown() { return command(PF_Cmd_SEQUENCE_SETDOWN); }
CommandResult Instance::frameSetup() { return command(PF_Cmd_FRAME_SETUP); }
CommandResult Instance::render() { return command(PF_Cmd_RENDER); }
CommandResult Instance::frameSetdown() { return command(PF_Cmd_FRAME_SETDOWN); }
CommandResult Instance::event(PF_EventExtra& e) { return command(PF_Cmd_EVENT, &e); }

CommandResult Instance::command(PF_Cmd cmd, void* extra, const PF_OutData* initialOut) {
  return effect_->dispatch(this, cmd, extra, initialOut);
}

PF_ParamDef& Instance::param(int32_t index) {
  if (index < 0 || index >= paramCount()) {
    throw std::out_of_range(label_ + ": no parameter " + std::to_string(index));
  }
  return values_[static_cast<std::size_t>(index)];
}

void Instance::setLayerParam(int32_t index, int32_t layerId) {
  if (index <= 0 || index >= paramCount() ||
      declared_[static_cast<std::size_t>(index)].type() != PF_Param_LAYER) {
    throw HostError(label_ + ": parameter " + std::to_string(index) + " is not a layer parameter");
  }
  if (layerId < 0)
    throw HostError(label_ + ": layer id " + std::to_string(layerId) + " is negative");
  layerChoice_[static_cast<std::size_t>(index)] = layerId;
}

int32_t Instance::layerParam(int32_t index) const {
  if (index <= 0 || index >= paramCount()) return 0;
  return layerChoice_[static_cast<std::size_t>(index)];
}

std::vector<int32_t> Instance::takeChangedParams() { return std::exchange(changed_, {}); }

void Instance::setTime(int32_t time, int32_t step, uint32_t scale) {
  if (scale == 0) throw HostError(label_ + ": time scale 0");
  time_ = time;
  step_ = step;
  scale_ = scale;
}

void Instance::setSequenceData(PF_Handle h) {
  if (state_ == SequenceState::Live && sequence_) {
    throw HostError(label_ + ": holds live sequence data; send sequence setdown first");
  }
  if (h && !handles::isLive(h)) throw HostError(label_ + ": sequence handle is not live");
  if (sequence_ && sequence_ != h && handles::isLive(sequence_)) handles::dispose(sequence_);
  sequence_ = h;
  state_ = h ? SequenceState::Flat : SequenceState::None;
  flatSize_ = h ? static_cast<int32_t>(handles::bytes(h).size()) : 0;
}

void Instance::setFlatSequenceData(std::span<const std::byte> bytes) {
  if (state_ == SequenceState::Live && sequence_) {
    throw HostError(label_ + ": holds live sequence data; send sequence setdown first");
  }
  PF_Handle h = handles::fromBytes(bytes);
  if (!h)
    throw HostError(label_ + ": out of memory for " + std::to_string(bytes.size()) +
                    " bytes of sequence data");
  setSequenceData(h);
}

std::vector<std::byte> Instance::flatSequenceBytes() const {
  if (state_ != SequenceState::Flat || !sequence_) {
    throw HostError(label_ + ": sequence data is not flat; send sequence flatten first");
  }
  const auto block = handles::bytes(sequence_);
  const std::size_t n =
      std::min(block.size(), static_cast<std::size_t>(flatSize_ > 0 ? flatSize_ : 0));
  return {block.begin(), block.begin() + static_cast<std::ptrdiff_t>(n)};
}

PF_ParamList Instance::prepareParams() {
  // The array is the instance's current values, which plug-ins may edit; the
  // parts the host owns (the input world, text pointers, layer worlds) are set
  // again before every call in case a plug-in wrote over them.
  for (std::size_t i = 0; i < values_.size(); ++i) {
    PF_ParamDef& v = values_[i];
    const PF_ParamDef& d = declared_[i].def();
    v.param_type = d.param_type;
    std::memcpy(v.name, d.name, sizeof v.name);
    if (d.param_type == PF_Param_CHECKBOX) v.u.bd.name = d.u.bd.name;
    if (d.param_type == PF_Param_POPUP) v.u.pd.names = d.u.pd.names;
    if (d.param_type == PF_Param_LAYER) {
      v.u.ld = i == 0 ? *input_.view() : PF_LayerDef{};
      v.u.ld.dephault = d.u.ld.dephault;
    }
    pointers_[i] = &v;
  }
  return pointers_.data();
}

void Instance::afterCommand(PF_Cmd cmd, PF_Err err, const PF_OutData& out) {
  sequence_ = out.sequence_data;
  if (sequence_ && !handles::isLive(sequence_)) {
    effect_->violation(this, commandName(cmd) + " returned a sequence handle that is not live");
    sequence_ = nullptr;  // never hand a dead handle back to the plug-in
  }
  lastOutFlags_ = out.out_flags;
  if (err == PF_Err_NONE) {
    switch (cmd) {
      case PF_Cmd_SEQUENCE_SETUP:
      case PF_Cmd_SEQUENCE_RESETUP:
        state_ = SequenceState::Live;
        sequenceOpen_ = true;
        break;
      case PF_Cmd_SEQUENCE_FLATTEN:
        state_ = SequenceState::Flat;
        flatSize_ = out.flat_sdata_size;
        if (sequence_ && (flatSize_ < 0 ||
                          static_cast<uint64_t>(flatSize_) > handles::bytes(sequence_).size())) {
          effect_->violation(this, "flatten reported flat_sdata_size " + std::to_string(flatSize_) +
                                       " for a handle of " +
                                       std::to_string(handles::bytes(sequence_).size()) + " bytes");
        }
        break;
      default:
        break;
    }
  }
  if (cmd == PF_Cmd_SEQUENCE_SETDOWN) sequenceOpen_ = false;
  if (!sequence_) state_ = SequenceState::None;
  for (std::size_t i = 1; i < values_.size(); ++i) {
    if (values_[i].uu.change_flags & PF_ChangeFlag_CHANGED_VALUE) {
      changed_.push_back(static_cast<int32_t>(i));
      values_[i].uu.change_flags = 0;
    }
  }
}

PF_Err Instance::checkout(detail::CallFrame& frame, int32_t index, int32_t time, int32_t step,
                          uint32_t scale, PF_ParamDef* param) {
  if (!param) {
    effect_->violation(this, "checkout_param " + std::to_string(index) + " without a definition");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (index < 0 || index >= paramCount()) {
    effect_->violation(this, "checkout_param of parameter " + std::to_string(index) + " of " +
                                 std::to_string(paramCount()));
    return PF_Err_INVALID_INDEX;
  }
  const auto i = static_cast<std::size_t>(index);
  const PF_ParamDef& d = declared_[i].def();
  PF_ParamDef value = values_[i];
  value.param_type = d.param_type;
  std::memcpy(value.name, d.name, sizeof value.name);
  std::shared_ptr<World> world;
  if (d.param_type == PF_Param_LAYER) {
    if (index == 0) {
      value.u.ld = *input_.view();
    } else {
      if (layers_ && layerChoice_[i] != 0) {
        try {
          world = layers_->layerAt(layerChoice_[i], time, step, scale);
        } catch (const std::exception& e) {
          effect_->violation(this,
                             "layer " + std::to_string(layerChoice_[i]) + " failed: " + e.what());
          return PF_Err_INTERNAL_STRUCT_DAMAGED;
        }
      }
      // A parameter naming no layer, or a layer that does not exist, gives a
      // world without pixels.
      value.u.ld = world ? *world->view() : PF_LayerDef{};
    }
    value.u.ld.dephault = d.u.ld.dephault;
  } else if (d.param_type == PF_Param_CHECKBOX) {
    value.u.bd.name = d.u.bd.name;
  } else if (d.param_type == PF_Param_POPUP) {
    value.u.pd.names = d.u.pd.names;
  }
  *param = value;
  frame.checkouts.push_back(detail::Checkout{param, index, std::move(world)});
  return PF_Err_NONE;
}

PF_Err Instance::checkin(detail::CallFrame& frame, const PF_ParamDef* param) {
  auto& list = frame.checkouts;
  for (auto it = list.begin(); it != list.end(); ++it) {
    if (it->where == param) {
      list.erase(it);
      return PF_Err_NONE;
    }
  }
  effect_->violation(this, "checkin_param of a definition that is not checked out");
  return PF_Err_BAD_CALLBACK_PARAM;
}

}  // namespace vask::host
