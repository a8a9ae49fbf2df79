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

// Such a file is refused by the reader with the line of the first value that
// no sample can hold: an error box, nothing loaded, nothing drawn, no crash.
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
    ASSERT_FALSE(script.messages.empty());
    EXPECT_NE(script.lastText().toStdString().find("line 18: the concentration 1E308 cm^-3 is outside"),
              std::string::npos)
        << script.lastText().toStdString();
    EXPECT_EQ(C.dataCount, 0);
    EXPECT_EQ(m->ChartExperimentalLog->count(0), 0);
    EXPECT_FALSE(m->ButtonCalcSpline->isEnabled());
}
