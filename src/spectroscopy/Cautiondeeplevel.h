#pragma once

#include <QDialog>

class TFormDeepLevel : public QDialog {
    Q_OBJECT
public:
    explicit TFormDeepLevel(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
