#include "toolkit/PrintWindow.h"

#include "toolkit/Modal.h"

#include <QPainter>
#include <QPixmap>
#include <QPrinter>
#include <QWidget>

void printWindow(QWidget* window, QPrinter* printer, const QString& failure)
{
    if (!modal().printerSetup(window, printer))
        return;
    const QPixmap image = window->grab();
    QPainter painter;
    if (!painter.begin(printer)) {
        modal().error(window, failure);
        return;
    }
    const QRect page = painter.viewport();
    QSize size = image.size();
    size.scale(page.size(), Qt::KeepAspectRatio);
    painter.setViewport(page.x(), page.y(), size.width(), size.height());
    painter.setWindow(image.rect());
    painter.drawPixmap(0, 0, image);
    painter.end();
}
