// Icons of the application window and of its toolbar commands, drawn here so
// that the application needs no image plug-in.
#pragma once

#include <QIcon>

// The application icon (the same picture as tessel-gui.svg).
QIcon AppIcon();
// A 16 x 16 toolbar icon of a menu button in a state: 0 Normal, 1 Selected,
// 2 Activated.
QIcon ButtonStateIcon(int state);
// Rip (pictures out of the disc) and import (a picture into it).
QIcon RipIcon();
QIcon ImportIcon();
