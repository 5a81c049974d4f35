// The callbacks the host hands to plug-ins in every PF_InData, and the
// bookkeeping that lets them find the effect and instance of a call.
//
// The effect reference of a call (PF_InData::effect_ref) is the address of a
// CallContext owned by the Effect (effect-level commands) or the Instance.
// Callbacks that carry it look it up among the enrolled contexts, so a stale or
// forged reference is refused (PF_Err_BAD_CALLBACK_PARAM) without being
// dereferenced. Callbacks without it (the handle suite's) belong to the
// innermost call in progress. The stack of calls in progress is process-wide:
// the host runs plug-ins on one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/effect_api/EffectApi.h"

namespace vask::host {

class Effect;
class Instance;
class World;

// The drawing-context record a caller names in PF_EventExtra::contextH.
inline constexpr int32_t kContextMagic = 0x76637478;  // "vctx"
// A record whose get_context_data(PF_ContextData_DRAWING_REF) answer is
// `drawingRef` (later an os::Canvas*; today whatever the caller passes).
PF_ContextRecord makeEffectContext(void* drawingRef);

// The reference get_platform_data(PF_PlatData_MAIN_WND) gives; never null
// (a host-owned placeholder until a window is set). [process-wide]
void setMainWindow(void* window);
void* mainWindow();

namespace detail {

struct CallContext {
  Effect* effect = nullptr;
  Instance* instance = nullptr;  // null: the effect's own scope
};

struct Checkout {
  const PF_ParamDef* where;  // the definition the plug-in gave
  int32_t index;
  std::shared_ptr<World> world;  // held until check-in
};

// One command in progress.
struct CallFrame {
  const CallContext* context = nullptr;
  PF_Cmd cmd = 0;
  PF_ContextH eventContext = nullptr;  // PF_Cmd_EVENT: the record the caller named
  std::vector<Checkout> checkouts;
};

class CallbackBridge {
 public:
  static PF_UtilCallbacks utilCallbacks();
  static PF_InteractCallbacks interactCallbacks();

  // Contexts are enrolled for the life of their owner.
  static void enroll(const CallContext* context);
  static void withdraw(const CallContext* context);

  // Marks `frame` as in progress for its lifetime.
  class ActiveCall {
   public:
    explicit ActiveCall(CallFrame& frame);
    ~ActiveCall();
    ActiveCall(const ActiveCall&) = delete;
    ActiveCall& operator=(const ActiveCall&) = delete;

   private:
    CallFrame& frame_;
  };

 private:
  static PF_Err copy(PF_ProgPtr ref, PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect,
                     PF_Rect* dstRect);
  static PF_Handle newHandle(uint64_t size);
  static uint64_t handleSize(PF_Handle h);
  static void lockHandle(PF_Handle h);
  static void unlockHandle(PF_Handle h);
  static void disposeHandle(PF_Handle h);
  static PF_Err resizeHandle(uint64_t size, PF_Handle* h);
  static PF_Err platformData(PF_ProgPtr ref, int32_t which, void* data);
  static PF_Err contextData(PF_ProgPtr ref, PF_ContextH context, int32_t which, void* data);
  static PF_Err checkoutParam(PF_ProgPtr ref, int32_t index, int32_t time, int32_t step,
                              uint32_t scale, PF_ParamDef* param);
  static PF_Err checkinParam(PF_ProgPtr ref, PF_ParamDef* param);
  static PF_Err addParam(PF_ProgPtr ref, int32_t index, PF_ParamDefPtr def);
  static PF_Err registerUI(PF_ProgPtr ref, PF_CustomUIInfo* info);

  struct Resolved;
  static bool resolve(PF_ProgPtr ref, const char* name, int32_t index, Resolved& out, PF_Err& err);
  static PF_Err hookForInnermost(const char* name);
};

}  // namespace detail
}  // namespace vask::host
