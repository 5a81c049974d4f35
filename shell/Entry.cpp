// The library's one exported symbol, `main`, and the routing of every host
// command and custom-control event to its handler.
#include <algorithm>
#include <cstring>
#include <new>

#include "platform/os/Resources.h"
#include "scene/FrameCommands.h"
#include "shell/About.h"
#include "shell/EffectCall.h"
#include "shell/Lifecycle.h"
#include "shell/Messages.h"
#include "shell/Module.h"
#include "shell/Plugin.h"
#include "shell/Params.h"

namespace vask {
namespace {

os::Module* gModule = nullptr;

// Library attach and detach: remember the module and make its compiled-in
// resources findable, as a DLL's entry routine would on process attach.
__attribute__((constructor)) void onLibraryLoad() {
  gModule = os::moduleFromAddress(reinterpret_cast<const void*>(&onLibraryLoad));
  os::registerResources(gModule, thisPlugin().resources);
}

__attribute__((destructor)) void onLibraryUnload() {
  if (gModule) os::unregisterResources(gModule);
}

void paramsSetup(EffectCall& call) {
  const int32_t count = thisPlugin().declareParams(call);
  call.outData()->num_params = count;
  registerCustomUI(call);
}

// A click, or a drag that continues or ends one (the three plug-ins other than
// the File Object).
void clickOrDrag(EffectCall& call, PF_EventExtra& e) {
  const PluginDefinition& plugin = thisPlugin();
  PF_DoClickEventInfo& click = e.u.do_click;
  if (!click.send_drag) {
    plugin.click(call);
    if (e.evt_out_flags == PF_EO_HANDLED_EVENT) click.send_drag = true;
  } else if (!click.last_time) {
    plugin.drag(call);
  } else {
    plugin.endDrag(call);
    click.send_drag = false;
  }
}

void dispatchEvent(EffectCall& call) {
  PF_EventExtra* e = call.event();
  if (!e) return;
  const PluginDefinition& plugin = thisPlugin();
  PF_DoClickEventInfo& click = e->u.do_click;
  switch (e->e_type) {
    case PF_Event_DO_CLICK:
      if (plugin.eventStyle == EventStyle::ClickThenDrag) {
        plugin.click(call);
        if (e->evt_out_flags == PF_EO_HANDLED_EVENT) click.send_drag = true;
      } else {
        clickOrDrag(call, *e);
      }
      break;
    case PF_Event_DRAG:
      if (plugin.eventStyle == EventStyle::ClickThenDrag) {
        if (!click.last_time) {
          click.send_drag = true;
          plugin.drag(call);
        } else {
          click.send_drag = false;
          plugin.endDrag(call);
        }
      } else {
        clickOrDrag(call, *e);
      }
      break;
    case PF_Event_DRAW:
      plugin.draw(call);
      break;
    default:
      break;
  }
}

void dispatch(EffectCall& call) {
  switch (call.cmd()) {
    case PF_Cmd_ABOUT: showAbout(call); break;
    case PF_Cmd_GLOBAL_SETUP: globalSetup(call); break;
    case PF_Cmd_GLOBAL_SETDOWN: globalSetdown(call); break;
    case PF_Cmd_PARAMS_SETUP: paramsSetup(call); break;
    case PF_Cmd_SEQUENCE_SETUP: sequenceSetup(call); break;
    case PF_Cmd_SEQUENCE_RESETUP: sequenceResetup(call); break;
    case PF_Cmd_SEQUENCE_FLATTEN: sequenceFlatten(call); break;
    case PF_Cmd_SEQUENCE_SETDOWN: sequenceSetdown(call); break;
    case PF_Cmd_FRAME_SETUP: frameSetup(call); break;
    case PF_Cmd_RENDER: render(call); break;
    case PF_Cmd_FRAME_SETDOWN: frameSetdown(call); break;
    case PF_Cmd_EVENT: dispatchEvent(call); break;
    default: break;  // 2, 9, 13, 14 and unknown commands carry nothing for us
  }
}

// The host's message for a failed command: its text by number, cut to 255
// characters; a cancel shows nothing.
void reportError(EffectCall& call, int32_t code) {
  if (code == PF_Interrupt_CANCEL) return;
  PF_OutData* out = call.outData();
  out->out_flags |= PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  char text[kMessageTextSize];
  messageText(code, text);
  const std::size_t n = std::min(std::strlen(text), sizeof out->return_msg - 1);
  std::memcpy(out->return_msg, text, n);
  out->return_msg[n] = '\0';
}

PF_Err run(EffectCall& call) {
  // Nested calls (a host callback or a modal loop of the running call calling
  // back in) are refused without touching anything.
  if (EffectCall::current()) return PF_Err_NONE;
  call.setCurrent(true);
  int32_t code = PF_Err_NONE;
  try {
    try {
      call.lockRecords();
      dispatch(call);
    } catch (const std::bad_alloc&) {
      throw ErrData::host(msg::kOutOfMemory);
    } catch (const ErrData&) {
      throw;
    } catch (...) {
      // Nothing but ErrData should leave a handler; if something does, the
      // host still gets an error instead of an exception through C frames.
      throw ErrData::host(PF_Err_INTERNAL_STRUCT_DAMAGED);
    }
  } catch (ErrData e) {
    code = e.code;
    reportError(call, code);
  }
  call.unlockRecords();
  call.setCurrent(false);
  return code;
}

}  // namespace

os::Module* moduleHandle() { return gModule; }

}  // namespace vask

extern "C" __attribute__((visibility("default"))) PF_Err effectMain(
    PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamList params, PF_LayerDef* output,
    void* extra) asm("main");

extern "C" PF_Err effectMain(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                             PF_ParamList params, PF_LayerDef* output, void* extra) {
  if (!in_data || !out_data || !in_data->utils) return PF_Err_BAD_CALLBACK_PARAM;
  vask::EffectCall call(cmd, in_data, out_data, params, output, extra);
  return vask::run(call);
}
