// "Only One Impurity": the freeze-out Arrhenius line of one donor or one
// acceptor without compensation over a range of measured points, the level
// and density from it, their simulated concentration and the *.CNO file.
#pragma once

#include "analysis/conventional/Conventional.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <array>
#include <memory>

class ChartPlot;
class QAction;
class QLabel;
class QPointF;
class QLineEdit;
class QPrinter;
class QPushButton;

class TFormConventionalAnalysis : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    explicit TFormConventionalAnalysis(QWidget* parent = nullptr);
    ~TFormConventionalAnalysis() override;
    QWidget* widget() override { return this; }
    // The opening operation: the full range of the data in the analysis
    // object, no results.
    void prepare() override;

    void ButtonDecreaseLowClick();
    void ButtonIncreaseLowClick();
    void ButtonDecreaseHighClick();
    void ButtonIncreaseHighClick();
    void ButtonAnalysisClick();
    void SaveClick();
    void ButtonSaveFigure1Click();
    void ButtonSaveFigure2Click();
    void PrintClick();
    void HelpClick();
    void ExitClick();

    static const QString SaveFilter;

    const conventional::OneImpurity& state() const { return state_; }
    QString fileName() const { return fileName_; }

    QAction* MenuSave = nullptr;
    QAction* MenuPrint = nullptr;
    QAction* MenuExit = nullptr;
    QAction* MenuHelp = nullptr;
    QLabel* LabelSampleNumber = nullptr;
    QLabel* LabelVersion = nullptr;
    QWidget* PanelNType = nullptr; // pictures and labels of a donor
    QWidget* PanelPType = nullptr; // of an acceptor
    QLabel* LabelA = nullptr;
    QLabel* LabelAp = nullptr;
    QLabel* LabelConductionType = nullptr;
    QLabel* LabelEnergyLevelSymbol = nullptr;
    QLabel* LabelDensitySymbol = nullptr;
    // The range typed as temperatures, and a point clicked on the chart.
    void ButtonSetRangeClick();
    void chartClicked(const QPointF& value);
    QLineEdit* EditRangeLowT = nullptr;
    QLineEdit* EditRangeHighT = nullptr;
    QPushButton* ButtonSetRange = nullptr;
    QLabel* LabelLow = nullptr;
    QLabel* LabelHigh = nullptr;
    QPushButton* ButtonDecreaseLow = nullptr;
    QPushButton* ButtonIncreaseLow = nullptr;
    QPushButton* ButtonDecreaseHigh = nullptr;
    QPushButton* ButtonIncreaseHigh = nullptr;
    QPushButton* ButtonAnalysis = nullptr;
    QLabel* LabelEnergyLevel = nullptr;
    QLabel* LabelDensity = nullptr;
    std::array<QLabel*, 3> LabelComment{};
    ChartPlot* ChartConventionalAnalysis1 = nullptr;
    ChartPlot* ChartConventionalAnalysis2 = nullptr;
    QPushButton* ButtonSaveFigure1 = nullptr;
    QPushButton* ButtonSaveFigure2 = nullptr;

    // Series of the two charts.
    enum { MeasuredSeries = 0, FitSeries = 1, LowBoundSeries = 2, HighBoundSeries = 3 };
    enum { SimulationSeries = 1 };

private:
    void buildLayout();
    void pressBound(conventional::FitRange::Button button);
    void showResultsReset();
    void placeMarker(int series, int index);
    // Both bound markers and labels after the range changed.
    void showRange();

    conventional::OneImpurity state_;
    QString fileName_;
    std::unique_ptr<QPrinter> printer_;
};
