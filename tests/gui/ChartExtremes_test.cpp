// Values a chart cannot place never reach the chart library: extreme but
// valid concentrations are left out of the charts instead of crashing.
#include "HallTestSupport.h"
#include "TestFiles.h"

#include <cfloat>
#include <cmath>

TEST(ChartExtremes, UndrawableValuesAreLeftOutOnEveryAxisKind)
{
    const double inf = INFINITY;
    struct Case {
        bool log;
        QVector<QPointF> points;
        int drawn;
    } cases[] = {
        {true, {{1, 1e308}, {2, DBL_MAX}, {3, 1.5e308}}, 0},
        {true, {{1, 1e15}, {2, 1e308}, {3, inf}, {4, NAN}, {5, 1e-310}}, 1},
        {false, {{1, 1e308}, {2, -DBL_MAX}, {3, 2}}, 1},
        {false, {{1, 1e300}, {2, -1e300}}, 2},
    };
    for (const Case& c : cases) {
        ChartPlot plot;
        const int s = plot.addSeries(ChartPlot::Kind::Circles);
        plot.setLeftLog(c.log);
        plot.setData(s, c.points);
        EXPECT_EQ(plot.count(s), c.points.size());
        EXPECT_EQ(plot.drawnCount(s), c.drawn);
        if (c.log) {
            EXPECT_TRUE(std::isfinite(plot.leftMin()) && std::isfinite(plot.leftMax()));
            EXPECT_LT(plot.leftMin(), plot.leftMax());
        }
    }
}

class ChartExtremesWindow : public MainWindowTest {};

// Loading such a file draws what can be drawn; the analysis then refuses
// with a message rather than failing silently or crashing.
TEST_F(ChartExtremesWindow, LoadingConcentrationsNearTheLargestDoubleDoesNotCrash)
{
    testfiles::TempDir dir;
    // The header of an example, four extreme points.
    ASSERT_TRUE(testfiles::exampleReadable("si_p_single.nT"));
    const std::string example = testfiles::readAll(testfiles::examplePath("si_p_single.nT"));
    std::string text;
    std::size_t at = 0;
    for (int line = 0; line < 17; ++line) {
        const std::size_t end = example.find('\n', at) + 1;
        std::string l = example.substr(at, end - at);
        if (line == 14)
            l = "% Number of data: 4\r\n";
        text += l;
        at = end;
    }
    text += "100 1e308 1\r\n200 1.7976931348623157e308 1\r\n300 1.5e308 1\r\n400 1e308 1\r\n";
    testfiles::writeAll(dir.file("extreme.nT"), text);

    TFormMain* m = create(1);
    load(m, QString::fromStdString(dir.file("extreme.nT")));
    ASSERT_TRUE(script.messages.empty()) << script.lastText().toStdString();
    EXPECT_EQ(C.dataCount, 4);
    EXPECT_EQ(m->ChartExperimentalLog->drawnCount(0), 0);
    // The spline either comes out finite and positive everywhere, or is
    // refused with a message.
    m->ButtonCalcSplineClick();
    if (m->ButtonSaveSpline->isEnabled()) {
        for (double n : C.splineConcentration)
            ASSERT_TRUE(std::isfinite(n) && n > 0) << n;
    } else {
        EXPECT_FALSE(script.messages.empty());
    }
}
