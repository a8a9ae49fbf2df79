// Reading a chart and exporting it: legend, zoom and its reset, the read-out
// under the cursor, markers kept off the edge, figures at a chosen size.
#include "toolkit/ChartPlot.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QProcess>
#include <QStandardPaths>
#include <QTransform>
#include <QValueAxis>
#include <cmath>
#include <QXmlStreamReader>
#include <QFileInfo>
#include <QRegularExpression>
#include <QImage>
#include <QMouseEvent>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct TextBox {
    QString text;
    QRectF box;
};

// The boxes of the texts of an SVG drawing, in view-box units: each text's
// advance and its font's ascent and descent at its font size, through the
// transforms of the groups around it.
std::vector<TextBox> svgTextBoxes(const QByteArray& svg)
{
    std::vector<TextBox> boxes;
    std::vector<QTransform> stack{QTransform()};
    std::vector<QString> fonts{QString()};
    std::vector<double> sizes{12};
    QXmlStreamReader xml(svg);
    const auto matrix = [](const QString& t) {
        const QRegularExpressionMatch m =
            QRegularExpression(R"(matrix\(([^,]+),([^,]+),([^,]+),([^,]+),([^,]+),([^)]+)\))").match(t);
        if (!m.hasMatch())
            return QTransform();
        return QTransform(m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                          m.captured(4).toDouble(), m.captured(5).toDouble(), m.captured(6).toDouble());
    };
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto a = xml.attributes();
            stack.push_back(matrix(a.value("transform").toString()) * stack.back());
            fonts.push_back(a.hasAttribute("font-family") ? a.value("font-family").toString() : fonts.back());
            sizes.push_back(a.hasAttribute("font-size") ? a.value("font-size").toDouble() : sizes.back());
            if (xml.name() == QLatin1String("text")) {
                const double x = a.value("x").toDouble(), y = a.value("y").toDouble();
                const QString text = xml.readElementText().trimmed();
                QFont f(fonts.back());
                f.setPixelSize(std::max(1, int(std::lround(sizes.back()))));
                const QFontMetricsF fm(f);
                const QRectF local(x, y - fm.ascent(), fm.horizontalAdvance(text), fm.ascent() + fm.descent());
                if (!text.isEmpty())
                    boxes.push_back({text, stack.back().mapRect(local)});
                stack.pop_back();
                fonts.pop_back();
                sizes.pop_back();
            }
        } else if (xml.isEndElement()) {
            stack.pop_back();
            fonts.pop_back();
            sizes.pop_back();
        }
    }
    return boxes;
}

// Sends a mouse event to the chart as the window system does.
void mouse(ChartPlot& plot, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, at, plot.viewport()->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(plot.viewport(), &e);
}

// The view position of a data point.
QPointF viewPoint(ChartPlot& plot, QPointF value)
{
    return plot.mapFromScene(plot.chart()->mapToScene(plot.chart()->mapToPosition(value)));
}
} // namespace

TEST(ChartReading, LegendNamesEveryShownSeriesThatHasPoints)
{
    ChartPlot plot;
    const int points = plot.addSeries(ChartPlot::Kind::Circles, Qt::blue, "Measured points");
    const int line = plot.addSeries(ChartPlot::Kind::Line, Qt::black, "Spline");
    const int peak = plot.addSeries(ChartPlot::Kind::Squares, Qt::green, "Peak");
    EXPECT_TRUE(plot.legendNames().isEmpty());
    plot.setData(points, {{100, 1}, {200, 2}});
    plot.setData(line, {{100, 1}, {200, 2}});
    EXPECT_EQ(plot.legendNames(), (QStringList{"Measured points", "Spline"}));
    plot.addPoint(peak, 150, 1.5);
    plot.setSeriesVisible(line, false);
    EXPECT_EQ(plot.legendNames(), (QStringList{"Measured points", "Peak"}));
    plot.setSeriesName(points, "Measured p(T)");
    plot.clearSeries(peak);
    EXPECT_EQ(plot.legendNames(), (QStringList{"Measured p(T)"}));
}

TEST(ChartReading, RubberBandZoomsAndDoubleClickRestoresTheRanges)
{
    struct Case {
        bool log;
        QVector<QPointF> data;
        QRectF zoom; // data corners dragged from and to
    };
    const Case cases[] = {
        {false, {{50, 1}, {150, 5}, {300, 2}}, QRectF(QPointF(100, 1.5), QPointF(200, 4))},
        {true, {{50, 1e14}, {150, 3e16}, {300, 2e17}}, QRectF(QPointF(100, 1e15), QPointF(200, 1e17))},
    };
    for (const Case& c : cases) {
        ChartPlot plot("Semilog");
        plot.setBottomTitle("Temperature  [K]");
        plot.setLeftTitle("Hole Concentration  [cm^-3]");
        plot.setLeftLog(c.log);
        const int s = plot.addSeries(ChartPlot::Kind::Circles, Qt::blue, "Measured points");
        plot.setData(s, c.data);
        plot.resize(640, 480);
        plot.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
        const QRectF before(QPointF(plot.bottomMin(), plot.leftMin()), QPointF(plot.bottomMax(), plot.leftMax()));

        const QPointF from = viewPoint(plot, c.zoom.topLeft());
        const QPointF to = viewPoint(plot, c.zoom.bottomRight());
        mouse(plot, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        mouse(plot, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
        mouse(plot, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        EXPECT_TRUE(plot.zoomed()) << "log " << c.log;
        EXPECT_GT(plot.bottomMin(), before.left());
        EXPECT_LT(plot.bottomMax(), before.right());
        EXPECT_NEAR(plot.bottomMin(), 100, 10);
        EXPECT_NEAR(plot.bottomMax(), 200, 10);
        // Round ticks in the zoomed range: multiples of 1, 2 or 5 times a power of ten.
        auto* x = qobject_cast<QValueAxis*>(plot.chart()->axes(Qt::Horizontal).first());
        ASSERT_TRUE(x);
        EXPECT_EQ(x->tickType(), QValueAxis::TicksDynamic);
        const double mantissa = x->tickInterval() / std::pow(10, std::floor(std::log10(x->tickInterval())));
        EXPECT_TRUE(mantissa == 1 || mantissa == 2 || mantissa == 5) << x->tickInterval();
        EXPECT_NEAR(std::remainder(x->tickAnchor(), x->tickInterval()), 0, 1e-9) << x->tickAnchor();

        // New data while zoomed keep the reader's view.
        plot.addPoint(s, 250, c.log ? 5e16 : 3);
        EXPECT_NEAR(plot.bottomMax(), 200, 10);

        mouse(plot, QEvent::MouseButtonDblClick, to, Qt::LeftButton, Qt::LeftButton);
        EXPECT_FALSE(plot.zoomed());
        EXPECT_DOUBLE_EQ(plot.bottomMin(), before.left()) << "log " << c.log;
        EXPECT_DOUBLE_EQ(plot.bottomMax(), before.right());
        EXPECT_DOUBLE_EQ(plot.leftMin(), before.top());
        EXPECT_DOUBLE_EQ(plot.leftMax(), before.bottom());
    }
}

TEST(ChartReading, ReadOutGivesTheDataCoordinatesInTheAxisUnits)
{
    ChartPlot plot;
    plot.setBottomTitle("Temperature  [K]");
    plot.setLeftTitle("Fermi Level  [eV]");
    const int s = plot.addSeries(ChartPlot::Kind::Line, Qt::black, "Fermi level from the spline");
    plot.setData(s, {{0, 0}, {400, 0.4}});
    plot.resize(640, 480);
    plot.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&plot));
    QString signalled;
    QObject::connect(&plot, &ChartPlot::coordinatesChanged, [&](const QString& t) { signalled = t; });

    mouse(plot, QEvent::MouseMove, viewPoint(plot, QPointF(200, 0.2)), Qt::NoButton, Qt::NoButton);
    const QRegularExpression pattern("^Temperature = ([0-9.]+) K, Fermi Level = ([0-9.]+) eV$");
    const QRegularExpressionMatch m = pattern.match(signalled);
    ASSERT_TRUE(m.hasMatch()) << signalled.toStdString();
    EXPECT_NEAR(m.captured(1).toDouble(), 200, 2);
    EXPECT_NEAR(m.captured(2).toDouble(), 0.2, 0.003);
    // Outside the plot area there is nothing to read.
    mouse(plot, QEvent::MouseMove, QPointF(2, 2), Qt::NoButton, Qt::NoButton);
    EXPECT_TRUE(signalled.isEmpty());

    plot.setLeftLog(true);
    EXPECT_EQ(plot.readOut(QPointF(80, 1.25e16)), "Temperature = 80 K, Fermi Level = 1.25E+16 eV");
}

TEST(ChartReading, MarkersStayOffTheEdgeOfALinearAxis)
{
    ChartPlot plot;
    const int s = plot.addSeries(ChartPlot::Kind::Circles);
    plot.setData(s, {{100, 0}, {300, 10}});
    EXPECT_LT(plot.bottomMin(), 100);
    EXPECT_GT(plot.bottomMax(), 300);
    EXPECT_LT(plot.leftMin(), 0);
    EXPECT_GT(plot.leftMax(), 10);
}

TEST(ChartReading, FiguresAreDrawnAtTheChosenSizeInEveryFormat)
{
    QTemporaryDir dir;
    ChartPlot plot("Linear");
    plot.setBottomTitle("Temperature [K]");
    const int s = plot.addSeries(ChartPlot::Kind::Circles, Qt::blue, "Measured points");
    plot.setData(s, {{100, 1}, {200, 4}, {300, 2}});
    plot.resize(500, 380);
    struct Case {
        const char* name;
        FigureSize size;
        QSize pixels;
    };
    const Case cases[] = {
        {"a.png", FigureSize::defaultPixels(), QSize(1600, 1200)},
        {"b.png", FigureSize::defaultCentimetres(), QSize(1890, 1417)},
        {"c.png", {FigureSize::Pixels, 640, 480, 96}, QSize(640, 480)},
        {"d.svg", FigureSize::defaultPixels(), QSize(1600, 1200)},
        {"e.pdf", FigureSize::defaultCentimetres(), QSize(1890, 1417)},
    };
    for (const Case& c : cases) {
        const QString path = dir.filePath(c.name);
        QString error;
        ASSERT_TRUE(plot.saveFigure(path, c.size, error)) << error.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << c.name;
        const QByteArray bytes = f.readAll();
        ASSERT_FALSE(bytes.isEmpty()) << c.name;
        const QString suffix = QFileInfo(path).suffix();
        if (suffix == "png") {
            const QImage img = QImage::fromData(bytes, "PNG");
            EXPECT_EQ(img.size(), c.pixels) << c.name;
            EXPECT_NEAR(img.dotsPerMeterX() * 0.0254, c.size.dpi, 1) << c.name;
            // Drawn, not blank: the blue markers are there.
            int blue = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    blue += qBlue(img.pixel(x, y)) > 150 && qRed(img.pixel(x, y)) < 100;
            EXPECT_GT(blue, 20) << c.name;
        } else if (suffix == "svg") {
            QSvgRenderer svg(bytes);
            EXPECT_TRUE(svg.isValid());
            EXPECT_EQ(svg.viewBox().size(), c.pixels);
        } else {
            EXPECT_TRUE(bytes.startsWith("%PDF-"));
            EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
            // 16 x 12 cm in points.
            EXPECT_TRUE(bytes.contains("/MediaBox [0 0 453.") || bytes.contains("/MediaBox [0 0 454"))
                << bytes.left(600).toStdString();
        }
    }
    // The chart on screen keeps its size.
    EXPECT_EQ(plot.size(), QSize(500, 380));
    QString error;
    EXPECT_FALSE(plot.saveFigure(dir.filePath("tiny.png"), {FigureSize::Pixels, 10, 10, 96}, error));
    EXPECT_TRUE(error.contains("tiny.png"));
    EXPECT_FALSE(QFile::exists(dir.filePath("tiny.png")));
}

TEST(ChartReading, SvgTextsKeepTheLayoutOfTheChart)
{
    QTemporaryDir dir;
    ChartPlot plot("Semilog");
    plot.setBottomTitle("Temperature  [K]");
    plot.setLeftTitle("Majority-Carrier Concentration  [cm^-3]");
    plot.setLeftLog(true);
    const int points = plot.addSeries(ChartPlot::Kind::Circles, Qt::blue, "Measured points");
    const int line = plot.addSeries(ChartPlot::Kind::Line, Qt::red, "Simulated concentration");
    const int ends = plot.addSeries(ChartPlot::Kind::Crosses, Qt::green, "Low-temperature end of the range");
    QVector<QPointF> measured, simulated;
    for (int i = 0; i < 40; ++i) {
        const double t = 30 + 10 * i;
        measured.push_back({t, 1e13 * std::exp(i / 4.0)});
        simulated.push_back({t, 1.1e13 * std::exp(i / 4.0)});
    }
    plot.setData(points, measured);
    plot.setData(line, simulated);
    plot.setData(ends, {measured[3]});
    plot.resize(640, 480);
    for (const FigureSize& size : {FigureSize::defaultPixels(), FigureSize{FigureSize::Pixels, 800, 600, 96},
                                   FigureSize::defaultCentimetres()}) {
        const QString path = dir.filePath("figure.svg");
        QString error;
        ASSERT_TRUE(plot.saveFigure(path, size, error)) << error.toStdString();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        const QByteArray svg = f.readAll();
        const QRectF picture(QPointF(0, 0), QSizeF(size.pixels()));
        const std::vector<TextBox> boxes = svgTextBoxes(svg);
        ASSERT_GE(boxes.size(), 8u) << "titles, ticks and legend entries";
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_TRUE(picture.contains(boxes[i].box)) << boxes[i].text.toStdString() << " leaves the picture";
            for (std::size_t j = i + 1; j < boxes.size(); ++j)
                EXPECT_FALSE(boxes[i].box.adjusted(1, 1, -1, -1).intersects(boxes[j].box.adjusted(1, 1, -1, -1)))
                    << "\"" << boxes[i].text.toStdString() << "\" overlaps \"" << boxes[j].text.toStdString() << "\"";
        }
        // Every text of the chart is in the drawing, none cut short.
        QStringList texts;
        for (const TextBox& b : boxes)
            texts << b.text.simplified();
        for (const char* t : {"Semilog", "Temperature  [K]", "Majority-Carrier Concentration  [cm^-3]",
                              "Measured points", "Simulated concentration", "Low-temperature end of the range"})
            EXPECT_TRUE(texts.contains(QString(t).simplified())) << t << " in " << texts.join(" | ").toStdString();

        // A renderer other than the toolkit's draws it.
        const QString rsvg = QStandardPaths::findExecutable("rsvg-convert");
        if (rsvg.isEmpty()) {
            ADD_FAILURE() << "rsvg-convert (librsvg2-bin) is not installed: run scripts/install-deps";
            continue;
        }
        const QString png = dir.filePath("figure.png");
        QFile::remove(png);
        QProcess p;
        p.start(rsvg, {"-w", QString::number(size.pixels().width()), "-o", png, path});
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        const QImage img(png);
        EXPECT_EQ(img.width(), size.pixels().width());
        EXPECT_NEAR(img.height(), size.pixels().height(), 1);
    }
}
