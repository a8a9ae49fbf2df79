// "Best Model": the model the measured points support, found by the core's
// model selection (one to four species, excited states for p-type samples,
// chosen by an information criterion), with the standard error and verdict
// of every value, the alternatives it was chosen over, the fitted curve with
// each species' share and the residuals. The window renders the core's
// selection; a search can be cancelled and then leaves the results shown.
#pragma once

#include "analysis/modelselection/ModelSelection.h"
#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <memory>

class ChartPlot;
class QLabel;
class QPrinter;
class QProgressBar;
class QPushButton;
class QTableWidget;

class TFormBestModel : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    explicit TFormBestModel(QWidget* parent = nullptr);
    ~TFormBestModel() override;
    QWidget* widget() override { return this; }
    // Re-reads the analysis object; the results of an earlier search go.
    void prepare() override;
    void resetWindow() override { prepare(); }

    void ButtonSearchClick();
    void ButtonCancelClick();
    void ButtonSaveClick();
    void ButtonSaveFigureClick();
    void ButtonPrintClick();
    void ButtonHelpClick();

    const modelsel::Selection& selection() const { return selection_; }
    const std::string& fileName() const { return fileName_; }

    static const QString SaveFilter;

    QLabel* LabelSampleNumber = nullptr;
    QLabel* LabelModel = nullptr;     // the chosen model and its criterion
    QLabel* LabelStatus = nullptr;    // what happened last
    QTableWidget* GridSpecies = nullptr;
    QTableWidget* GridAlternatives = nullptr;
    QProgressBar* ProgressSearch = nullptr;
    QPushButton* ButtonSearch = nullptr;
    QPushButton* ButtonCancel = nullptr;
    QPushButton* ButtonSave = nullptr;
    QPushButton* ButtonSaveFigure = nullptr;
    QPushButton* ButtonPrint = nullptr;
    QPushButton* ButtonHelp = nullptr;
    QPushButton* ButtonClose = nullptr;
    ChartPlot* ChartFit = nullptr;
    ChartPlot* ChartResidual = nullptr;

    enum { FitMeasured = 0, FitModel = 1, FitSpecies = 2 }; // FitSpecies + k: species k
    enum { ResidualPoints = 0, ResidualZero = 1 };

private:
    void showSelection();
    void clearResults();

    modelsel::Data data_;
    modelsel::Selection selection_;
    std::string fileName_;
    bool searching_ = false;
    bool cancelRequested_ = false;
    std::unique_ptr<QPrinter> printer_;
};
