#pragma once

#include <QDialog>

class TFormHTML : public QDialog {
    Q_OBJECT
public:
    explicit TFormHTML(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
