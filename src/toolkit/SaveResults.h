// The "Save" and "Save Figure" buttons of the analysis windows: one dialog,
// one writer, one error box.
#pragma once

#include "analysis/data/Outcomes.h"

#include <QString>
#include <functional>
#include <string>

class ChartPlot;
class QPushButton;
class QWidget;

// The save dialog proposing `name` (filter entry `filterIndex`), the dialog's
// default extension when one is given, then `write`; an error box with the
// writer's text when it fails. True when written; `name` then holds the path.
bool saveResultsFile(QWidget* parent, const QString& filter, int filterIndex, QString& name,
                     const std::function<FileOutcome(const std::string&)>& write,
                     const std::string& defaultExtension = {});

// A "Save Figure" proposing `resultFile` with its extension replaced by
// `suffix` ("CNO1.bmp"); a figure written disables `button`.
bool saveFigureOf(QWidget* parent, ChartPlot* chart, QPushButton* button, const QString& filter,
                  int filterIndex, const std::string& resultFile, const char* suffix);
