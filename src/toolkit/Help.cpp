#include "toolkit/Help.h"

#include "toolkit/WindowRegistry.h"

#include <QWidget>

void showHelp(const QString& page)
{
    ManagedWindow* w = windows().find(WindowId::HTML);
    if (!w)
        return;
    if (!page.isEmpty())
        w->navigate("qrc:/manual/" + page);
    w->widget()->show();
    w->widget()->raise();
}
