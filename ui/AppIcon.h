// The program's icon, built into the programs in every size it is drawn in.
#pragma once

#include <QIcon>

namespace amppanel {

// The icon in all its sizes (16 to 256 pixels), so that a window manager or the
// about box picks a drawn size instead of scaling one.
QIcon AppIcon();

}  // namespace amppanel
