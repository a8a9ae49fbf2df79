// The one adapter around Qt Charts used by every chart of the program. It owns
// its axes and series, keeps the data of each series (so windows and tests can
// read them back), and hides the toolkit's pitfalls: series are refilled with
// replace(), logarithmic axes drop non-positive values and span whole decades,
// cross markers are drawn images, and figures are rendered without OpenGL.
// For the reader it adds a legend of the visible series below the plot, zoom
// by dragging a rectangle (double-click or the context menu resets it), and a
// read-out of the data coordinates under the cursor; figures export as BMP
// (as shown) or as PNG, SVG and PDF at a chosen size.
#pragma once

#include "toolkit/FigureSize.h"

#include <QChartView>
#include <QColor>
#include <QMargins>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

class QAbstractAxis;
class QXYSeries;

class ChartPlot : public QChartView {
    Q_OBJECT
public:
    enum class Kind { Circles, Squares, Crosses, Line, DottedLine, FastLine };

    explicit ChartPlot(const QString& title = QString(), QWidget* parent = nullptr);
    ~ChartPlot() override;

    // Adds a series (numbered from 0 in the order added).
    int addSeries(Kind kind, const QColor& color = Qt::black, const QString& name = QString());
    int seriesCount() const { return static_cast<int>(series_.size()); }

    void setBottomTitle(const QString& title);
    void setLeftTitle(const QString& title);
    QString bottomTitle() const;
    QString leftTitle() const;
    void setBottomLog(bool log);
    void setLeftLog(bool log);
    bool leftLog() const { return leftLog_; }
    bool bottomLog() const { return bottomLog_; }
    // Label format of the left axis (printf style for linear axes, e.g. "%.2e").
    void setLeftLabelFormat(const QString& format);

    void setData(int series, const QVector<QPointF>& points);
    void addPoint(int series, double x, double y);
    void clearSeries(int series);
    void clearAll();
    const QVector<QPointF>& data(int series) const;
    int count(int series) const { return static_cast<int>(data(series).size()); }
    // Points actually drawn (a log axis drops non-positive values).
    int drawnCount(int series) const;
    void setSeriesColor(int series, const QColor& color);
    void setSeriesVisible(int series, bool visible);

    void setSeriesName(int series, const QString& name);
    QString seriesName(int series) const;
    // Names in the legend: the series shown that have a name and points.
    QStringList legendNames() const;

    // Renders the chart as shown into an image and saves it (format from the
    // extension, BMP for *.bmp) through a temporary file and a rename.
    bool saveImage(const QString& path, QString& error);
    QImage renderImage();
    // Saves the figure in the format of the extension: *.bmp as shown (see
    // saveImage), *.png, *.svg and *.pdf drawn at `size`.
    bool saveFigure(const QString& path, const FigureSize& size, QString& error);
    // The chart drawn at `pixels` (its layout at a readable scale).
    QImage renderImage(const QSize& pixels);

    // Zoom: to a rectangle in data coordinates, and back to the data extents.
    void zoomTo(const QRectF& values);
    void resetZoom();
    bool zoomed() const { return zoomed_; }
    // "Temperature = 120 K, Hole Concentration = 1.20E+16 cm^-3" at a point.
    QString readOut(const QPointF& value) const;
    QString lastReadOut() const { return lastReadOut_; }

    // Axis ranges as last set (for tests).
    double leftMin() const;
    double leftMax() const;
    double bottomMin() const;
    double bottomMax() const;

signals:
    // The data coordinates under the cursor (empty outside the plot area).
    void coordinatesChanged(const QString& text);
    // A click (press and release without dragging) in the plot area, in
    // data coordinates.
    void clicked(const QPointF& value);

private:
    struct Entry {
        Kind kind;
        QXYSeries* series = nullptr;
        QVector<QPointF> points;
        bool visible = true;
        bool stale = false; // points not yet handed to the toolkit (chart hidden)
    };
    void rebuildAxis(bool left);
    void refresh(int series);
    void pushToToolkit(Entry& e);
    // Hands the points kept while the chart was hidden to the toolkit.
    void syncHiddenSeries();
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void updateLegend();
    // The legend and the axis titles fitted to the chart's size: the legend
    // in rows below the plot (room kept in the chart's margin), an axis
    // title too long for its side in a smaller font.
    void fitTexts();
    void resizeEvent(QResizeEvent* event) override;
    QFont titleFont_;
    class ChartLegend* legend_ = nullptr; // owned by the chart's scene
    QMargins baseMargins_;
    // A visible series with a name and points to draw.
    bool inLegend(int series) const;
    // Draws the chart's scene at `pixels` into `painter`.
    void paintScaled(QPainter& painter, const QSize& pixels);
    void updateRanges();
    QAbstractAxis* makeAxis(bool log, Qt::Alignment alignment, const QString& title, bool left);

    std::vector<Entry> series_;
    QAbstractAxis* axisX_ = nullptr;
    QAbstractAxis* axisY_ = nullptr;
    // The data extents last applied to each axis: unchanged extents need no
    // new range, and every range change makes Qt Charts re-stroke its lines.
    struct AppliedRange {
        bool valid = false;
        double lo = 0, hi = 0;
    };
    AppliedRange appliedX_, appliedY_;
    bool leftLog_ = false;
    bool bottomLog_ = false;
    QString leftFormat_;
    bool zoomed_ = false;
    QString lastReadOut_;
    QPoint pressedAt_{-1000, -1000};
};

// "Save Figure" of every window: the save dialog with the window's own filter
// (its BMP entry chosen) plus PNG, SVG and PDF at a size kept for the session,
// then the figure; an error box naming the file when it cannot be written.
// `name` holds the proposed name and receives the chosen one. False when the
// user cancels or the file was not written.
bool saveChartFigure(QWidget* parent, ChartPlot* chart, const QString& filter, int filterIndex, QString& name);
