// The entry point of the real effect libraries: what they export, the command
// table, the re-entry guard, errors turned into host codes and messages, and
// the click/drag rules of the custom-control events.
#include <cstdio>
#include <cstring>
#include <tuple>

#include "PluginTestSupport.h"
#include "platform/os/Resources.h"

namespace vask::test {
namespace {

TEST(PluginExports, EachLibraryExportsOnlyMain) {
  for (const char* name : kPlugins) {
    const std::string cmd = "nm -D --defined-only " + pluginPath(name).string();
    FILE* pipe = popen(cmd.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
      std::string s(line);
      symbols.push_back(s.substr(s.rfind(' ') + 1, s.find_last_not_of("\n") - s.rfind(' ')));
    }
    ASSERT_EQ(pclose(pipe), 0) << cmd;
    EXPECT_EQ(symbols, std::vector<std::string>{"main"}) << name;
  }
}

class EntryTest : public PluginTest {};

TEST_F(EntryTest, UnusedCommandsDoNothing) {
  for (const char* name : kPlugins) {
    host::Effect& e = load(name);
    host::Instance& i = apply(e);
    PF_Handle seq = i.sequenceData();
    for (PF_Cmd cmd : {2, 9, 13, 14, 16, 99, -1}) {
      PF_OutData before{};
      before.out_flags = 0x1234;
      std::strcpy(before.return_msg, "untouched");
      auto r = i.command(cmd, nullptr, &before);
      EXPECT_EQ(r.err, PF_Err_NONE) << name << " cmd " << cmd;
      EXPECT_EQ(r.out.out_flags, 0x1234) << name << " cmd " << cmd;
      EXPECT_STREQ(r.out.return_msg, "untouched");
      EXPECT_EQ(i.sequenceData(), seq);
      EXPECT_EQ(host::handles::lockCount(seq), 0) << "locks must balance";
    }
  }
}

TEST_F(EntryTest, NestedCallIsRefusedWithoutTouchingAnything) {
  host::Effect& e = load("shapemesh");
  host::Instance& i = apply(e);
  bool nestedRan = false;
  host::CommandResult nested;
  int32_t locksDuringNested = -1;
  e.setCallbackHook([&](const host::CallbackCall& c) {
    if (c.name == "host_get_handle_size" && !nestedRan) {
      nestedRan = true;
      PF_OutData pre{};
      pre.out_flags = 0x77;
      std::strcpy(pre.return_msg, "keep");
      const int32_t locksBefore = host::handles::lockCount(i.sequenceData());
      nested = i.command(PF_Cmd_SEQUENCE_SETDOWN, nullptr, &pre);
      locksDuringNested = host::handles::lockCount(i.sequenceData()) - locksBefore;
    }
    return PF_Err_NONE;
  });
  auto r = i.sequenceFlatten();  // asks the handle's size first
  e.setCallbackHook(nullptr);
  ASSERT_TRUE(r.ok()) << r;
  ASSERT_TRUE(nestedRan);
  EXPECT_EQ(nested.err, PF_Err_NONE);
  EXPECT_EQ(nested.out.out_flags, 0x77);
  EXPECT_STREQ(nested.out.return_msg, "keep");
  EXPECT_EQ(locksDuringNested, 0) << "the refused call locked something";
  EXPECT_EQ(i.flatSize(), 4) << "the refused setdown must not have run";
}

// Errors raised anywhere in a command reach the host as its code and, but for
// a cancel, as a message. A refused parameter is the easiest way to raise a
// chosen host code through the real entry point.
TEST_F(EntryTest, ErrorCodesBecomeHostMessages) {
  struct Case {
    PF_Err code;
    const char* message;  // null: no message, flags untouched
  } cases[] = {
      {517, nullptr},
      {513, "After Effects invalid index."},
      {773, "MSG(5)"},
      {1040, "MSG(16)"},
      {-28499, "OS error -28499"},
      {1024, "Out of Memory"},
  };
  host::Effect& e = load("glowlamp", /*setUp=*/false);
  ASSERT_TRUE(e.globalSetup().ok());
  for (const Case& c : cases) {
    e.setCallbackHook([&](const host::CallbackCall& call) {
      return call.name == "add_param" && call.index == 3 ? c.code : PF_Err_NONE;
    });
    PF_OutData pre{};
    std::strcpy(pre.return_msg, "before");
    auto r = e.command(PF_Cmd_PARAMS_SETUP, nullptr, &pre);
    EXPECT_EQ(r.err, c.code);
    if (c.message) {
      EXPECT_TRUE(r.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) << c.code;
      EXPECT_STREQ(r.out.return_msg, c.message);
    } else {
      EXPECT_EQ(r.out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
      EXPECT_STREQ(r.out.return_msg, "before");
    }
  }
  e.setCallbackHook(nullptr);
  e.clearViolations();  // the refusals were ours
}

TEST_F(EntryTest, HostWithoutMemoryGivesOutOfMemory) {
  host::Effect& e = load("beamlamp", /*setUp=*/false);
  host::handles::failNextNewHandles(1);
  auto r = e.globalSetup();
  EXPECT_EQ(r.err, 1024);
  EXPECT_EQ(r.message, "Out of Memory");
  EXPECT_EQ(e.globalData(), nullptr);
  ASSERT_TRUE(e.globalSetup().ok()) << "the next try succeeds";
  ASSERT_TRUE(e.paramsSetup().ok());
  host::Instance& i = apply(e, /*setUp=*/false);
  host::handles::failNextNewHandles(1);
  EXPECT_EQ(i.sequenceSetup().err, 1024);
  EXPECT_EQ(i.sequenceData(), nullptr);
}

// Click and drag events: the File Object forwards a drag after any click, the
// others treat a drag without a consumed click as a new click. The panels do
// not consume events yet, so the host's own evt_out_flags decide.
TEST_F(EntryTest, ClickAndDragRules) {
  auto send = [](host::Instance& i, PF_EventType type, PF_Boolean sendDrag, PF_Boolean lastTime,
                 int32_t outFlags) {
    PF_EventExtra e{};
    e.e_type = type;
    e.u.do_click.send_drag = sendDrag;
    e.u.do_click.last_time = lastTime;
    e.evt_out_flags = outFlags;
    auto r = i.event(e);
    EXPECT_TRUE(r.ok()) << r;
    return e.u.do_click.send_drag;
  };
  host::Instance& file = apply(load("meshfile"));
  EXPECT_TRUE(send(file, PF_Event_DO_CLICK, false, false, PF_EO_HANDLED_EVENT));
  EXPECT_FALSE(send(file, PF_Event_DO_CLICK, false, false, PF_EO_NONE));
  EXPECT_TRUE(send(file, PF_Event_DRAG, false, false, PF_EO_NONE)) << "drag after any click";
  EXPECT_FALSE(send(file, PF_Event_DRAG, true, true, PF_EO_NONE)) << "end of drag";

  for (const char* name : {"shapemesh", "beamlamp", "glowlamp"}) {
    host::Instance& i = apply(load(name));
    EXPECT_TRUE(send(i, PF_Event_DRAG, false, false, PF_EO_HANDLED_EVENT)) << name << ": a new click";
    EXPECT_FALSE(send(i, PF_Event_DRAG, false, false, PF_EO_NONE)) << name << ": unconsumed click";
    EXPECT_TRUE(send(i, PF_Event_DRAG, true, false, PF_EO_NONE)) << name << ": drag goes on";
    EXPECT_FALSE(send(i, PF_Event_DO_CLICK, true, true, PF_EO_NONE)) << name << ": end of drag";
    for (PF_EventType other : {0, 1, 5, 8, 9, 42})
      EXPECT_TRUE(send(i, other, true, false, PF_EO_NONE)) << name << " event " << other;
  }
}

TEST_F(EntryTest, AboutShowsTheVersionModally) {
  host::Effect& e = load("shapemesh");
  auto r = e.about();
  ASSERT_TRUE(r.ok()) << r;
  ASSERT_EQ(desktop_.dialogs().size(), 1u);
  const auto& d = desktop_.dialogs()[0];
  EXPECT_EQ(d.templateName, "ABOUTBOX");
  EXPECT_EQ(d.result, 1);
  std::string version, title;
  for (const auto& [id, text] : d.controlTexts) {
    if (id == 3003) version = text;
    if (id == 1005) title = text;
  }
  EXPECT_EQ(version, "1.0");
  EXPECT_EQ(title, "Vask Simple Object\n3D Effects Plugin");

  // The box as the library describes it: 228 × 191 dialog units, modal,
  // centred, captionless, in 8-point Arial, the picture beside the texts.
  ASSERT_TRUE(d.layout.has_value()) << "the library carries its ABOUTBOX description";
  const os::DialogTemplate& box = *d.layout;
  EXPECT_EQ(box.width, 228);
  EXPECT_EQ(box.height, 191);
  EXPECT_EQ(box.style, os::kDialogPopup | os::kDialogVisible | os::kDialogModalFrame |
                           os::kDialogCentered | os::kDialogNoCaption);
  EXPECT_EQ(box.font, "Arial");
  EXPECT_EQ(box.fontPoints, 8);
  ASSERT_EQ(box.controls.size(), 4u);
  EXPECT_EQ(*box.control(1005), (os::DialogControl{os::DialogControl::Kind::Text, 1005, 130, 10, 86, 47, true, "", 0}));
  EXPECT_EQ(box.control(1021)->text, "Version:");
  EXPECT_EQ(*box.control(3003), (os::DialogControl{os::DialogControl::Kind::Text, 3003, 163, 67, 41, 8, false, "99.99a99", 0}));
  const os::DialogControl& picture = *box.control(-1);
  EXPECT_EQ(picture.kind, os::DialogControl::Kind::Picture);
  EXPECT_EQ(std::make_tuple(picture.x, picture.y, picture.width, picture.height),
            std::make_tuple(14, 10, 83, 87));
  EXPECT_TRUE(os::findResource(d.module, "BITMAP", picture.picture).has_value());
}

}  // namespace
}  // namespace vask::test
