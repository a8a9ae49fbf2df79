// What the windows of the conventional analyses share: the formula pictures,
// saving a chart as a figure. Not a window of its own.
#pragma once

#include <QString>

class ChartPlot;
class QLabel;
class QPushButton;
class QWidget;

namespace conventionalui {

// A formula drawn as rich text (the relations of the analysis).
QLabel* picture(const QString& html, const char* objectName, QWidget* parent);

} // namespace conventionalui
