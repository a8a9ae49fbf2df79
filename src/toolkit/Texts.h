// Qt texts of the core's display formats, shared by every window so that a
// label shows exactly what the files and the batch tables write.
#pragma once

#include "analysis/base/NumberFormat.h"

#include <QString>
#include <string>

inline QString qs(const std::string& s) { return QString::fromStdString(s); }
inline QString densityText(double v) { return qs(numfmt::density(v)); }
inline QString energyText(double v) { return qs(numfmt::energy(v)); }
inline QString degeneracyText(double v) { return qs(numfmt::degeneracy(v)); }
