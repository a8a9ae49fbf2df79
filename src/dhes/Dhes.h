// "Differential Hall Effect Spectroscopy (DHES)": the measured DHES against
// the Fermi level, up to four peaks stepped, evaluated and compared with
// their theoretical signals, their sum, and the *.DHES file. Reads the
// analysis object only.
#pragma once

#include "analysis/dhes/DhesSpectrum.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <array>
#include <memory>

class ChartPlot;
class QLabel;
class QPrinter;
class QPushButton;

class TFormDHES : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    explicit TFormDHES(QWidget* parent = nullptr);
    ~TFormDHES() override;
    QWidget* widget() override { return this; }
    // The opening operation: D recomputed from the analysis object, every
    // peak and curve discarded.
    void prepare() override;

    // Series of ChartDHES, in the order they are added.
    enum Series {
        SeriesMeasured = 0,
        SeriesTheoretical = 1, // + peak
        SeriesMarker = 5,      // + peak
        SeriesApproximate = 9, // + peak
        SeriesSum = 13,
        SeriesCount = 14
    };
    static const QString SaveFilter;

    // Handlers; `peak` is 0 for the first peak.
    void ButtonPreviousClick(int peak);
    void ButtonNextClick(int peak);
    void ButtonEvaluationClick(int peak);
    void ButtonClearClick(int peak);
    void ButtonDrawClick(int peak);
    void ButtonSumClick();
    void ButtonSaveClick();
    void ButtonSaveFigureClick();
    void ButtonPrintClick();
    void ButtonHelpClick();

    const dhes::State& state() const { return state_; }

    QLabel* LabelNType = nullptr;
    QLabel* LabelPType = nullptr;
    // Formula pictures: [0] n-type form, [1] p-type form.
    std::array<QLabel*, 2> ImageDefinition{}, ImageEnergy{}, ImageDensity{}, ImageTheoretical{},
        ImageApproximate{};
    QLabel* ImageG2 = nullptr;
    QLabel* ImageG4 = nullptr;
    QLabel* LabelSampleNumber = nullptr;
    QLabel* LabelVersion = nullptr;
    QPushButton* ButtonHelp = nullptr;
    std::array<QLabel*, 4> LabelEnergy{}, LabelDensity{};
    std::array<QPushButton*, 4> ButtonPrevious{}, ButtonNext{}, ButtonEvaluation{}, ButtonClear{};
    std::array<QPushButton*, 4> ButtonDraw{};
    QPushButton* ButtonSum = nullptr;
    QPushButton* ButtonSave = nullptr;
    QPushButton* ButtonPrint = nullptr;
    ChartPlot* ChartDHES = nullptr;
    QPushButton* ButtonSaveFigure = nullptr;

private:
    void build();
    // Controls, labels and series as the state holds them.
    void render();
    void showCurve(int series, const DoubleArray& values);
    dhes::State state_;
    std::unique_ptr<QPrinter> printer_;
};
