#include "scene/FrameCommands.h"

#include "scene/SharedSceneBlock.h"
#include "shell/Lifecycle.h"
#include "shell/Plugin.h"

namespace vask {

void frameSetup(EffectCall& call) {
  const PluginDefinition& plugin = thisPlugin();
  if (plugin.contribute) {
    SharedSceneBlock& block = sceneBlockOf(call);
    ensureGroups(block);
    plugin.contribute(call, block);
  }
  if (plugin.setsNopRender) call.outData()->out_flags |= PF_OutFlag_NOP_RENDER;
}

void render(EffectCall& call) {
  if (const auto own = thisPlugin().render) return own(call);
  if (!call.params() || !call.params()[0]) raise(PF_Err_BAD_CALLBACK_PARAM);
  PF_EffectWorld* input = &call.param(0).u.ld;
  PF_EffectWorld* output = call.output();
  // Sizes are the worlds' own, truncated to 16 bits as the host's rectangles are.
  PF_Rect src{0, 0, static_cast<int16_t>(input->height), static_cast<int16_t>(input->width)};
  PF_Rect dst{0, 0, static_cast<int16_t>(output->height), static_cast<int16_t>(output->width)};
  call.copyWorld(input, output, &src, &dst);
}

void frameSetdown(EffectCall& call) {
  // An effect that only reads the scene leaves the groups to the others.
  if (thisPlugin().contribute) clearGroups(sceneBlockOf(call));
}

}  // namespace vask
