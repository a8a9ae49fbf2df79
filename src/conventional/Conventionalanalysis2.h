// "One Donor and One Acceptor": the compensating density that makes the
// Arrhenius line of y = n(n + N_comp)/(N_net - n)/T^3/2 straightest for a
// typed net density, the level and density-of-states factor from that line,
// the simulated concentration and the *.CNC file.
#pragma once

#include "analysis/conventional/Conventional.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <memory>

class ChartPlot;
class QLabel;
class QPointF;
class QLineEdit;
class QPrinter;
class QPushButton;

class TFormConventionalAnalysis2 : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    explicit TFormConventionalAnalysis2(QWidget* parent = nullptr);
    ~TFormConventionalAnalysis2() override;
    QWidget* widget() override { return this; }
    // The opening operation: full range, the net density proposed from the
    // highest-temperature point, no results.
    void prepare() override;

    void ButtonDecreaseLowClick();
    void ButtonIncreaseLowClick();
    void ButtonDecreaseHighClick();
    void ButtonIncreaseHighClick();
    void ButtonEvaluationClick();
    void ButtonSaveClick();
    void ButtonSaveFigure1Click();
    void ButtonSaveFigure2Click();
    void ButtonPrintClick();
    void ButtonHelpClick();

    static const QString SaveFilter;

    const conventional::DonorAcceptor& state() const { return state_; }
    QString fileName() const { return fileName_; }

    QLabel* LabelSampleNumber = nullptr;
    QLabel* LabelVersion = nullptr;
    QLabel* LabelConductionType = nullptr;
    QWidget* PanelNType = nullptr; // relation picture of a donor with compensation
    QWidget* PanelPType = nullptr;
    QLabel* LabelDegeneracy = nullptr;
    QLabel* LabelMass = nullptr;
    QLabel* LabelMinima = nullptr;
    QWidget* PanelMinima = nullptr;
    QLabel* ImageNetDensityN = nullptr;
    QLabel* ImageNetDensityP = nullptr;
    // The range typed as temperatures, and a point clicked on the chart.
    void ButtonSetRangeClick();
    void chartClicked(const QPointF& value);
    QLineEdit* EditRangeLowT = nullptr;
    QLineEdit* EditRangeHighT = nullptr;
    QPushButton* ButtonSetRange = nullptr;
    QLabel* LabelLow = nullptr;
    QLabel* LabelHigh = nullptr;
    QLineEdit* EditNetDensity = nullptr;
    QPushButton* ButtonDecreaseLow = nullptr;
    QPushButton* ButtonIncreaseLow = nullptr;
    QPushButton* ButtonDecreaseHigh = nullptr;
    QPushButton* ButtonIncreaseHigh = nullptr;
    QPushButton* ButtonEvaluation = nullptr;
    QLabel* LabelDonorDensity = nullptr;
    QLabel* LabelAcceptorDensity = nullptr;
    QLabel* LabelEnergyLevelSymbol = nullptr;
    QLabel* LabelEnergyLevel = nullptr;
    QLabel* ImageFactorN = nullptr; // M_C/g (m*/m0)^3/2
    QLabel* ImageFactorP = nullptr; // (1/g) (m*/m0)^3/2
    QLabel* LabelG = nullptr;
    QPushButton* ButtonSave = nullptr;
    QPushButton* ButtonPrint = nullptr;
    QPushButton* ButtonHelp = nullptr;
    ChartPlot* ChartCAWithCom1 = nullptr;
    ChartPlot* ChartCAWithCom2 = nullptr;
    QPushButton* ButtonSaveFigure1 = nullptr;
    QPushButton* ButtonSaveFigure2 = nullptr;

    // Series of the first chart, then of the second.
    enum { MeasuredSeries = 0, LowBoundSeries = 1, HighBoundSeries = 2, SimulationSeries = 3 };
    enum { YSeries = 0, FitSeries = 1 };

private:
    void buildLayout();
    void pressBound(conventional::FitRange::Button button);
    void showResultsReset();
    void placeMarker(int series, int index);
    // Both bound markers and labels after the range changed.
    void showRange();
    void fillY();

    conventional::DonorAcceptor state_;
    QString fileName_;
    std::unique_ptr<QPrinter> printer_;
};
