#include "host/CallbackBridge.h"

#include <algorithm>
#include <string>
#include <unordered_set>

#include "host/Effect.h"
#include "host/HandleSuite.h"
#include "host/Instance.h"
#include "host/World.h"

namespace vask::host {
namespace {

// Host-owned stand-in for the main window until the desktop backend gives one.
struct PlaceholderWindow {
  char name[8] = "vask";
} gPlaceholderWindow;
void* gMainWindow = &gPlaceholderWindow;

std::unordered_set<const detail::CallContext*>& contexts() {
  static auto* set = new std::unordered_set<const detail::CallContext*>;
  return *set;
}

std::vector<detail::CallFrame*>& stack() {
  static auto* frames = new std::vector<detail::CallFrame*>;
  return *frames;
}

detail::CallFrame* innermost() { return stack().empty() ? nullptr : stack().back(); }

detail::CallFrame* innermostFor(const detail::CallContext* context) {
  auto& frames = stack();
  for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
    if ((*it)->context == context) return *it;
  }
  return nullptr;
}

}  // namespace

PF_ContextRecord makeEffectContext(void* drawingRef) {
  PF_ContextRecord r{};
  r.magic = kContextMagic;
  r.w_type = PF_Window_EFFECT;
  r.platform_ref = drawingRef;
  return r;
}

void setMainWindow(void* window) { gMainWindow = window ? window : &gPlaceholderWindow; }
void* mainWindow() { return gMainWindow; }

namespace detail {

struct CallbackBridge::Resolved {
  Effect* effect = nullptr;
  Instance* instance = nullptr;
  CallFrame* frame = nullptr;
};

PF_UtilCallbacks CallbackBridge::utilCallbacks() {
  PF_UtilCallbacks u{};
  u.copy = &CallbackBridge::copy;
  u.host_new_handle = &CallbackBridge::newHandle;
  u.host_get_handle_size = &CallbackBridge::handleSize;
  u.host_lock_handle = &CallbackBridge::lockHandle;
  u.host_unlock_handle = &CallbackBridge::unlockHandle;
  u.host_dispose_handle = &CallbackBridge::disposeHandle;
  u.host_resize_handle = &CallbackBridge::resizeHandle;
  u.get_platform_data = &CallbackBridge::platformData;
  u.get_context_data = &CallbackBridge::contextData;
  return u;
}

PF_InteractCallbacks CallbackBridge::interactCallbacks() {
  PF_InteractCallbacks i{};
  i.checkout_param = &CallbackBridge::checkoutParam;
  i.checkin_param = &CallbackBridge::checkinParam;
  i.add_param = &CallbackBridge::addParam;
  i.register_ui = &CallbackBridge::registerUI;
  return i;
}

void CallbackBridge::enroll(const CallContext* context) { contexts().insert(context); }
void CallbackBridge::withdraw(const CallContext* context) { contexts().erase(context); }

CallbackBridge::ActiveCall::ActiveCall(CallFrame& frame) : frame_(frame) {
  stack().push_back(&frame_);
}

CallbackBridge::ActiveCall::~ActiveCall() {
  auto& frames = stack();
  auto it = std::find(frames.rbegin(), frames.rend(), &frame_);
  if (it != frames.rend()) frames.erase(std::next(it).base());
}

bool CallbackBridge::resolve(PF_ProgPtr ref, const char* name, int32_t index, Resolved& out,
                             PF_Err& err) {
  const auto* context = reinterpret_cast<const CallContext*>(ref);
  if (!contexts().count(context)) {
    if (CallFrame* top = innermost()) {
      top->context->effect->violation(top->context->instance,
                                      std::string(name) + " with an unknown effect reference");
    }
    err = PF_Err_BAD_CALLBACK_PARAM;
    return false;
  }
  if (!innermostFor(context)) {
    context->effect->violation(context->instance, std::string(name) + " outside a command");
    err = PF_Err_INVALID_CALLBACK;
    return false;
  }
  err = context->effect->runHook(name, context->instance, index);
  if (err != PF_Err_NONE) return false;
  // Looked up after the hook, which may have sent commands of its own.
  out = Resolved{context->effect, context->instance, innermostFor(context)};
  if (!out.frame) {
    err = PF_Err_INVALID_CALLBACK;
    return false;
  }
  return true;
}

PF_Err CallbackBridge::hookForInnermost(const char* name) {
  CallFrame* top = innermost();
  if (!top) return PF_Err_NONE;
  return top->context->effect->runHook(name, top->context->instance, -1);
}

PF_Err CallbackBridge::copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                            PF_Rect* srcRect, PF_Rect* dstRect) {
  Resolved r;
  PF_Err err;
  if (!resolve(ref, "copy", -1, r, err)) return err;
  return copyWorld(src, dst, srcRect, dstRect);
}

PF_Handle CallbackBridge::newHandle(uint64_t size) {
  if (hookForInnermost("host_new_handle") != PF_Err_NONE) return nullptr;
  return handles::newHandle(size);
}

uint64_t CallbackBridge::handleSize(PF_Handle h) {
  if (hookForInnermost("host_get_handle_size") != PF_Err_NONE) return 0;
  return handles::size(h);
}

void CallbackBridge::lockHandle(PF_Handle h) {
  hookForInnermost("host_lock_handle");
  handles::lock(h);
}

void CallbackBridge::unlockHandle(PF_Handle h) {
  hookForInnermost("host_unlock_handle");
  handles::unlock(h);
}

void CallbackBridge::disposeHandle(PF_Handle h) {
  hookForInnermost("host_dispose_handle");
  handles::dispose(h);
}

PF_Err CallbackBridge::resizeHandle(uint64_t size, PF_Handle* h) {
  if (PF_Err err = hookForInnermost("host_resize_handle")) return err;
  return handles::resize(size, h);
}

PF_Err CallbackBridge::platformData(PF_ProgPtr ref, int32_t which, void* data) {
  Resolved r;
  PF_Err err;
  if (!resolve(ref, "get_platform_data", -1, r, err)) return err;
  if (!data || which != PF_PlatData_MAIN_WND) {
    r.effect->violation(r.instance, "get_platform_data with selector " + std::to_string(which) +
                                        (data ? "" : " and no place for the answer"));
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *static_cast<void**>(data) = gMainWindow;
  return PF_Err_NONE;
}

PF_Err CallbackBridge::contextData(PF_ProgPtr ref, PF_ContextH context, int32_t which, void* data) {
  Resolved r;
  PF_Err err;
  if (!resolve(ref, "get_context_data", -1, r, err)) return err;
  // Only the record the caller named for the event in progress is read: any
  // other pointer may not be a context record at all.
  if (!data || which != PF_ContextData_DRAWING_REF || r.frame->cmd != PF_Cmd_EVENT || !context ||
      context != r.frame->eventContext ||
      static_cast<const PF_ContextRecord*>(context)->magic != kContextMagic) {
    r.effect->violation(r.instance, "get_context_data with selector " + std::to_string(which) +
                                        " and a context that is not the event's");
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  *static_cast<void**>(data) = static_cast<const PF_ContextRecord*>(context)->platform_ref;
  return PF_Err_NONE;
}

PF_Err CallbackBridge::checkoutParam(PF_ProgPtr ref, int32_t index, int32_t time, int32_t step,
                                     uint32_t scale, PF_ParamDef* param) {
  Resolved r;
  PF_Err err;
  if (!resolve(ref, "checkout_param", index, r, err)) return err;
  if (!r.instance) {
    r.effect->violation(nullptr, "checkout_param during " + commandName(r.frame->cmd) +
                                     ", which has no parameters");
    return PF_Err_INVALID_CALLBACK;
  }
  return r.instance->checkout(*r.frame, index, time, step, scale, param);
}

PF_Err CallbackBridge::checkinParam(PF_ProgPtr ref, PF_ParamDef* param) {
  Resolved r;
  PF_Err err;
  if (!resolve(ref, "checkin_param", -1, r, err)) return err;
  if (!r.instance) {
    r.effect->violation(nullptr, "checkin_param during " + commandName(r.frame->cmd));
    return PF_Err_INVALID_CALLBACK;
  }
  return r.instance->checkin(*r.frame, param);
}

PF_Err CallbackBridge::addParam(PF_ProgPtr ref, int32_t index, PF_ParamDefPtr def) {
  Resolved r;
  PF_Err err;
  if (!resolve(ref, "add_param", index, r, err)) return err;
  return r.effect->addParam(*r.frame, index, def);
}

PF_Err CallbackBridge::registerUI(PF_ProgPtr ref, PF_CustomUIInfo* info) {
  Resolved r;
  PF_Err err;
  if (!resolve(ref, "register_ui", -1, r, err)) return err;
  return r.effect->registerUI(*r.frame, info);
}

}  // namespace detail
}  // namespace vask::host
