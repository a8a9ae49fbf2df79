#include "toolkit/ScreenFit.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QPointer>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>

namespace {
// Room for the window manager's frame and title bar, which the widget's own
// geometry does not include before the window is first mapped.
const QSize kFrameAllowance(16, 40);
// A screen that reports no panel of its own (no window manager says where
// it is) is taken to have a taskbar of this height at its bottom.
const int kAssumedTaskbar = 48;
const char* const kScrollWrapped = "vornScrollWrapped";

// A dialog whose contents need more room than the screen has gets them in a
// scroll area, so that every control stays within reach.
void scrollWhenTooLarge(QWidget* window, const QSize& room)
{
    auto* dialog = qobject_cast<QDialog*>(window);
    QLayout* layout = window->layout();
    if (!dialog || !layout || window->property(kScrollWrapped).toBool())
        return;
    const QSize needed = window->minimumSizeHint();
    if (needed.width() <= room.width() && needed.height() <= room.height())
        return;
    window->setProperty(kScrollWrapped, true);
    auto* content = new QWidget;
    content->setObjectName("ScrolledContents");
    // Takes the layout over, with the widgets it holds.
    content->setLayout(layout);
    auto* area = new QScrollArea(window);
    area->setObjectName("ScrollArea");
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(content);
    auto* outer = new QVBoxLayout(window);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(area);
    // Moved and created while the window is being shown: shown with it.
    content->show();
    area->show();
}

// The window's frame (title bar included) within `available`, once the
// window manager has put one around it; nothing without a window manager.
void fitFrameWithin(QWidget* w, const QRect& available)
{
    const QRect frame = w->frameGeometry();
    const QSize margins = frame.size() - w->size();
    if (margins.isEmpty() || available.isEmpty())
        return;
    const QSize most = (available.size() - margins).expandedTo(QSize(100, 100));
    if (w->width() > most.width() || w->height() > most.height())
        w->resize(w->size().boundedTo(most).expandedTo(w->minimumSize()));
    const QSize outer = w->size() + margins;
    const int x = std::clamp(frame.x(), available.left(), std::max(available.left(), available.right() + 1 - outer.width()));
    const int y = std::clamp(frame.y(), available.top(), std::max(available.top(), available.bottom() + 1 - outer.height()));
    if (QPoint(x, y) != frame.topLeft())
        w->move(x, y); // a shown window's position is that of its frame
}

class ScreenFitter : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* w = static_cast<QWidget*>(watched);
            const Qt::WindowType type = w->windowType();
            if (w->isWindow() && type != Qt::Popup && type != Qt::ToolTip && type != Qt::SplashScreen) {
                if (QScreen* s = w->screen() ? w->screen() : QGuiApplication::primaryScreen()) {
                    QRect available = s->availableGeometry();
                    if (available == s->geometry())
                        available.setBottom(available.bottom() - kAssumedTaskbar);
                    fitWithin(w, available);
                    // The frame a window manager adds is known only once the
                    // window is mapped: then the frame itself is brought in.
                    QPointer<QWidget> guarded(w);
                    for (int delay : {150, 600})
                        QTimer::singleShot(delay, w, [guarded, s] {
                            if (guarded && guarded->isVisible() && !guarded->isMaximized())
                                fitFrameWithin(guarded, s->availableGeometry());
                        });
                }
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
    scrollWhenTooLarge(window, room);
    if (window->layout())
        window->layout()->activate();
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
