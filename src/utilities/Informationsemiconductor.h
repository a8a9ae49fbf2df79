#pragma once

#include <QDialog>

class TFormInformation : public QDialog {
    Q_OBJECT
public:
    explicit TFormInformation(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
