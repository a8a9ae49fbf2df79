#include "toolkit/ProgressWindows.h"

#include "analysis/data/Analysis.h"
#include "toolkit/WindowRegistry.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QWidget>
#include <algorithm>

namespace {

class WindowProgressReporter : public ProgressReporter {
public:
    void show(int bar, int maximum) override
    {
        QWidget* w = window(bar);
        QProgressBar* b = progressBar(bar);
        if (!w || !b)
            return;
        b->setRange(0, maximum > 0 ? maximum : 0);
        b->setValue(0);
        w->show();
        repaint(true);
    }
    void setPosition(int bar, int position) override
    {
        if (QProgressBar* b = progressBar(bar)) {
            b->setValue(clamped(b, position));
            repaint(false);
        }
    }
    void step(int bar, int by) override
    {
        if (QProgressBar* b = progressBar(bar)) {
            b->setValue(clamped(b, std::max(b->value(), b->minimum()) + by));
            repaint(false);
        }
    }
    void close(int bar) override
    {
        if (QWidget* w = window(bar)) {
            w->hide();
            repaint(true);
        }
    }

private:
    static ManagedWindow* managed(int bar)
    {
        if (bar == Main)
            return windows().find(WindowId::ProgressReport);
        if (bar == Detailed)
            return windows().find(WindowId::DetailedProgressReport);
        return nullptr;
    }
    static QWidget* window(int bar)
    {
        ManagedWindow* w = managed(bar);
        return w ? w->widget() : nullptr;
    }
    static QProgressBar* progressBar(int bar)
    {
        ManagedWindow* w = managed(bar);
        return w ? w->progressBar() : nullptr;
    }
    // QProgressBar ignores values outside its range; a step past the end
    // should leave the bar full, not where it was.
    static int clamped(const QProgressBar* b, int value)
    {
        return std::clamp(value, b->minimum(), std::max(b->minimum(), b->maximum()));
    }
    // Events are handled at most every 40 ms so that a computation with
    // thousands of steps does not spend its time repainting.
    void repaint(bool now)
    {
        if (!now && timer_.isValid() && timer_.elapsed() < 40)
            return;
        timer_.start();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    QElapsedTimer timer_;
};

} // namespace

ProgressReporter* windowProgressReporter()
{
    static WindowProgressReporter reporter;
    return &reporter;
}
