#pragma once

#include <QMainWindow>

class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(int releaseFlag, QWidget* parent = nullptr);
};
