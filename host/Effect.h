// An effect: one loaded effect library and the state the host keeps for it.
//
// The host talks to an effect in two scopes. Effect-level commands (about,
// global setup and setdown, params setup) go through this class; commands of
// one applied instance go through Instance (host/Instance.h). Both end in the
// same dispatch, which builds fresh in-data and out-data blocks for the call,
// passes the handles the host holds, calls the library's `main`, and then
// takes back what a host takes back from the out block: global_data and
// sequence_data (a plug-in may replace or free them), num_params after params
// setup, my_version and out_flags after global setup, flat_sdata_size after
// flatten.
//
// Threads: the host calls plug-ins on one thread, one command at a time
// (nested calls, made from inside a callback, are allowed and go to `main` like
// any other).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "host/CallbackBridge.h"
#include "host/ParamDeclaration.h"
#include "host/PluginLibrary.h"
#include "platform/effect_api/EffectApi.h"

namespace vask::host {

class Instance;

// What one command returned.
struct CommandResult {
  PF_Err err = PF_Err_NONE;
  // return_msg when the plug-in set PF_OutFlag_DISPLAY_ERROR_MESSAGE, else empty.
  std::string message;
  // The whole out block after the call.
  PF_OutData out{};

  bool ok() const { return err == PF_Err_NONE; }
};
std::ostream& operator<<(std::ostream& os, const CommandResult& r);

// "global setup", "render", …; "command N" for codes outside 0 … 15.
std::string commandName(PF_Cmd cmd);

// A callback the plug-in is making, as a CallbackHook sees it.
struct CallbackCall {
  std::string_view name;  // the callback's field name: "add_param", "copy", "host_lock_handle", …
  const Instance* instance;  // the instance of the call, null in effect-level commands
  int32_t index;             // parameter index of add_param and checkout_param, else -1
};
// Called at the start of every callback a plug-in makes during a command of
// this effect. Returning PF_Err_NONE lets the callback do its work; any other
// code makes it return that code at once (host_new_handle returns null,
// host_get_handle_size 0; callbacks that return nothing ignore it). The hook
// may send commands itself.
using CallbackHook = std::function<PF_Err(const CallbackCall&)>;
// Called after every command of this effect with its result.
using CommandObserver = std::function<void(const Instance* instance, PF_Cmd cmd, PF_Err err)>;

class Effect {
 public:
  // PluginLibrary::load(path), then an Effect of it. Throws HostError.
  static std::shared_ptr<Effect> load(const std::filesystem::path& path);
  static std::shared_ptr<Effect> create(std::shared_ptr<PluginLibrary> library);

  // Disposes a global handle the plug-in still holds, without calling it
  // (send globalSetdown first for an orderly end).
  ~Effect();
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  const PluginLibrary& library() const { return *library_; }
  const PiPLInfo& pipl() const { return library_->pipl(); }

  // ---- effect-level commands ----
  CommandResult about();
  CommandResult globalSetup();
  // Clears the declared table (back to the input layer alone) and collects
  // the plug-in's add_param and register_ui calls.
  CommandResult paramsSetup();
  CommandResult globalSetdown();
  // Any command code in effect scope (no sequence data, params or output).
  // `initialOut` pre-fills the out block; the host still puts its own
  // global_data, sequence_data and num_params into it.
  CommandResult command(PF_Cmd cmd, void* extra = nullptr, const PF_OutData* initialOut = nullptr);

  // ---- what the plug-in reported ----
  PF_Handle globalData() const { return global_; }
  // True from a successful global setup until global setdown.
  bool globallySetUp() const { return globalOpen_; }
  uint32_t version() const { return version_; }   // my_version of global setup
  int32_t outFlags() const { return outFlags_; }  // out_flags of global setup
  int32_t numParams() const { return numParams_; }
  // The declared table; index 0 is the host's input layer.
  const std::vector<ParamDeclaration>& params() const { return declared_; }
  // True after a successful params setup whose num_params counts the table.
  bool paramsReady() const { return paramsReady_; }
  const std::optional<PF_CustomUIInfo>& customUI() const { return customUI_; }

  // ---- test seams ----
  void setCallbackHook(CallbackHook hook) { hook_ = std::move(hook); }
  void setCommandObserver(CommandObserver observer) { observer_ = std::move(observer); }
  // Protocol faults of this effect's plug-in seen by the host, oldest first:
  // refused parameter definitions, unbalanced check-outs, callbacks outside
  // their command, handles returned that are not live. Handle-suite faults are
  // in handles::violations().
  const std::vector<std::string>& violations() const { return violations_; }
  void clearViolations() { violations_.clear(); }

 private:
  friend class Instance;
  friend class detail::CallbackBridge;

  explicit Effect(std::shared_ptr<PluginLibrary> library);
  CommandResult dispatch(Instance* instance, PF_Cmd cmd, void* extra, const PF_OutData* initialOut);
  void violation(const Instance* instance, const std::string& what);
  PF_Err runHook(std::string_view name, const Instance* instance, int32_t index);
  PF_Err addParam(const detail::CallFrame& frame, int32_t index, const PF_ParamDef* def);
  PF_Err registerUI(const detail::CallFrame& frame, const PF_CustomUIInfo* info);

  std::shared_ptr<PluginLibrary> library_;
  detail::CallContext context_;
  PF_Handle global_ = nullptr;
  uint32_t version_ = 0;
  int32_t outFlags_ = 0;
  int32_t numParams_ = 0;
  bool paramsReady_ = false;
  bool globalOpen_ = false;
  std::vector<ParamDeclaration> declared_;
  std::optional<PF_CustomUIInfo> customUI_;
  CallbackHook hook_;
  CommandObserver observer_;
  std::vector<std::string> violations_;
};

}  // namespace vask::host
