#pragma once

#include <QDialog>

class TFormFunctionType : public QDialog {
    Q_OBJECT
public:
    explicit TFormFunctionType(QWidget* parent = nullptr);
    // Re-reads the analysis object before each showing.
    void prepare();
};
