// "Print" of every window: the printer dialog, then an image of the window
// as displayed, scaled to the printable area.
#pragma once

#include <QString>

class QPrinter;
class QWidget;

// `failure` is the error shown when the printer cannot be started.
void printWindow(QWidget* window, QPrinter* printer, const QString& failure = "The window could not be printed.");
