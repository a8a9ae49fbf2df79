#include "toolkit/ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace {
// Room for the window manager's frame and title bar, which the widget's own
// geometry does not include before the window is first mapped.
const QSize kFrameAllowance(16, 40);

class ScreenFitter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            const Qt::WindowType type = w->windowType();
            if (w->isWindow() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen) {
                if (QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen())
                    fitWithin(w, s->availableGeometry());
            }
        }
        return QObject::eventFilter(watched, event);
    }
};
} // namespace

void fitWithin(QWidget* window, const QRect& available)
{
    if (available.isEmpty())
        return;
    const QSize room = (available.size() - kFrameAllowance).expandedTo(QSize(100, 100));
    QSize size = window->size().boundedTo(room).expandedTo(window->minimumSize());
    if (size != window->size())
        window->resize(size);
    const QPoint at = window->pos();
    const int x = std::clamp(at.x(), available.left(), std::max(available.left(), available.right() + 1 - size.width() - kFrameAllowance.width()));
    const int y = std::clamp(at.y(), available.top(), std::max(available.top(), available.bottom() + 1 - size.height() - kFrameAllowance.height()));
    if (QPoint(x, y) != at)
        window->move(x, y);
}

void installScreenFitting()
{
    static ScreenFitter* fitter = nullptr;
    if (fitter || !qApp)
        return;
    fitter = new ScreenFitter(qApp);
    qApp->installEventFilter(fitter);
}
