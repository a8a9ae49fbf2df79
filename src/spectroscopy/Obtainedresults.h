#pragma once

#include <QDialog>

class TFormObtainedResults : public QDialog {
    Q_OBJECT
public:
    explicit TFormObtainedResults(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
