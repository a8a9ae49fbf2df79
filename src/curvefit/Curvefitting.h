// "Fine Adjustment by Curve Fitting": the simulated species adjusted by a
// damped least-squares fit to the measured points of a chosen temperature
// range, with the standard error of every adjusted value. The fit itself is
// the core's curvefit::Session; this window renders it.
#pragma once

#include "analysis/curvefit/CurveFitting.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <array>
#include <memory>

class ChartPlot;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;

class TFormCurveFitting : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    explicit TFormCurveFitting(QWidget* parent = nullptr);
    ~TFormCurveFitting() override;
    QWidget* widget() override { return this; }
    // The opening operation: reads the analysis object, simulates the
    // species of the simulation page, resets the range and the fields.
    void prepare() override;

    void ButtonCurveFittingClick();
    void ButtonInitializeClick();
    void ButtonDecreaseLowClick();
    void ButtonIncreaseLowClick();
    void ButtonDecreaseHighClick();
    void ButtonIncreaseHighClick();
    void ButtonSaveClick();
    void ButtonSaveFigureSimClick();
    void ButtonSaveFigureCurveClick();
    void ButtonPrintClick();

    const curvefit::Session& session() const { return session_; }

    static const QString SaveFilter;

    QLabel* LabelSampleNumber = nullptr;
    QLabel* LabelFileName = nullptr;
    QLabel* LabelProgramTitle = nullptr;
    // "Results obtained by VORN"
    std::array<QLabel*, 3> LabelEnergy{}, LabelDensity{}, LabelG{};
    QLabel* LabelCDensity = nullptr;
    // "Fine adjustment by curve-fitting"
    std::array<QLineEdit*, 3> EditCFEnergy{}, EditCFDensity{}, EditCFG{};
    QLineEdit* EditCFCDensity = nullptr;
    std::array<QCheckBox*, 3> CheckBoxUse{};
    // Standard errors beside the fields.
    std::array<QLabel*, 3> LabelErrorEnergy{}, LabelErrorDensity{};
    QLabel* LabelErrorCDensity = nullptr;
    // Donor and acceptor symbols of both groups (shown by conduction type).
    std::vector<QLabel*> donorPictures, acceptorPictures;
    QLabel* LabelWeight = nullptr;
    QLineEdit* EditWeight = nullptr;
    QCheckBox* CheckBoxPrecise = nullptr;
    QPushButton* ButtonDecreaseLow = nullptr;
    QPushButton* ButtonIncreaseLow = nullptr;
    QPushButton* ButtonDecreaseHigh = nullptr;
    QPushButton* ButtonIncreaseHigh = nullptr;
    QPushButton* ButtonCurveFitting = nullptr;
    QPushButton* ButtonInitialize = nullptr;
    QPushButton* ButtonPrint = nullptr;
    QPushButton* ButtonSave = nullptr;
    QPushButton* ButtonSaveFigureSim = nullptr;
    QPushButton* ButtonSaveFigureCurve = nullptr;
    ChartPlot* ChartSimulation = nullptr;
    ChartPlot* ChartCurveFitting = nullptr;

    // Series of the charts.
    enum { SimMeasured = 0, SimLine = 1 };
    enum { CurveMeasured = 0, CurveLow = 1, CurveHigh = 2, CurveFit = 3 };

private:
    // Controls from the session (fields, boxes, buttons, errors).
    void render();
    // Typed texts and ticks into the session.
    void collect();
    void drawMarkers();
    void drawFitLine();
    void afterRangeButton();

    curvefit::Session session_;
    std::unique_ptr<QPrinter> printer_;
};
