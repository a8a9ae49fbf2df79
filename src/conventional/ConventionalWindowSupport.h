// What the windows of the conventional analyses share: the formula pictures,
// saving a chart as a figure. Not a window of its own.
#pragma once

#include <QString>

class ChartPlot;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QWidget;

namespace conventionalui {

// A formula drawn as rich text (the relations of the analysis).
QLabel* picture(const QString& html, const char* objectName, QWidget* parent);

// The fitting range typed as temperatures ("T from" .. "to" [K], "Set
// Range"), beside the one-point steps and a click on the chart's points.
struct TypedRange {
    QLineEdit* low = nullptr;   // EditRangeLowT
    QLineEdit* high = nullptr;  // EditRangeHighT
    QPushButton* set = nullptr; // ButtonSetRange
};
// The controls in `grid` from `row` on, five columns wide.
TypedRange typedRange(QWidget* parent, QGridLayout* grid, int row);
// The two temperatures; a text that is not a number shows the
// conversion-error box and gives false.
bool readTypedRange(const TypedRange& r, double& low, double& high);
// The box when fewer than two points lie between the typed temperatures.
extern const char* const typedRangeRefused;
// How a point clicked on the chart sets the range.
extern const char* const clickHint;

} // namespace conventionalui
