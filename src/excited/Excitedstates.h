// "Influence of Excted States of Dopant": the H1 species of the spectroscopy
// seen with the plain Fermi-Dirac function (first page) and evaluated again
// with the distribution function that includes the dopant's excited states
// (second page), with their result files *.simN and *.exc. The numbers live
// in ExcitedStates (core); this window shows them.
#pragma once

#include "analysis/excited/ExcitedStates.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <array>
#include <memory>

class ChartPlot;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QPrinter;
class QPushButton;
class QTabWidget;
class QWidget;

class TFormExcitedStates : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    // `releaseFlag` is the build setting; 1 is the shipped configuration.
    explicit TFormExcitedStates(int releaseFlag, QWidget* parent = nullptr);
    ~TFormExcitedStates() override;
    QWidget* widget() override { return this; }
    void prepare() override { prepareExcitedStatesWindow(); }

    void prepareExcitedStatesWindow();
    void clearExcitedStatesWindow();

    // ---- handlers --------------------------------------------------------------
    void ButtonAutoClick();                 // "Evaluation"
    void ButtonSaveNormalClick();           // "Save Simulation Results (*.simN)"
    void ButtonSaveExcitedStatesClick();    // "Save Obtained Results (*.exc)"
    void ButtonSaveFigureSimN1Click();
    void ButtonSaveFigureSimN2Click();
    void ButtonSaveFigureExc1Click();
    void ButtonSaveFigureExc2Click();
    void EditDielectricConstantChange();
    void PrintClick();
    void FileViewerClick();
    void ExitClick();
    void HelpClick();
    // Development setting only.
    void ButtonOptionClick();     // "Auto Mode Now" / "Precise Mode Now"
    void ButtonSimulationClick(); // "Simulation" of the page "Simulatoin"
    void ButtonSaveSIMClick();    // "Save (*.sie)"

    // The numbers behind the window.
    ExcitedStates state{C};
    static const QString SaveFilter;

    // ---- controls -----------------------------------------------------------------
    QMenuBar* MainMenu = nullptr;
    QAction* MenuPrint = nullptr;      // "Print"
    QAction* MenuFileViewer = nullptr; // "File Veiwer"
    QAction* MenuExit = nullptr;       // "Exit"
    QAction* MenuHelp = nullptr;       // "Help"
    QLabel* PanelSampleNumber = nullptr;
    QLabel* PanelFilename = nullptr;
    QTabWidget* PageControl = nullptr;
    QWidget* TabSheetFermiDirac = nullptr; // "Fermi-Dirac Distribution"
    QWidget* TabSheetExcited = nullptr;    // "Consideration of Influence of Excited States"

    // Page "Fermi-Dirac Distribution".
    QLabel* LabelConductionType1 = nullptr;
    QLabel* PictureIonizedNormal = nullptr; // N_D+ = ... (donor or acceptor form)
    QLabel* LabelGValue = nullptr;
    QLabel* LabelDensitySymbol1 = nullptr;
    QLabel* LabelEnergySymbol1 = nullptr;
    QLabel* LabelDensity1 = nullptr;
    QLabel* LabelEnergyLevel1 = nullptr;
    QLabel* LabelCompensatingDensity1 = nullptr;
    QPushButton* ButtonSaveNormal = nullptr;
    QLabel* LabelVersion1 = nullptr;
    ChartPlot* ChartH1Normal = nullptr;            // 0 measured H1, 1 simulated H1 (stage 1)
    ChartPlot* ChartConcentrationNormal = nullptr; // 0 measured points, 1 Fermi-Dirac simulation
    QPushButton* ButtonSaveFigureSimN1 = nullptr;
    QPushButton* ButtonSaveFigureSimN2 = nullptr;

    // Page "Consideration of Influence of Excited States".
    QGroupBox* GroupBoxExcitedLevels = nullptr; // "Calculate Excited State Level of Dopant"
    QLineEdit* EditDielectricConstant = nullptr;
    QLabel* LabelE1 = nullptr;                 // ground state level value
    // Levels 2..10 (index r-2): the value and its row (symbol, "=", value, unit).
    std::array<QLabel*, 9> LabelExcitedLevel{};
    std::array<QWidget*, 9> ExcitedLevelRow{};
    QLabel* PictureIonizedExcited = nullptr;
    QLabel* PictureAverageEnergy = nullptr;
    QLabel* LabelGValue2 = nullptr;
    QLabel* LabelEref = nullptr;
    QLabel* LabelPeakTemperature = nullptr;
    QLabel* LabelPeakValue = nullptr;
    QLabel* LabelDensity = nullptr;
    QLabel* LabelEnergyLevel = nullptr;
    QLabel* LabelCompensatingDensity = nullptr;
    QLabel* LabelDensityNormal = nullptr;
    QLabel* LabelEnergyLevelNormal = nullptr;
    QLabel* LabelCompensatingDensityNormal = nullptr;
    std::array<QLabel*, 4> DopantSymbols{}; // N_D / dE_D on page 2 (acceptor forms for p-type)
    QLabel* LabelVersion2 = nullptr;
    QPushButton* ButtonAuto = nullptr;              // "Evaluation"
    QPushButton* ButtonSaveExcitedStates = nullptr; // "Save Obtained Results (*.exc)"
    ChartPlot* ChartH1Excited = nullptr;            // 0 measured H1, 1 simulated with excited states
    ChartPlot* ChartConcentrationExcited = nullptr; // 0 measured points, 1 simulated with excited states
    QPushButton* ButtonSaveFigureExc1 = nullptr;
    QPushButton* ButtonSaveFigureExc2 = nullptr;

    // ---- development setting (releaseFlag 0; null in the shipped build) -------------
    QPushButton* ButtonOption = nullptr;
    QLabel* LabelHighestLevel = nullptr;        // "Highest level considered in VORN  r ="
    QLineEdit* EditHighestLevel = nullptr;
    QLabel* LabelShiftOfEnergyLevel = nullptr;  // "Shift Of Excited State Level from Ev ="
    QLineEdit* EditShiftOfEnergyLevel = nullptr;
    QLabel* LabelShiftUnit = nullptr;           // "meV"
    QWidget* TabSheetCurveFitting = nullptr;    // "Curve-fitting"
    QWidget* TabSheetSimulation = nullptr;      // "Simulatoin"
    QWidget* TabSheetDensityDependence = nullptr; // "Density Dependence"
    QLabel* LabelDensityCFT1 = nullptr;
    QLabel* LabelEnergyLevelCFT1 = nullptr;
    QLabel* LabelCompensatingDensityCFT1 = nullptr;
    std::array<QLabel*, 9> LabelECFT1{};        // levels 2..10
    std::array<QCheckBox*, 9> CheckBoxECFT{};
    std::array<QLineEdit*, 9> EditECFT{};
    QLineEdit* EditDensityCFT = nullptr;
    QLineEdit* EditEnergyLevelCFT = nullptr;
    QLineEdit* EditCompensatingDensityCFT = nullptr;
    QCheckBox* CheckBoxCompensatingDensityCFT = nullptr;
    QPushButton* ButtonCurveFitting = nullptr;  // no action
    QPushButton* ButtonSaveCFT = nullptr;       // "Save (*.cfe)", no action
    ChartPlot* ChartConcentrationCurveFitting = nullptr;
    ChartPlot* ChartH1CurveFitting = nullptr;
    QLabel* LabelDensitySIM1 = nullptr;
    QLabel* LabelEnergyLevelSIM1 = nullptr;
    QLabel* LabelCompensatingDensitySIM1 = nullptr;
    std::array<QLabel*, 9> LabelESIM1{};
    std::array<QCheckBox*, 9> CheckBoxESIM{};
    std::array<QLineEdit*, 9> EditESIM{};
    QCheckBox* CheckBoxHighestLevelSIM = nullptr; // "Highest level="
    QLineEdit* EditHighestLevelSIM = nullptr;
    QLineEdit* EditDensitySIM = nullptr;
    QLineEdit* EditEnergyLevelSIM = nullptr;
    QLineEdit* EditCompensatingDensitySIM = nullptr;
    QCheckBox* CheckBoxCompensatingDensitySIM = nullptr;
    QPushButton* ButtonSimulation = nullptr;
    QPushButton* ButtonSaveSIM = nullptr;
    ChartPlot* ChartConcentrationSimulation = nullptr;
    ChartPlot* ChartH1Simulation = nullptr;
    QLabel* LabelWithoutExcSIMC = nullptr;
    QLabel* LabelWithoutExcSIMH = nullptr;
    QPushButton* ButtonSaveFigureExcSIM1 = nullptr; // no action
    QPushButton* ButtonSaveFigureExcSIM2 = nullptr; // no action

protected:
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    int releaseFlag_ = 1;
    std::unique_ptr<QPrinter> printer_;
    void buildFermiDiracPage();
    void buildExcitedPage();
    bool development() const { return releaseFlag_ != 1; }
    QString saveFilter() const;
    // Development setting.
    void buildOption(class QGridLayout* levels);
    void buildExtraPages();
    void setExtraPagesVisible(bool visible);
    void prepareDevelopment();
    // Reads the shift (and in precise mode r) before "Evaluation"; false
    // after a conversion error.
    bool readDevelopmentInputs();
    void fillExtraPages();
    void setConductionForms(bool nType);
    void hideLevels();
    void showLevels();
    void showResultTexts(const QString& density, const QString& level, const QString& compensating);
};
