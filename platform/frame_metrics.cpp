#include "platform/frame_metrics.h"

#include <algorithm>

namespace tarnwick {

FrameParts DescribeFrame(const WindowStyle& style, std::string_view caption_at_creation) {
  FrameParts parts;
  if (style.frame == FrameStyle::kNone) return parts;
  parts.border = true;
  parts.resizable = style.frame == FrameStyle::kResizable || style.frame == FrameStyle::kResizableTool ||
                    style.frame == FrameStyle::kResizableSunken;
  parts.tool_window = style.frame == FrameStyle::kResizableTool || style.frame == FrameStyle::kFixedTool;
  parts.client_edge = style.frame == FrameStyle::kResizableSunken || style.frame == FrameStyle::kFixedSunken;
  parts.title_bar = !caption_at_creation.empty() || style.system_menu;
  return parts;
}

FrameInsets ProgramFrameInsets(const FrameParts& parts) {
  if (!parts.border) return {};
  constexpr int kBorder = 3;
  constexpr int kTitleBar = 22;
  constexpr int kToolTitleBar = 16;
  constexpr int kClientEdge = 2;
  FrameInsets insets{kBorder, kBorder, kBorder, kBorder};
  if (parts.title_bar) insets.top += parts.tool_window ? kToolTitleBar : kTitleBar;
  if (parts.client_edge) {
    insets.left += kClientEdge;
    insets.top += kClientEdge;
    insets.right += kClientEdge;
    insets.bottom += kClientEdge;
  }
  return insets;
}

Size ClientSizeFor(const FrameInsets& insets, Size outer) {
  return {std::max(0, outer.width - insets.horizontal()), std::max(0, outer.height - insets.vertical())};
}

Size OuterSizeFor(const FrameInsets& insets, Size client) {
  return {client.width + insets.horizontal(), client.height + insets.vertical()};
}

Rect ClientRectFor(const FrameInsets& insets, const Rect& outer) {
  Size client = ClientSizeFor(insets, {outer.width, outer.height});
  return {outer.left + insets.left, outer.top + insets.top, client.width, client.height};
}

}  // namespace tarnwick
