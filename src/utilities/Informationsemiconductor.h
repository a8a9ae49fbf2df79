// The semiconductor information window: a read-only reference grid of the
// 77 materials (masses, band extrema, dielectric constant, crystal and band
// structure, band gap, sources) with the bibliography, footnotes and notes on
// the symbols. Display only; the computations use the material table.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QTableWidget;

class TFormInformation : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormInformation(QWidget* parent = nullptr);
    // Refills all 78 x 13 cells (row by row, columns 0 to 12) and the label
    // texts; run before every showing.
    void prepare() override;

    // Row 0 and column 0 are the fixed title cells.
    QTableWidget* StringGridMaterial = nullptr;
    QGroupBox* GroupBoxReferences = nullptr;
    QGroupBox* GroupBoxComments = nullptr;
    QGroupBox* GroupBoxNotes = nullptr;
    std::array<QLabel*, 6> LabelReference{};
    std::array<QLabel*, 8> LabelComment{};
    std::array<QLabel*, 4> LabelNote{};
};
