// The tool palette widget: layout, hits on cell borders and the shared
// overlap line, presses outside everything, a drag that leaves and re-enters
// its button, latching and radio groups, and the push button's inversions.
#include <gtest/gtest.h>

#include <array>

#include "manipulator/PushButton.h"
#include "manipulator/ToolPalette.h"

namespace vask {
namespace {

// Two columns of four, commands 10 … 17; the first three of each column
// latch in radio group 1, the last does not.
ToolPalette makePalette() {
  std::array<ToolPalette::Button, 8> b;
  for (int i = 0; i < 8; ++i) {
    b[i].line = i / 4;
    b[i].image = i;
    b[i].command = 10 + i;
    b[i].latching = i % 4 != 3;
    b[i].radioGroup = i % 4 != 3 ? 1 : 0;
  }
  b[4].selected = true;
  ToolPalette p;
  p.setButtons(b);
  p.moveTo({100, 200});
  return p;
}

TEST(ToolPalette, LaysOutTwoColumnsSharingBorderLines) {
  ToolPalette p = makePalette();
  EXPECT_EQ(p.rect(), (os::Rect{100, 200, 51, 85}));
  EXPECT_EQ(p.button(1).rect, (os::Rect{0, 21, 26, 22}));
  EXPECT_EQ(p.button(7).rect, (os::Rect{25, 63, 26, 22}));
}

TEST(ToolPalette, PressHitsTheFirstButtonUnderThePoint) {
  ToolPalette p = makePalette();
  // The shared line between rows 0 and 1 belongs to the first, as does the
  // one between the columns.
  EXPECT_EQ(p.press({110, 221}), (ToolPalette::Hit{true, 10}));
  EXPECT_EQ(p.release({110, 221}), (ToolPalette::Hit{true, 10}));
  EXPECT_EQ(p.press({125, 205}), (ToolPalette::Hit{true, 10}));
  p.release({125, 205});
  EXPECT_EQ(p.press({126, 205}), (ToolPalette::Hit{true, 14}));
  p.release({126, 205});
  EXPECT_EQ(p.press({110, 222}), (ToolPalette::Hit{true, 11}));
  p.release({110, 222});
  // The last pixel row and column, and just past them.
  EXPECT_EQ(p.press({150, 284}), (ToolPalette::Hit{true, 17}));
  p.release({150, 284});
  EXPECT_EQ(p.press({151, 284}), ToolPalette::Hit{});
  EXPECT_EQ(p.press({150, 285}), ToolPalette::Hit{});
  EXPECT_EQ(p.press({99, 199}), ToolPalette::Hit{});
  EXPECT_EQ(p.pressed(), -1);
}

TEST(ToolPalette, ADragThatLeavesAndComesBackTracksItsButton) {
  ToolPalette p = makePalette();
  ASSERT_TRUE(p.press({110, 230}).hit);  // button 1
  EXPECT_EQ(p.lookRow(1), ToolPalette::kPressedRow);
  EXPECT_TRUE(p.track({300, 300}));
  EXPECT_FALSE(p.pressedInside());
  EXPECT_EQ(p.lookRow(1), ToolPalette::kNormalRow);
  // Released outside: nothing reported, nothing selected.
  EXPECT_EQ(p.release({300, 300}), ToolPalette::Hit{});
  EXPECT_FALSE(p.button(1).selected);
  EXPECT_FALSE(p.track({110, 230})) << "no button held after the release";

  ASSERT_TRUE(p.press({110, 230}).hit);
  p.track({300, 300});
  p.track({111, 231});
  EXPECT_EQ(p.lookRow(1), ToolPalette::kPressedRow);
  EXPECT_EQ(p.release({111, 231}), (ToolPalette::Hit{true, 11}));
  EXPECT_TRUE(p.button(1).selected) << "a latching button stays down";

  // Released without a move in between, outside: still not taken.
  ASSERT_TRUE(p.press({110, 210}).hit);
  EXPECT_EQ(p.release({400, 400}), ToolPalette::Hit{});
  EXPECT_EQ(p.lookRow(0), ToolPalette::kNormalRow);
}

TEST(ToolPalette, SelectKeepsOneButtonOfARadioGroupDown) {
  ToolPalette p = makePalette();
  p.select(12, true);
  EXPECT_TRUE(p.button(2).selected);
  EXPECT_FALSE(p.button(4).selected);
  // Outside a group the flag follows the state.
  p.select(13, true);
  EXPECT_TRUE(p.button(3).selected);
  p.select(13, false);
  EXPECT_FALSE(p.button(3).selected);
  EXPECT_TRUE(p.button(2).selected);
  // A non-latching button is drawn down only while held.
  ASSERT_TRUE(p.press({110, 270}).hit);
  EXPECT_EQ(p.lookRow(3), ToolPalette::kPressedRow);
  p.release({110, 270});
  EXPECT_EQ(p.lookRow(3), ToolPalette::kNormalRow);
}

TEST(ToolPalette, DrawsItsCellsOnlyInsideTheCanvasClip) {
  ToolPalette p = makePalette();
  os::Canvas canvas(300, 300, os::kWhite);
  canvas.setClip({100, 200, 26, 22});
  p.setCanvas(&canvas);
  p.drawAll();
  EXPECT_EQ(canvas.pixel(100, 200), os::kBlack) << "the blank cell's frame";
  EXPECT_EQ(canvas.pixel(130, 200), os::kWhite) << "clipped";
}

TEST(PushButton, InvertsWhileHeldAndReportsAReleaseOverIt) {
  os::Canvas canvas(80, 40, os::kWhite);
  PushButton b;
  b.rect = {2, 2, 50, 15};
  EXPECT_FALSE(b.press(&canvas, {1, 1}));
  EXPECT_TRUE(b.press(&canvas, {2, 2}));
  EXPECT_EQ(canvas.pixel(10, 10), os::kBlack);
  b.track(&canvas, {60, 30});
  EXPECT_EQ(b.state(), PushButton::kPressedOutside);
  EXPECT_EQ(canvas.pixel(10, 10), os::kWhite);
  EXPECT_FALSE(b.release(&canvas, {60, 30}));
  EXPECT_TRUE(b.press(&canvas, {51, 16}));
  EXPECT_TRUE(b.release(&canvas, {51, 16}));
  EXPECT_EQ(canvas.pixel(10, 10), os::kWhite) << "normal again after the release";
  b.enabled = false;
  EXPECT_FALSE(b.press(&canvas, {10, 10}));
  EXPECT_EQ(b.state(), PushButton::kIdle);
}

}  // namespace
}  // namespace vask
