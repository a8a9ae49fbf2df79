// Every top-level window of the program opens within the available area of
// its screen (a 1280x800 laptop included): a window larger than the area is
// shrunk to it (never below its minimum size; a dialog whose contents need
// more gets them in a scroll area), and one placed partly outside is moved
// in. A screen that reports no taskbar is taken to have one of 48 pixels.
#pragma once

#include <QRect>

class QWidget;

// Resizes and moves the top-level `window` into `available`.
void fitWithin(QWidget* window, const QRect& available);
// Fits every top-level window when it is shown; installed once.
void installScreenFitting();
