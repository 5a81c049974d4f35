#include "shell/EffectCall.h"

#include <cstring>

namespace vask {
namespace {
// One per library: the shell is linked into each plug-in with hidden symbols.
EffectCall* gCurrent = nullptr;
}  // namespace

void checkHost(PF_Err err) {
  if (err != PF_Err_NONE) throw ErrData::host(err);
}

EffectCall::EffectCall(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamList params,
                       PF_LayerDef* output, void* extra)
    : cmd_(cmd), in_(in), out_(out), params_(params), output_(output), extra_(extra) {}

EffectCall* EffectCall::current() { return gCurrent; }

void EffectCall::setCurrent(bool on) { gCurrent = on ? this : nullptr; }

void EffectCall::lockRecords() {
  if (in_->global_data) {
    lockHandle(in_->global_data);
    lockedGlobal_ = in_->global_data;
    global_ = *lockedGlobal_;
  }
  if (in_->sequence_data) {
    lockHandle(in_->sequence_data);
    lockedSequence_ = in_->sequence_data;
    sequence_ = *lockedSequence_;
  }
}

void EffectCall::unlockRecords() {
  dropSequenceLock();
  dropGlobalLock();
}

void EffectCall::dropSequenceLock() {
  if (lockedSequence_) unlockHandle(lockedSequence_);
  lockedSequence_ = nullptr;
  sequence_ = nullptr;
}

void EffectCall::dropGlobalLock() {
  if (lockedGlobal_) unlockHandle(lockedGlobal_);
  lockedGlobal_ = nullptr;
  global_ = nullptr;
}

PF_Handle EffectCall::newHandle(uint64_t size) const {
  PF_Handle h = in_->utils->host_new_handle(size);
  // A host out of memory gives no handle; the records are written at once, so
  // this is where running out must stop.
  if (!h || !*h) raise(msg::kOutOfMemory);
  std::memset(*h, 0, size);
  return h;
}

uint64_t EffectCall::handleSize(PF_Handle h) const {
  return h ? in_->utils->host_get_handle_size(h) : 0;
}

void EffectCall::lockHandle(PF_Handle h) const { in_->utils->host_lock_handle(h); }
void EffectCall::unlockHandle(PF_Handle h) const { in_->utils->host_unlock_handle(h); }
void EffectCall::disposeHandle(PF_Handle h) const { in_->utils->host_dispose_handle(h); }

void EffectCall::copyWorld(PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect,
                           PF_Rect* dstRect) const {
  checkHost(in_->utils->copy(in_->effect_ref, src, dst, srcRect, dstRect));
}

void EffectCall::addParam(int32_t index, PF_ParamDef& def) const {
  checkHost(in_->inter.add_param(in_->effect_ref, index, &def));
}

void EffectCall::registerUI(PF_CustomUIInfo& info) const {
  checkHost(in_->inter.register_ui(in_->effect_ref, &info));
}

void EffectCall::checkoutParam(int32_t index, PF_ParamDef& def) const {
  checkHost(in_->inter.checkout_param(in_->effect_ref, index, in_->current_time, in_->time_step,
                                      in_->time_scale, &def));
}

void EffectCall::checkinParam(PF_ParamDef& def) const {
  checkHost(in_->inter.checkin_param(in_->effect_ref, &def));
}

void* EffectCall::mainWindow() const {
  void* window = nullptr;
  checkHost(in_->utils->get_platform_data(in_->effect_ref, PF_PlatData_MAIN_WND, &window));
  return window;
}

void* EffectCall::drawingReference() const {
  void* ref = nullptr;
  PF_EventExtra* e = event();
  checkHost(in_->utils->get_context_data(in_->effect_ref, e ? e->contextH : nullptr,
                                         PF_ContextData_DRAWING_REF, &ref));
  return ref;
}

}  // namespace vask
