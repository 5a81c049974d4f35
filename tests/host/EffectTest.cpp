// The host driving a real effect library through `main`: effect-level
// commands, an instance's lifecycle, callbacks, and the test seams.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "host/Effect.h"
#include "host/HandleSuite.h"
#include "host/HostError.h"
#include "host/Instance.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The test effect's parameter indices and sequence record.
enum { kInput, kAmount, kAngle, kEnabled, kTint, kMode, kSource, kPanel, kNumParams };
enum { kNormal = 1, kSkipCheckin, kFail, kReplaceSequence };
struct LiveSequence {
  int32_t flattened, frames, sourceWidth;
  PF_Pixel sourcePixel;
};

class EffectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    handles::clearViolations();
    live_ = handles::liveCount();
    effect_ = Effect::load(test::testEffectPath());
    ASSERT_TRUE(effect_->globalSetup().ok());
    ASSERT_TRUE(effect_->paramsSetup().ok());
  }
  void TearDown() override {
    instance_.reset();
    if (effect_->globalData()) {
      EXPECT_TRUE(effect_->globalSetdown().ok());
    }
    if (expectClean_) {
      EXPECT_THAT(effect_->violations(), IsEmpty());
      EXPECT_THAT(handles::violations(), IsEmpty());
    }
    effect_.reset();
    EXPECT_EQ(handles::liveCount(), live_) << "handles leaked";
    handles::clearViolations();
  }

  Instance& instance() {
    if (!instance_) instance_ = std::make_unique<Instance>(effect_, "layer 1");
    return *instance_;
  }
  LiveSequence live() {
    auto b = handles::bytes(instance().sequenceData());
    LiveSequence s{};
    if (b.size() >= sizeof s) std::memcpy(&s, b.data(), sizeof s);
    return s;
  }

  std::size_t live_ = 0;
  bool expectClean_ = true;
  std::shared_ptr<Effect> effect_;
  std::unique_ptr<Instance> instance_;
};

TEST_F(EffectTest, CollectsTheDeclaredTable) {
  EXPECT_EQ(effect_->version(), 0x00080600u);
  EXPECT_EQ(effect_->outFlags(), PF_OutFlag_KEEP_RESOURCE_OPEN | PF_OutFlag_CUSTOM_UI);
  EXPECT_EQ(effect_->numParams(), kNumParams);
  ASSERT_TRUE(effect_->paramsReady());
  const auto& p = effect_->params();
  ASSERT_EQ(p.size(), std::size_t{kNumParams});
  EXPECT_EQ(p[kInput].type(), PF_Param_LAYER);
  EXPECT_EQ(p[kAmount].name(), "Amount");
  EXPECT_EQ(p[kAmount].def().u.fd.valid_max, 100 << 16);
  // The plug-in wiped its texts after add_param: the host kept copies.
  EXPECT_EQ(p[kEnabled].label(), "On");
  EXPECT_STREQ(p[kMode].def().u.pd.names,
               "Normal|Skip Checkin|Fail|Replace Sequence|Invert|Fail Render");
  EXPECT_EQ(paramTypeName(p[kPanel].def()), "custom control");
  ASSERT_TRUE(effect_->customUI());
  EXPECT_EQ(effect_->customUI()->events, PF_CustomEFlag_EFFECT);

  // A second global setup keeps the global handle.
  PF_Handle global = effect_->globalData();
  EXPECT_TRUE(effect_->globalSetup().ok());
  EXPECT_EQ(effect_->globalData(), global);
  EXPECT_TRUE(effect_->about().ok()) << "the main window reference is not null";
}

TEST_F(EffectTest, InstanceStartsFromDefaults) {
  Instance& inst = instance();
  inst.input() = World(6, 4);
  EXPECT_EQ(inst.param(kAmount).u.fd.value, 5 << 16);
  EXPECT_EQ(inst.param(kAngle).u.ad.value, 45 << 16);
  EXPECT_EQ(inst.param(kEnabled).u.bd.value, 1);
  EXPECT_EQ(inst.param(kTint).u.cd.value, (PF_Pixel{255, 10, 20, 30}));
  EXPECT_EQ(inst.param(kMode).u.pd.value, kNormal);
  EXPECT_EQ(inst.layerParam(kSource), 0);
  EXPECT_THROW(inst.setLayerParam(kAmount, 1), HostError);
  EXPECT_THROW(inst.param(kNumParams), std::out_of_range);
}

TEST_F(EffectTest, SequenceLivesFlattensAndComesBack) {
  Instance& inst = instance();
  ASSERT_TRUE(inst.sequenceSetup().ok());
  EXPECT_EQ(inst.sequenceState(), Instance::SequenceState::Live);
  ASSERT_TRUE(inst.frameSetup().ok());
  ASSERT_TRUE(inst.frameSetup().ok());
  EXPECT_EQ(live().frames, 2);
  EXPECT_THROW(inst.flatSequenceBytes(), HostError);
  EXPECT_THROW(inst.setFlatSequenceData({}), HostError) << "live data would leak";

  PF_Handle before = inst.sequenceData();
  ASSERT_TRUE(inst.sequenceFlatten().ok());
  EXPECT_NE(inst.sequenceData(), before) << "the plug-in replaced the handle";
  EXPECT_FALSE(handles::isLive(before));
  EXPECT_EQ(inst.flatSize(), 8);
  const auto flat = inst.flatSequenceBytes();
  const std::byte expected[] = {std::byte{1}, {}, {}, {}, std::byte{2}, {}, {}, {}};
  EXPECT_TRUE(std::equal(flat.begin(), flat.end(), std::begin(expected), std::end(expected)));

  // Saved bytes come back through re-setup, as from a project.
  inst.setFlatSequenceData(flat);
  ASSERT_TRUE(inst.sequenceResetup().ok());
  EXPECT_EQ(inst.sequenceState(), Instance::SequenceState::Live);
  EXPECT_EQ(live().frames, 2);

  // Untrusted bytes too short for a record give a fresh one.
  ASSERT_TRUE(inst.sequenceSetdown().ok());
  const std::byte junk[] = {std::byte{1}, std::byte{0}};
  inst.setFlatSequenceData(junk);
  ASSERT_TRUE(inst.sequenceResetup().ok());
  EXPECT_EQ(live().frames, 0);

  ASSERT_TRUE(inst.sequenceSetdown().ok());
  EXPECT_EQ(inst.sequenceData(), nullptr);
  EXPECT_EQ(inst.sequenceState(), Instance::SequenceState::None);
}

TEST_F(EffectTest, LayerParametersAreCheckedOutFromTheLayerSource) {
  Instance& inst = instance();
  auto layers = std::make_shared<LayerTable>();
  World layer(5, 3);
  layer.at(0, 0) = PF_Pixel{255, 1, 2, 3};
  layers->set(7, std::move(layer));
  inst.setLayerSource(layers);
  ASSERT_TRUE(inst.sequenceSetup().ok());

  ASSERT_TRUE(inst.frameSetup().ok());
  EXPECT_EQ(live().sourceWidth, 0) << "no layer chosen: a world without pixels";

  inst.setLayerParam(kSource, 7);
  ASSERT_TRUE(inst.frameSetup().ok());
  EXPECT_EQ(live().sourceWidth, 5);
  EXPECT_EQ(live().sourcePixel, (PF_Pixel{255, 1, 2, 3}));
  EXPECT_TRUE(inst.lastOutFlags() & PF_OutFlag_NOP_RENDER);

  inst.setLayerParam(kSource, 8);  // no such layer
  ASSERT_TRUE(inst.frameSetup().ok());
  EXPECT_EQ(live().sourceWidth, 0);

  inst.param(kMode).u.pd.value = kSkipCheckin;
  ASSERT_TRUE(inst.frameSetup().ok());
  EXPECT_THAT(effect_->violations(),
              ElementsAre(HasSubstr(
                  "layer 1: parameter 6 checked out but not checked in during frame setup")));
  effect_->clearViolations();
  ASSERT_TRUE(inst.sequenceSetdown().ok());
}

TEST_F(EffectTest, RenderCopiesThroughTheHostAndErrorsCarryTheirMessage) {
  Instance& inst = instance();
  inst.input() = World(2, 1);
  inst.input().at(0, 0) = PF_Pixel{255, 9, 0, 0};
  inst.input().at(1, 0) = PF_Pixel{255, 0, 9, 0};
  inst.output() = World(4, 2, 8);
  ASSERT_TRUE(inst.render().ok());
  EXPECT_EQ(inst.output().at(1, 1), (PF_Pixel{255, 9, 0, 0}));
  EXPECT_EQ(inst.output().at(2, 0), (PF_Pixel{255, 0, 9, 0}));
  EXPECT_TRUE(inst.output().paddingIntact());

  ASSERT_TRUE(inst.sequenceSetup().ok());
  inst.param(kMode).u.pd.value = kFail;
  const CommandResult r = inst.frameSetup();
  EXPECT_EQ(r.err, 1027);
  EXPECT_EQ(r.message, "frame setup failed");

  // A plug-in that swaps its sequence handle mid-frame: the host follows it.
  inst.param(kMode).u.pd.value = kReplaceSequence;
  PF_Handle before = inst.sequenceData();
  ASSERT_TRUE(inst.frameSetup().ok());
  EXPECT_NE(inst.sequenceData(), before);
  EXPECT_TRUE(handles::isLive(inst.sequenceData()));
  ASSERT_TRUE(inst.sequenceSetdown().ok());
}

TEST_F(EffectTest, CommandsWithoutAHandlerLeaveTheOutBlockAlone) {
  Instance& inst = instance();
  PF_OutData pre{};
  pre.out_flags = 0x1234;
  std::strcpy(pre.return_msg, "untouched");
  for (PF_Cmd cmd :
       std::initializer_list<PF_Cmd>{PF_Cmd_UNUSED_0, PF_Cmd_DO_DIALOG, PF_Cmd_USER_CHANGED_PARAM,
                                     PF_Cmd_UPDATE_PARAMS_UI, PF_Cmd_NUM_CMDS, -1}) {
    SCOPED_TRACE(commandName(cmd));
    const CommandResult r = inst.command(cmd, nullptr, &pre);
    EXPECT_EQ(r.err, PF_Err_NONE);
    EXPECT_EQ(r.out.out_flags, 0x1234);
    EXPECT_STREQ(r.out.return_msg, "untouched");
  }
}

TEST_F(EffectTest, EventsReachTheirContextAndReportEdits) {
  Instance& inst = instance();
  int32_t drawn = 0;
  PF_ContextRecord context = makeEffectContext(&drawn);
  PF_EventExtra e{};
  e.contextH = &context;
  e.e_type = PF_Event_DRAW;
  ASSERT_TRUE(inst.event(e).ok());
  EXPECT_EQ(drawn, 1);
  EXPECT_EQ(e.evt_out_flags, PF_EO_HANDLED_EVENT);

  e.e_type = PF_Event_DO_CLICK;
  ASSERT_TRUE(inst.event(e).ok());
  EXPECT_THAT(inst.takeChangedParams(), ElementsAre(kAmount));
  EXPECT_EQ(inst.param(kAmount).u.fd.value, 7 << 16);
  EXPECT_EQ(inst.param(kAmount).uu.change_flags, 0) << "the host took the edit";
  EXPECT_THAT(inst.takeChangedParams(), IsEmpty());

  // A context that is not a host record is refused, not read as one.
  PF_ContextRecord forged = context;
  forged.magic = 0;
  e.contextH = &forged;
  e.e_type = PF_Event_DRAW;
  EXPECT_EQ(inst.event(e).err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(drawn, 1);
  EXPECT_THAT(effect_->violations(), ElementsAre(HasSubstr("get_context_data")));
  effect_->clearViolations();
}

TEST_F(EffectTest, ANestedCommandFromACallbackIsRefusedByThePlugin) {
  Instance& inst = instance();
  ASSERT_TRUE(inst.sequenceSetup().ok());
  std::vector<std::string> seen;
  CommandResult nested;
  effect_->setCallbackHook([&](const CallbackCall& call) {
    seen.emplace_back(call.name);
    if (call.name == "checkout_param" && call.instance == &inst) nested = inst.frameSetup();
    return PF_Err_NONE;
  });
  ASSERT_TRUE(inst.frameSetup().ok());
  effect_->setCallbackHook(nullptr);
  EXPECT_EQ(nested.err, PF_Err_NONE);
  EXPECT_EQ(nested.out.out_flags & PF_OutFlag_NOP_RENDER, 0) << "the nested call did nothing";
  EXPECT_EQ(live().frames, 1);
  EXPECT_THAT(seen, ElementsAre("host_get_handle_size", "host_lock_handle", "checkout_param",
                                "checkin_param", "host_unlock_handle"));
  ASSERT_TRUE(inst.sequenceSetdown().ok());
}

TEST_F(EffectTest, HookInjectedFailuresReachThePlugin) {
  effect_->setCallbackHook([](const CallbackCall& call) {
    return call.name == "add_param" && call.index == 5 ? PF_Err_INVALID_INDEX : PF_Err_NONE;
  });
  CommandResult r = effect_->paramsSetup();
  EXPECT_EQ(r.err, PF_Err_INVALID_INDEX);
  EXPECT_EQ(r.message, "add_param failed");
  EXPECT_FALSE(effect_->paramsReady());
  EXPECT_EQ(effect_->params().size(), 5u) << "the parameters before the refusal stay declared";
  EXPECT_THROW(Instance inst(effect_), HostError);

  effect_->setCallbackHook(nullptr);
  ASSERT_TRUE(effect_->paramsSetup().ok());
  effect_->setCallbackHook([](const CallbackCall& call) {
    return call.name == "copy" ? PF_Err_INTERNAL_STRUCT_DAMAGED : PF_Err_NONE;
  });
  r = instance().render();
  EXPECT_EQ(r.err, PF_Err_INTERNAL_STRUCT_DAMAGED);
  EXPECT_EQ(r.message, "copy failed");

  effect_->setCallbackHook(nullptr);
  handles::failNextNewHandles(1);
  r = instance().sequenceSetup();
  EXPECT_EQ(r.err, PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(instance().sequenceData(), nullptr);
}

TEST_F(EffectTest, RefusesForgedEffectReferences) {
  Instance& inst = instance();
  PF_Err added = PF_Err_NONE;
  effect_->setCallbackHook([&](const CallbackCall& call) {
    if (call.name == "copy") {
      PF_InData in{};
      in.inter = detail::CallbackBridge::interactCallbacks();
      PF_ParamDef def{};
      void* wrongRef = &def;
      added = in.inter.add_param(reinterpret_cast<PF_ProgPtr>(wrongRef), 8, &def);
    }
    return PF_Err_NONE;
  });
  ASSERT_TRUE(inst.render().ok());
  effect_->setCallbackHook(nullptr);
  EXPECT_EQ(added, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_THAT(effect_->violations(),
              ElementsAre(HasSubstr("add_param with an unknown effect reference")));
  effect_->clearViolations();
}

}  // namespace
}  // namespace vask::host
