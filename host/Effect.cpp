#include "host/Effect.h"

#include <cstdio>
#include <cstring>
#include <iomanip>

#include "host/HandleSuite.h"
#include "host/HostError.h"
#include "host/Instance.h"

namespace vask::host {
namespace {

// The interface version this host speaks (version 11 of the effect interface).
constexpr PF_Version kInterfaceVersion = 11u << 16;
constexpr int32_t kApplicationId = 0x5641534B;  // "VASK"

std::string hex(uint32_t v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08x", v);
  return buf;
}

}  // namespace

std::ostream& operator<<(std::ostream& os, const CommandResult& r) {
  os << "CommandResult{err " << r.err << ", out_flags "
     << hex(static_cast<uint32_t>(r.out.out_flags));
  if (!r.message.empty()) os << ", message \"" << r.message << '"';
  return os << '}';
}

std::string commandName(PF_Cmd cmd) {
  static const char* const kNames[] = {"about",
                                       "global setup",
                                       "command 2",
                                       "global setdown",
                                       "params setup",
                                       "sequence setup",
                                       "sequence re-setup",
                                       "sequence flatten",
                                       "sequence setdown",
                                       "do dialog",
                                       "frame setup",
                                       "render",
                                       "frame setdown",
                                       "user changed param",
                                       "update params UI",
                                       "event"};
  if (cmd >= 0 && cmd < PF_Cmd_NUM_CMDS) return kNames[cmd];
  return "command " + std::to_string(cmd);
}

std::shared_ptr<Effect> Effect::load(const std::filesystem::path& path) {
  return create(PluginLibrary::load(path));
}

std::shared_ptr<Effect> Effect::create(std::shared_ptr<PluginLibrary> library) {
  if (!library) throw HostError("no effect library");
  return std::shared_ptr<Effect>(new Effect(std::move(library)));
}

Effect::Effect(std::shared_ptr<PluginLibrary> library) : library_(std::move(library)) {
  context_.effect = this;
  declared_.push_back(ParamDeclaration::inputLayer());
  detail::CallbackBridge::enroll(&context_);
}

Effect::~Effect() {
  detail::CallbackBridge::withdraw(&context_);
  if (global_ && handles::isLive(global_)) handles::dispose(global_);
}

CommandResult Effect::about() { return dispatch(nullptr, PF_Cmd_ABOUT, nullptr, nullptr); }
CommandResult Effect::globalSetup() {
  return dispatch(nullptr, PF_Cmd_GLOBAL_SETUP, nullptr, nullptr);
}
CommandResult Effect::paramsSetup() {
  return dispatch(nullptr, PF_Cmd_PARAMS_SETUP, nullptr, nullptr);
}
CommandResult Effect::globalSetdown() {
  return dispatch(nullptr, PF_Cmd_GLOBAL_SETDOWN, nullptr, nullptr);
}
CommandResult Effect::command(PF_Cmd cmd, void* extra, const PF_OutData* initialOut) {
  return dispatch(nullptr, cmd, extra, initialOut);
}

void Effect::violation(const Instance* instance, const std::string& what) {
  std::string msg = (instance ? instance->label() : pipl().name) + ": " + what;
#ifndef NDEBUG
  std::fprintf(stderr, "vask host: plug-in violation: %s\n", msg.c_str());
#endif
  violations_.push_back(std::move(msg));
}

PF_Err Effect::runHook(std::string_view name, const Instance* instance, int32_t index) {
  if (!hook_) return PF_Err_NONE;
  // A copy: the hook may replace itself.
  CallbackHook hook = hook_;
  // The hook runs inside a plug-in's call: nothing may unwind through it.
  try {
    return hook(CallbackCall{name, instance, index});
  } catch (const std::exception& e) {
    violation(instance, "callback hook of " + std::string(name) + " threw: " + e.what());
  } catch (...) {
    violation(instance, "callback hook of " + std::string(name) + " threw");
  }
  return PF_Err_INTERNAL_STRUCT_DAMAGED;
}

CommandResult Effect::dispatch(Instance* instance, PF_Cmd cmd, void* extra,
                               const PF_OutData* initialOut) {
  const detail::CallContext& context = instance ? instance->context_ : context_;

  // Fresh blocks for every call: a plug-in that scribbles on them cannot
  // damage the host's own state or another call's.
  PF_UtilCallbacks utils = detail::CallbackBridge::utilCallbacks();
  PF_InData in{};
  in.inter = detail::CallbackBridge::interactCallbacks();
  in.utils = &utils;
  in.effect_ref = reinterpret_cast<PF_ProgPtr>(const_cast<detail::CallContext*>(&context));
  in.quality = 1;
  in.version = kInterfaceVersion;
  in.appl_id = kApplicationId;
  in.num_params = numParams_;
  in.downsample_x = in.downsample_y = in.pixel_aspect_ratio = PF_RationalScale{1, 1};
  in.time_step = in.local_time_step = 1;
  in.time_scale = 30;
  in.global_data = global_;

  PF_OutData out = initialOut ? *initialOut : PF_OutData{};
  out.global_data = global_;
  out.sequence_data = nullptr;
  out.num_params = numParams_;

  PF_ParamList params = nullptr;
  PF_LayerDef output{};
  PF_LayerDef* outputArg = nullptr;
  if (instance) {
    in.current_time = instance->time_;
    in.time_step = in.local_time_step = instance->step_;
    in.time_scale = instance->scale_;
    in.width = instance->input_.width();
    in.height = instance->input_.height();
    in.extent_hint = PF_Rect{0, 0, static_cast<int16_t>(in.height), static_cast<int16_t>(in.width)};
    in.sequence_data = out.sequence_data = instance->sequence_;
    params = instance->prepareParams();
    output = *instance->output_.view();
    outputArg = &output;
  }

  if (cmd == PF_Cmd_PARAMS_SETUP) {
    declared_.assign(1, ParamDeclaration::inputLayer());
    customUI_.reset();
    paramsReady_ = false;
  }

  detail::CallFrame frame;
  frame.context = &context;
  frame.cmd = cmd;
  if (cmd == PF_Cmd_EVENT && extra)
    frame.eventContext = static_cast<PF_EventExtra*>(extra)->contextH;

  PF_Err err;
  {
    detail::CallbackBridge::ActiveCall active(frame);
    err = library_->entry()(cmd, &in, &out, params, outputArg, extra);
  }

  for (const auto& c : frame.checkouts) {
    violation(instance, "parameter " + std::to_string(c.index) +
                            " checked out but not checked in during " + commandName(cmd));
  }

  global_ = out.global_data;
  if (global_ && !handles::isLive(global_)) {
    violation(instance, commandName(cmd) + " returned a global handle that is not live");
  }
  switch (cmd) {
    case PF_Cmd_GLOBAL_SETUP:
      version_ = out.my_version;
      outFlags_ = out.out_flags;
      globalOpen_ = err == PF_Err_NONE;
      break;
    case PF_Cmd_GLOBAL_SETDOWN:
      globalOpen_ = false;
      break;
    case PF_Cmd_PARAMS_SETUP:
      numParams_ = out.num_params;
      paramsReady_ = err == PF_Err_NONE && numParams_ == static_cast<int32_t>(declared_.size());
      if (err == PF_Err_NONE && !paramsReady_) {
        violation(instance, "params setup reported num_params " + std::to_string(numParams_) +
                                " but declared " + std::to_string(declared_.size()) +
                                " parameters with the input");
      }
      break;
    default:
      break;
  }
  if (instance) instance->afterCommand(cmd, err, out);

  CommandResult result;
  result.err = err;
  result.out = out;
  if (out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) {
    result.message.assign(out.return_msg, strnlen(out.return_msg, sizeof out.return_msg));
  }
  if (observer_) {
    CommandObserver observer = observer_;
    observer(instance, cmd, err);
  }
  return result;
}

PF_Err Effect::addParam(const detail::CallFrame& frame, int32_t index, const PF_ParamDef* def) {
  const Instance* instance = frame.context->instance;
  if (frame.cmd != PF_Cmd_PARAMS_SETUP) {
    violation(instance, "add_param during " + commandName(frame.cmd));
    return PF_Err_INVALID_CALLBACK;
  }
  if (!def) {
    violation(instance, "add_param " + std::to_string(index) + " without a definition");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  const auto expected = static_cast<int32_t>(declared_.size());
  if (index != expected) {
    violation(instance, "add_param index " + std::to_string(index) + " out of order (expected " +
                            std::to_string(expected) + ")");
    return PF_Err_INVALID_INDEX;
  }
  ParamDeclaration declaration(*def);
  PF_Err code = PF_Err_NONE;
  const std::string why = declaration.problem(&code);
  if (!why.empty()) {
    violation(instance, "add_param " + std::to_string(index) + " \"" +
                            std::string(declaration.name()) + "\" refused: " + why);
    return code;
  }
  declared_.push_back(std::move(declaration));
  return PF_Err_NONE;
}

PF_Err Effect::registerUI(const detail::CallFrame& frame, const PF_CustomUIInfo* info) {
  const Instance* instance = frame.context->instance;
  if (frame.cmd != PF_Cmd_PARAMS_SETUP) {
    violation(instance, "register_ui during " + commandName(frame.cmd));
    return PF_Err_INVALID_CALLBACK;
  }
  if (!info) {
    violation(instance, "register_ui without an information record");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  customUI_ = *info;
  return PF_Err_NONE;
}

}  // namespace vask::host
