#include "platform/Placement.h"

#include <algorithm>

namespace amppanel {
namespace {

// Widens to 64 bits: stored positions and sizes may be anything an editor
// typed, and their sums must not overflow.
bool Grabbable(const ScreenRect& frame, const ScreenRect& screen) {
  const long long left = std::max<long long>(frame.left, screen.left);
  const long long right = std::min<long long>(static_cast<long long>(frame.left) + frame.width,
                                              static_cast<long long>(screen.left) + screen.width);
  const long long top = std::max<long long>(frame.top, screen.top);
  const long long bottom = std::min<long long>(static_cast<long long>(frame.top) + kTitleBarHeight,
                                               static_cast<long long>(screen.top) + screen.height);
  return right - left >= kGrabbableWidth && bottom - top >= kGrabbableHeight;
}

}  // namespace

ScreenRect KeepOnScreen(const ScreenRect& frame, std::span<const ScreenRect> screens) {
  if (screens.empty()) return frame;
  if (std::any_of(screens.begin(), screens.end(),
                  [&](const ScreenRect& s) { return Grabbable(frame, s); })) {
    return frame;
  }
  const ScreenRect& primary = screens.front();
  ScreenRect placed;
  placed.width = std::clamp(frame.width, 1, std::max(primary.width, 1));
  placed.height = std::clamp(frame.height, 1, std::max(primary.height, 1));
  placed.left = std::clamp(frame.left, primary.left, primary.left + primary.width - placed.width);
  placed.top = std::clamp(frame.top, primary.top, primary.top + primary.height - placed.height);
  return placed;
}

}  // namespace amppanel
