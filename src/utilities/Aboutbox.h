// The about box: product title, version text of the analysis object as it
// was when the box was created, and the program's purpose.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    // Copies the version text of the analysis object. Run once at creation;
    // the box is not refreshed later, so it shows the version of the build.
    void prepare();

    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* LabelVersionInformation = nullptr;
    QLabel* LabelSince = nullptr;
    QLabel* Comments = nullptr;
    QLabel* LabelAuthor = nullptr;
    QLabel* LabelBuildTool = nullptr;
    QPushButton* OKButton = nullptr;
};
