#include "utilities/Html.h"

TFormHTML::TFormHTML(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormHTML");
    setWindowTitle("Help");
}

void TFormHTML::prepare() {}
