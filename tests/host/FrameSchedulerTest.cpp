#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "host/FrameScheduler.h"
#include "host/HandleSuite.h"
#include "host/Session.h"
#include "tests/host/HostTestSupport.h"

namespace vask::host {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int32_t kMode = 5;
constexpr int32_t kFail = 3;

// Every command sent, as "label: command".
struct Trace {
  std::vector<std::string> lines;
  void attach(Effect& e) {
    e.setCommandObserver([this](const Instance* i, PF_Cmd cmd, PF_Err) {
      lines.push_back((i ? i->label() : std::string("effect")) + ": " + commandName(cmd));
    });
  }
};

TEST(FrameScheduler, SetsUpAllThenRendersAllThenSetsDownAll) {
  const std::size_t live = handles::liveCount();
  {
    Session session;
    auto effect = session.loadEffect(test::testEffectPath());
    EXPECT_EQ(session.loadEffect(test::testEffectPath()), effect) << "one effect per library";
    Trace trace;
    trace.attach(*effect);
    Instance& a = session.addInstance(effect, "A");
    Instance& b = session.addInstance(effect, "B");

    const FrameReport ok = session.renderFrame(FrameTime{60, 2, 30});
    EXPECT_TRUE(ok.ok()) << ok;
    EXPECT_EQ(a.time(), 60);
    EXPECT_EQ(b.timeStep(), 2);
    EXPECT_THAT(trace.lines, ElementsAre("A: sequence setup", "B: sequence setup", "A: frame setup",
                                         "B: frame setup", "A: render", "B: render",
                                         "A: frame setdown", "B: frame setdown"));

    // B fails at frame setup: nothing renders, A still gets its setdown.
    trace.lines.clear();
    b.param(kMode).u.pd.value = kFail;
    const FrameReport failed = session.renderFrame(FrameTime{});
    EXPECT_EQ(failed.err, 1027);
    EXPECT_EQ(failed.failedIndex, 1u);
    EXPECT_EQ(failed.instance, "B");
    EXPECT_EQ(failed.command, PF_Cmd_FRAME_SETUP);
    EXPECT_EQ(failed.message, "frame setup failed");
    EXPECT_THAT(trace.lines, ElementsAre("A: frame setup", "B: frame setup", "A: frame setdown"));

    trace.lines.clear();
    EXPECT_THAT(session.shutDown(), IsEmpty());
    EXPECT_THAT(trace.lines, ElementsAre("A: sequence setdown", "B: sequence setdown",
                                         "effect: global setdown"));
    EXPECT_THAT(effect->violations(), IsEmpty());
  }
  EXPECT_EQ(handles::liveCount(), live);
  EXPECT_THAT(handles::violations(), IsEmpty());
}

}  // namespace
}  // namespace vask::host
