// Keeping windows where the operator can reach them: a hand-edited or stale
// position (another monitor unplugged, a wrapped number) must not open a
// window that nobody can see or drag.
#pragma once

#include <span>

namespace amppanel {

struct ScreenRect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  friend bool operator==(const ScreenRect&, const ScreenRect&) = default;
};

// How much of a window's title bar must show on some screen for the operator
// to grab it.
inline constexpr int kTitleBarHeight = 30;
inline constexpr int kGrabbableWidth = 40;
inline constexpr int kGrabbableHeight = 10;

// The frame a window should take: unchanged while its title bar can be grabbed
// on one of `screens` (their available areas, the primary one first); else
// moved onto the primary screen, its size cut to that screen.
ScreenRect KeepOnScreen(const ScreenRect& frame, std::span<const ScreenRect> screens);

}  // namespace amppanel
