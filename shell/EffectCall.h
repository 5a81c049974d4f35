// EffectCall: one call of `main`, and the only way the family reaches the host.
//
// An EffectCall lives on the stack of `main` for exactly one command. It holds
// the host's six arguments and, while `main` keeps them locked, the global and
// sequence records. Every other part of a plug-in reaches the host through the
// current call: `EffectCall::current()`.
//
// Failures of host callbacks are raised as ErrData (kind host) with the host's
// code; nothing here returns an error code.
#pragma once

#include <cstdint>

#include "platform/effect_api/EffectApi.h"
#include "shell/ErrData.h"

namespace vask {

class EffectCall {
 public:
  EffectCall(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamList params, PF_LayerDef* output,
             void* extra);
  EffectCall(const EffectCall&) = delete;
  EffectCall& operator=(const EffectCall&) = delete;

  // The call in progress in this library, or null between calls.
  static EffectCall* current();

  PF_Cmd cmd() const { return cmd_; }
  PF_InData* inData() const { return in_; }
  PF_OutData* outData() const { return out_; }
  PF_ParamList params() const { return params_; }
  PF_ParamDef& param(int index) const { return *params_[index]; }
  PF_LayerDef* output() const { return output_; }
  void* extra() const { return extra_; }
  PF_EventExtra* event() const { return static_cast<PF_EventExtra*>(extra_); }

  // The locked records; null when the host gave no handle. Valid only during
  // this call.
  void* global() const { return global_; }
  void* sequence() const { return sequence_; }
  template <class T>
  T* globalAs() const { return static_cast<T*>(global_); }
  template <class T>
  T* sequenceAs() const { return static_cast<T*>(sequence_); }

  // --- host callback wrappers ---------------------------------------------
  // A new handle of `size` bytes, zero-filled. Raises 1024 when the host has
  // no memory (it returned no handle).
  PF_Handle newHandle(uint64_t size) const;
  // Size of a handle's block in bytes, as the host reports it (0 for null).
  uint64_t handleSize(PF_Handle h) const;
  void lockHandle(PF_Handle h) const;
  void unlockHandle(PF_Handle h) const;
  void disposeHandle(PF_Handle h) const;
  void copyWorld(PF_EffectWorld* src, PF_EffectWorld* dst, PF_Rect* srcRect, PF_Rect* dstRect) const;
  void addParam(int32_t index, PF_ParamDef& def) const;
  void registerUI(PF_CustomUIInfo& info) const;
  // Checks out parameter `index` at the call's current time, time step and
  // scale into `def`; every checkout must be matched by checkinParam.
  void checkoutParam(int32_t index, PF_ParamDef& def) const;
  void checkinParam(PF_ParamDef& def) const;
  // The host's main window (an opaque window reference).
  void* mainWindow() const;
  // The drawing reference (an os::Canvas*) of the context named in the event.
  void* drawingReference() const;

  // Used by `main` only.
  void lockRecords();
  void unlockRecords();
  void setCurrent(bool on);

  // For handlers that free or replace a handle `main` locked: unlocks it now
  // and forgets it, so that `main` never touches a freed handle afterwards.
  void dropGlobalLock();
  void dropSequenceLock();

 private:
  PF_Cmd cmd_;
  PF_InData* in_;
  PF_OutData* out_;
  PF_ParamList params_;
  PF_LayerDef* output_;
  void* extra_;
  void* global_ = nullptr;
  void* sequence_ = nullptr;
  PF_Handle lockedGlobal_ = nullptr;
  PF_Handle lockedSequence_ = nullptr;
};

// Raises ErrData::host(err) when the host's result is not PF_Err_NONE.
void checkHost(PF_Err err);

}  // namespace vask
