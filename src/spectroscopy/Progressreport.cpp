#include "spectroscopy/Progressreport.h"

#include "Analysis.h"
#include "app/Forms.h"
#include "spectroscopy/Detailedprogressreport.h"

#include <QCoreApplication>
#include <algorithm>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QVBoxLayout>

TFormProgressReport::TFormProgressReport(QWidget* parent) : QDialog(parent)
{
    setObjectName("FormProgressReport");
    setWindowTitle("Progress Report");
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setMinimumWidth(360);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ProgressBar1);
    prepare();
}

void TFormProgressReport::prepare()
{
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
}

namespace {

class WindowProgressReporter : public ProgressReporter {
public:
    void show(int bar, int maximum) override
    {
        QDialog* w = window(bar);
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
        if (QDialog* w = window(bar)) {
            w->hide();
            repaint(true);
        }
    }

private:
    static QDialog* window(int bar)
    {
        if (bar == Main)
            return FormProgressReport;
        if (bar == Detailed)
            return FormDetailedProgressReport;
        return nullptr;
    }
    static QProgressBar* progressBar(int bar)
    {
        if (bar == Main)
            return FormProgressReport ? FormProgressReport->ProgressBar1 : nullptr;
        if (bar == Detailed)
            return FormDetailedProgressReport ? FormDetailedProgressReport->ProgressBar1 : nullptr;
        return nullptr;
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
