// A small effect library that the host tests drive through `main`. It sees
// only the host interface, like every effect, and keeps global and sequence
// data in host handles. Its "Mode" popup makes it misbehave on request.
#include <cstddef>
#include <cstring>

#include "platform/effect_api/EffectApi.h"
#include "platform/effect_api/PiPL.h"

namespace {

constexpr vask::pipl::Fields kPiPL{.name = "Host Test Effect", .matchName = "VASK HOSTTEST1"};
VASK_DEFINE_PIPL(kPiPL);

enum Param { kInput, kAmount, kAngle, kEnabled, kTint, kMode, kSource, kPanel, kNumParams };
enum Mode { kNormal = 1, kSkipCheckin, kFail, kReplaceSequence, kInvert, kFailRender };

struct Global {
  int32_t setups;
};
struct LiveSequence {
  int32_t flattened;  // 0
  int32_t frames;
  int32_t sourceWidth;
  PF_Pixel sourcePixel;
};
struct FlatSequence {
  int32_t flattened;  // 1
  int32_t frames;
};

bool gInCall = false;

PF_Err fail(PF_OutData* out, PF_Err err, const char* message) {
  out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  std::strncpy(out->return_msg, message, sizeof out->return_msg - 1);
  return err;
}

template <class T>
PF_Handle newRecord(PF_InData* in) {
  PF_Handle h = in->utils->host_new_handle(sizeof(T));
  if (h) std::memset(*h, 0, sizeof(T));
  return h;
}

PF_Err globalSetup(PF_InData* in, PF_OutData* out) {
  out->my_version = 0x00080600;
  out->out_flags = PF_OutFlag_KEEP_RESOURCE_OPEN | PF_OutFlag_CUSTOM_UI;
  if (!out->global_data) {
    out->global_data = newRecord<Global>(in);
    if (!out->global_data) return fail(out, PF_Err_OUT_OF_MEMORY, "Out of Memory");
  }
  static_cast<Global*>(*out->global_data)->setups += 1;
  return PF_Err_NONE;
}

PF_Err paramsSetup(PF_InData* in, PF_OutData* out) {
  PF_ParamDef defs[kNumParams];
  std::memset(defs, 0, sizeof defs);
  auto start = [&](int i, PF_ParamType type, const char* name) -> PF_ParamDef& {
    defs[i].param_type = type;
    std::strncpy(defs[i].name, name, PF_MAX_EFFECT_PARAM_NAME_LEN);
    return defs[i];
  };
  PF_FixedSliderDef& fd = start(kAmount, PF_Param_FIX_SLIDER, "Amount").u.fd;
  fd.valid_min = 0;
  fd.valid_max = 100 << 16;
  fd.slider_max = 10 << 16;
  fd.dephault = fd.value = 5 << 16;
  fd.precision = 2;
  start(kAngle, PF_Param_ANGLE, "Angle").u.ad.dephault = 45 << 16;
  // Texts on the stack: the host must copy them.
  char label[] = "On";
  char choices[] = "Normal|Skip Checkin|Fail|Replace Sequence|Invert|Fail Render";
  PF_CheckBoxDef& bd = start(kEnabled, PF_Param_CHECKBOX, "Enabled").u.bd;
  bd.dephault = 1;
  bd.name = label;
  start(kTint, PF_Param_COLOR, "Tint").u.cd.dephault = PF_Pixel{255, 10, 20, 30};
  PF_PopupDef& pd = start(kMode, PF_Param_POPUP, "Mode").u.pd;
  pd.num_choices = 6;
  pd.dephault = kNormal;
  pd.names = choices;
  start(kSource, PF_Param_LAYER, "Source");
  PF_ParamDef& panel = start(kPanel, PF_Param_NO_DATA, "Panel");
  panel.flags = PF_ParamFlag_CANNOT_TIME_VARY;
  panel.ui_flags = PF_PUI_CONTROL;
  panel.ui_width = 100;
  panel.ui_height = 85;
  for (int i = 1; i < kNumParams; ++i) {
    if (PF_Err err = in->inter.add_param(in->effect_ref, i, &defs[i])) {
      return fail(out, err, "add_param failed");
    }
  }
  std::memset(label, 0, sizeof label);
  std::memset(choices, 0, sizeof choices);
  out->num_params = kNumParams;
  PF_CustomUIInfo ui;
  std::memset(&ui, 0, sizeof ui);
  ui.events = PF_CustomEFlag_EFFECT;
  if (PF_Err err = in->inter.register_ui(in->effect_ref, &ui))
    return fail(out, err, "register_ui failed");
  return PF_Err_NONE;
}

bool isFlat(PF_InData* in, PF_Handle h) {
  return in->utils->host_get_handle_size(h) >= sizeof(FlatSequence) &&
         static_cast<const FlatSequence*>(*h)->flattened == 1;
}

PF_Err sequenceSetup(PF_InData* in, PF_OutData* out, bool resetup) {
  PF_Handle old = resetup ? in->sequence_data : out->sequence_data;
  if (old && in->utils->host_get_handle_size(old) >= sizeof(LiveSequence) && !isFlat(in, old)) {
    out->sequence_data = old;
    return PF_Err_NONE;
  }
  // Saved bytes whose flag is neither live nor flat, or a flat record with a
  // negative frame count, are refused, so the host can be tested with data a
  // plug-in will not take.
  if (old && in->utils->host_get_handle_size(old) >= sizeof(int32_t) &&
      (*static_cast<const int32_t*>(*old) > 1 ||
       (isFlat(in, old) && static_cast<const FlatSequence*>(*old)->frames < 0))) {
    return fail(out, PF_Err_INTERNAL_STRUCT_DAMAGED, "saved sequence data is damaged");
  }
  PF_Handle live = newRecord<LiveSequence>(in);
  if (!live) return fail(out, PF_Err_OUT_OF_MEMORY, "Out of Memory");
  if (old) {
    // Untrusted flat bytes: take the frame count only from a whole record.
    if (isFlat(in, old)) {
      static_cast<LiveSequence*>(*live)->frames = static_cast<const FlatSequence*>(*old)->frames;
    }
    in->utils->host_dispose_handle(old);
  }
  out->sequence_data = live;
  return PF_Err_NONE;
}

PF_Err sequenceFlatten(PF_InData* in, PF_OutData* out) {
  PF_Handle h = in->sequence_data;
  out->sequence_data = h;
  out->flat_sdata_size = sizeof(FlatSequence);
  if (!h || isFlat(in, h)) return PF_Err_NONE;
  PF_Handle flat = newRecord<FlatSequence>(in);
  if (!flat) return fail(out, PF_Err_OUT_OF_MEMORY, "Out of Memory");
  auto* f = static_cast<FlatSequence*>(*flat);
  f->flattened = 1;
  f->frames = static_cast<const LiveSequence*>(*h)->frames;
  in->utils->host_dispose_handle(h);
  out->sequence_data = flat;
  return PF_Err_NONE;
}

PF_Err frameSetup(PF_InData* in, PF_OutData* out, PF_ParamList params) {
  PF_Handle h = in->sequence_data;
  if (!h || isFlat(in, h)) return fail(out, PF_Err_INTERNAL_STRUCT_DAMAGED, "no live sequence");
  const int32_t mode = params[kMode]->u.pd.value;
  if (mode == kFail) return fail(out, 1027, "frame setup failed");
  in->utils->host_lock_handle(h);
  auto* seq = static_cast<LiveSequence*>(*h);
  seq->frames += 1;
  PF_ParamDef source;
  PF_Err err = in->inter.checkout_param(in->effect_ref, kSource, in->current_time, in->time_step,
                                        in->time_scale, &source);
  if (!err) {
    seq->sourceWidth = source.u.ld.width;
    if (source.u.ld.data) seq->sourcePixel = source.u.ld.data[0];
    if (mode != kSkipCheckin) err = in->inter.checkin_param(in->effect_ref, &source);
  }
  in->utils->host_unlock_handle(h);
  if (err) return fail(out, err, "checkout failed");
  if (mode == kReplaceSequence) {
    PF_Handle moved = newRecord<LiveSequence>(in);
    if (!moved) return fail(out, PF_Err_OUT_OF_MEMORY, "Out of Memory");
    std::memcpy(*moved, *h, sizeof(LiveSequence));
    in->utils->host_dispose_handle(h);
    in->sequence_data = out->sequence_data = moved;
  }
  out->out_flags |= PF_OutFlag_NOP_RENDER;
  return PF_Err_NONE;
}

PF_Err render(PF_InData* in, PF_OutData* out, PF_ParamList params, PF_LayerDef* output) {
  PF_EffectWorld* input = &params[kInput]->u.ld;
  PF_Rect src{0, 0, static_cast<int16_t>(input->height), static_cast<int16_t>(input->width)};
  PF_Rect dst{0, 0, static_cast<int16_t>(output->height), static_cast<int16_t>(output->width)};
  const int32_t mode = params[kMode]->u.pd.value;
  if (mode == kFailRender) return fail(out, 1024, "render failed on purpose");
  if (PF_Err err = in->utils->copy(in->effect_ref, input, output, &src, &dst)) {
    return fail(out, err, "copy failed");
  }
  if (mode == kInvert) {
    // Premultiplied colour inverted under its own alpha.
    for (int32_t y = 0; y < output->height; ++y) {
      auto* row = reinterpret_cast<PF_Pixel*>(reinterpret_cast<char*>(output->data) +
                                              static_cast<std::ptrdiff_t>(y) * output->rowbytes);
      for (int32_t x = 0; x < output->width; ++x) {
        PF_Pixel& p = row[x];
        p.red = static_cast<uint8_t>(p.alpha - p.red);
        p.green = static_cast<uint8_t>(p.alpha - p.green);
        p.blue = static_cast<uint8_t>(p.alpha - p.blue);
      }
    }
  }
  return PF_Err_NONE;
}

PF_Err event(PF_InData* in, PF_OutData* out, PF_ParamList params, PF_EventExtra* e) {
  if (!e) return PF_Err_NONE;
  if (e->e_type == PF_Event_DRAW) {
    void* ref = nullptr;
    if (PF_Err err = in->utils->get_context_data(in->effect_ref, e->contextH,
                                                 PF_ContextData_DRAWING_REF, &ref)) {
      return fail(out, err, "no drawing reference");
    }
    if (ref) *static_cast<int32_t*>(ref) += 1;
    e->evt_out_flags = PF_EO_HANDLED_EVENT;
  } else if (e->e_type == PF_Event_DO_CLICK) {
    params[kAmount]->u.fd.value = 7 << 16;
    params[kAmount]->uu.change_flags = PF_ChangeFlag_CHANGED_VALUE;
    e->evt_out_flags = PF_EO_HANDLED_EVENT;
  }
  return PF_Err_NONE;
}

PF_Err dispatch(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamList params,
                PF_LayerDef* output, void* extra) {
  switch (cmd) {
    case PF_Cmd_ABOUT: {
      void* window = nullptr;
      PF_Err err = in->utils->get_platform_data(in->effect_ref, PF_PlatData_MAIN_WND, &window);
      if (!err && !window) err = PF_Err_INTERNAL_STRUCT_DAMAGED;
      return err ? fail(out, err, "no main window") : PF_Err_NONE;
    }
    case PF_Cmd_GLOBAL_SETUP:
      return globalSetup(in, out);
    case PF_Cmd_GLOBAL_SETDOWN:
      if (in->global_data) in->utils->host_dispose_handle(in->global_data);
      in->global_data = out->global_data = nullptr;
      return PF_Err_NONE;
    case PF_Cmd_PARAMS_SETUP:
      return paramsSetup(in, out);
    case PF_Cmd_SEQUENCE_SETUP:
      return sequenceSetup(in, out, false);
    case PF_Cmd_SEQUENCE_RESETUP:
      return sequenceSetup(in, out, true);
    case PF_Cmd_SEQUENCE_FLATTEN:
      return sequenceFlatten(in, out);
    case PF_Cmd_SEQUENCE_SETDOWN:
      if (in->sequence_data) in->utils->host_dispose_handle(in->sequence_data);
      in->sequence_data = out->sequence_data = nullptr;
      return PF_Err_NONE;
    case PF_Cmd_FRAME_SETUP:
      return frameSetup(in, out, params);
    case PF_Cmd_RENDER:
      return render(in, out, params, output);
    case PF_Cmd_EVENT:
      return event(in, out, params, static_cast<PF_EventExtra*>(extra));
    default:
      return PF_Err_NONE;
  }
}

}  // namespace

__attribute__((visibility("default"))) PF_Err effectMain(PF_Cmd cmd, PF_InData* in, PF_OutData* out,
                                                         PF_ParamList params, PF_LayerDef* output,
                                                         void* extra) asm("main");

PF_Err effectMain(PF_Cmd cmd, PF_InData* in, PF_OutData* out, PF_ParamList params,
                  PF_LayerDef* output, void* extra) {
  // A call that arrives while another is running (from inside a callback) is
  // refused without touching anything.
  if (gInCall) return PF_Err_NONE;
  gInCall = true;
  const PF_Err err = dispatch(cmd, in, out, params, output, extra);
  gInCall = false;
  return err;
}
