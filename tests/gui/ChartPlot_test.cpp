#include "toolkit/ChartPlot.h"
#include "TestFiles.h"

#include <QDir>
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
    // Range rounded outward to whole decades, with a margin: a point on a
    // decade is not drawn on the axis line.
    EXPECT_DOUBLE_EQ(plot.leftMin(), 1e14);
    EXPECT_DOUBLE_EQ(plot.leftMax(), 1e17);
    // A span of many decades is labelled every few of them.
    plot.setData(s, {{100, 1e-40}, {400, 1e17}});
    EXPECT_DOUBLE_EQ(plot.leftMin(), 1e-42);
    EXPECT_DOUBLE_EQ(plot.leftMax(), 1e18);
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
    const QByteArray saved = f.readAll();
    f.close();
    EXPECT_TRUE(saved.startsWith("BM"));
    EXPECT_FALSE(QImage(path).isNull());

    // Another figure on a disk that takes no more bytes: the save fails and
    // the figure saved before stays byte for byte.
    plot.setData(s, {{1, 4}, {2, 1}});
    bool replaced = true;
    {
        testfiles::FullDisk full;
        ASSERT_TRUE(full.active());
        replaced = plot.saveImage(path, err);
    }
    EXPECT_FALSE(replaced);
    EXPECT_TRUE(err.contains(path)) << err.toStdString();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), saved);

    err.clear();
    EXPECT_FALSE(plot.saveImage(dir.path() + "/missing/dir/x.bmp", err));
    EXPECT_FALSE(err.isEmpty());
    // No temporary file is left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"sampleCon1.bmp"});
}

TEST(ChartPlot, HiddenChartDrawsItsLatestDataWhenShownOrSaved)
{
    // A hidden chart keeps its points until it is shown or rendered; the
    // figure must still show the data last set, not an earlier state.
    auto redPixels = [](const QImage& img) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb c = img.pixel(x, y);
                n += qRed(c) > 150 && qGreen(c) < 110 && qBlue(c) < 110;
            }
        return n;
    };
    ChartPlot plot("Linear");
    int s = plot.addSeries(ChartPlot::Kind::Line, Qt::red);
    plot.resize(500, 400);
    ASSERT_FALSE(plot.isVisible());
    EXPECT_EQ(redPixels(plot.renderImage()), 0);
    plot.setData(s, {{0, 0}, {1, 1}});
    plot.clearSeries(s);
    QVector<QPointF> line;
    for (int i = 0; i <= 100; ++i)
        line.push_back(QPointF(i, (i % 20) < 10 ? 0.25 : 0.75));
    plot.setData(s, line);
    EXPECT_EQ(plot.count(s), 101);
    EXPECT_GT(redPixels(plot.renderImage()), 40) << "the line is missing from the figure";

    plot.show();
    plot.setData(s, {});
    EXPECT_EQ(plot.count(s), 0);
    EXPECT_EQ(redPixels(plot.renderImage()), 0) << "a cleared line is still drawn";
}
