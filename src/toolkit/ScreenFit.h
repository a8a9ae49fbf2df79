// Every top-level window of the program opens within the available area of
// its screen (a 1280x800 laptop included): a window larger than the area is
// shrunk to it (never below its minimum size), and one placed partly outside
// is moved in.
#pragma once

#include <QRect>

class QWidget;

// Resizes and moves the top-level `window` into `available`.
void fitWithin(QWidget* window, const QRect& available);
// Fits every top-level window when it is shown; installed once.
void installScreenFitting();
