#include "platform/frame_metrics.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

WindowStyle StyleWith(FrameStyle frame, bool system_menu = true) {
  WindowStyle style;
  style.frame = frame;
  style.system_menu = system_menu;
  return style;
}

TEST(FrameMetricsTest, TheMainWindowsFrameLeavesTheClientAreaTheLayoutNeeds) {
  FrameInsets insets = ProgramFrameInsets(DescribeFrame(StyleWith(FrameStyle::kFixed), "Tarnwick"));
  EXPECT_EQ(insets, (FrameInsets{3, 25, 3, 3}));
  EXPECT_EQ(ClientSizeFor(insets, {371, 596}), (Size{365, 568}));
  EXPECT_EQ(ClientRectFor(insets, {50, 40, 371, 596}), (Rect{53, 65, 365, 568}));
  // Widened for the side panels, lengthened for the bottom ones.
  EXPECT_EQ(ClientSizeFor(insets, {664, 695}), (Size{658, 667}));
  EXPECT_EQ(OuterSizeFor(insets, {658, 667}), (Size{664, 695}));
}

TEST(FrameMetricsTest, EachFrameStyleHasItsOwnInsets) {
  struct Case {
    FrameStyle frame;
    FrameInsets insets;
  };
  const Case cases[] = {
      {FrameStyle::kNone, {0, 0, 0, 0}},
      {FrameStyle::kResizable, {3, 25, 3, 3}},
      {FrameStyle::kFixed, {3, 25, 3, 3}},
      {FrameStyle::kResizableTool, {3, 19, 3, 3}},
      {FrameStyle::kFixedTool, {3, 19, 3, 3}},
      {FrameStyle::kResizableSunken, {5, 27, 5, 5}},
      {FrameStyle::kFixedSunken, {5, 27, 5, 5}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgramFrameInsets(DescribeFrame(StyleWith(c.frame), "")), c.insets)
        << "frame style " << static_cast<int>(c.frame);
  }
}

TEST(FrameMetricsTest, FramePartsFollowTheStyle) {
  FrameParts strip = DescribeFrame(StyleWith(FrameStyle::kNone), "caption");
  EXPECT_EQ(strip, FrameParts{}) << "no border: no title bar even with a caption";

  FrameParts sunken_tool = DescribeFrame(StyleWith(FrameStyle::kResizableSunken), "");
  EXPECT_TRUE(sunken_tool.border && sunken_tool.resizable && sunken_tool.client_edge && sunken_tool.title_bar);
  EXPECT_FALSE(sunken_tool.tool_window);

  FrameParts fixed_tool = DescribeFrame(StyleWith(FrameStyle::kFixedTool), "");
  EXPECT_TRUE(fixed_tool.tool_window);
  EXPECT_FALSE(fixed_tool.resizable);
  EXPECT_FALSE(fixed_tool.client_edge);
}

TEST(FrameMetricsTest, ATitleBarNeedsACaptionOrASystemMenuAtCreation) {
  WindowStyle bare = StyleWith(FrameStyle::kFixed, /*system_menu=*/false);
  FrameParts without = DescribeFrame(bare, "");
  EXPECT_FALSE(without.title_bar);
  EXPECT_EQ(ProgramFrameInsets(without), (FrameInsets{3, 3, 3, 3}));

  FrameParts with_caption = DescribeFrame(bare, "title");
  EXPECT_TRUE(with_caption.title_bar);
  EXPECT_EQ(ProgramFrameInsets(with_caption), (FrameInsets{3, 25, 3, 3}));
}

TEST(FrameMetricsTest, AnOuterSizeSmallerThanTheFrameLeavesNoClientArea) {
  FrameInsets insets{3, 25, 3, 3};
  EXPECT_EQ(ClientSizeFor(insets, {4, 20}), (Size{0, 0}));
  EXPECT_EQ(ClientSizeFor(insets, {0, 0}), (Size{0, 0}));
  EXPECT_EQ(ClientRectFor(insets, {10, 10, 4, 100}), (Rect{13, 35, 0, 72}));
}

}  // namespace
}  // namespace tarnwick
