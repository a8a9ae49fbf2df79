#include "app/Hall.h"

TFormMain::TFormMain(int, QWidget* parent) : QMainWindow(parent)
{
    setWindowTitle("VORN");
}
