#include "app/ChartPlot.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(ChartPlot, LogAxisDropsNonPositiveValuesButKeepsTheRest)
{
    ChartPlot plot("Semilog");
    int s = plot.addSeries(ChartPlot::Kind::Circles);
    plot.setLeftLog(true);
    plot.setData(s, {{100, 1e15}, {200, 0}, {300, -5}, {400, 3e16}});
    EXPECT_EQ(plot.count(s), 4);
    EXPECT_EQ(plot.drawnCount(s), 2);
    // Range rounded outward to whole decades.
    EXPECT_DOUBLE_EQ(plot.leftMin(), 1e15);
    EXPECT_DOUBLE_EQ(plot.leftMax(), 1e17);
}

TEST(ChartPlot, SwitchingAxisToLogKeepsSeriesAndTitles)
{
    ChartPlot plot;
    int a = plot.addSeries(ChartPlot::Kind::Line);
    int b = plot.addSeries(ChartPlot::Kind::Crosses, Qt::red);
    plot.setLeftTitle("Hole Concentration  [cm^-3]");
    plot.setData(a, {{1, 10}, {2, 100}});
    plot.setData(b, {{1, 20}});
    plot.setLeftLog(true);
    EXPECT_EQ(plot.leftTitle(), "Hole Concentration  [cm^-3]");
    EXPECT_EQ(plot.count(a), 2);
    EXPECT_EQ(plot.count(b), 1);
    plot.clearSeries(a);
    EXPECT_EQ(plot.count(a), 0);
    EXPECT_EQ(plot.count(b), 1);
}

TEST(ChartPlot, SavedFigureIsABitmapAndFailureKeepsOldFile)
{
    QTemporaryDir dir;
    ChartPlot plot("Linear");
    int s = plot.addSeries(ChartPlot::Kind::Circles);
    plot.setData(s, {{1, 1}, {2, 4}});
    QString err;
    QString path = dir.path() + "/sampleCon1.bmp";
    ASSERT_TRUE(plot.saveImage(path, err)) << err.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.read(2), QByteArray("BM"));
    f.close();
    QImage img(path);
    EXPECT_FALSE(img.isNull());

    EXPECT_FALSE(plot.saveImage(dir.path() + "/missing/dir/x.bmp", err));
    EXPECT_FALSE(err.isEmpty());
}
