// "Obtained Results": a read-only summary of the sample, the files of every
// stage and the densities and energy levels found, saved as *.datH/*.datS
// or printed.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>
#include <QStringList>
#include <memory>

class QPlainTextEdit;
class QPrinter;
class QToolButton;

class TFormObtainedResults : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TFormObtainedResults(QWidget* parent = nullptr);
    ~TFormObtainedResults() override;

    void clearText();
    // Clears the text and refills the 21 summary lines from the analysis object.
    void prepare() override;
    // Back to the state of creation: labels only, no saved file, caption
    // "Obtained Results".
    void resetWindow() override;

    QStringList lines() const;
    // Path of the last successful save (empty before the first one).
    QString savedPath() const { return savedPath_; }
    // False from the last change of the text until it is saved.
    bool isTextSaved() const;

    void ToolButtonSaveClick();
    void ToolButtonPrintClick();

    static const QString SaveFilter;

    QToolButton* ToolButtonSave = nullptr;
    QToolButton* ToolButtonPrint = nullptr;
    QPlainTextEdit* RichEditResults = nullptr;
    // The printer the print set-up configures (kept between prints).
    QPrinter* printer() const { return printer_.get(); }

private:
    void setLines(const std::vector<std::string>& lines);
    QString savedPath_;
    std::unique_ptr<QPrinter> printer_;
};
