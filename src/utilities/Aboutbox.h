// The about box: product title, version text of the analysis object as it
// was when the box was created, and the program's purpose.
#pragma once

#include "toolkit/WindowRegistry.h"

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog, public ManagedWindow {
    Q_OBJECT
public:
    QWidget* widget() override { return this; }
    explicit TAboutBox(QWidget* parent = nullptr);
    // Copies the version text of the analysis object. Run once at creation;
    // the box is not refreshed later, so it shows the version of the build.
    void prepare() override;

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* LabelVersionInformation = nullptr;
    QLabel* LabelSince = nullptr;
    QLabel* Comments = nullptr;
    QLabel* LabelAuthor = nullptr;
    QLabel* LabelManual = nullptr;
    QLabel* LabelBuildTool = nullptr;
    QPushButton* OKButton = nullptr;
};
