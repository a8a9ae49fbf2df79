#include "toolkit/ChartPlot.h"

#include "analysis/base/TextFile.h"
#include "toolkit/Modal.h"

#include <QBuffer>
#include <QContextMenuEvent>
#include <QGraphicsLayout>
#include <QGraphicsItem>
#include <QLegend>
#include <QLegendMarker>
#include <QFontMetricsF>
#include <QMenu>
#include <QMouseEvent>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <QToolTip>

#include <QChart>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPen>
#include <QScatterSeries>
#include <QValueAxis>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {
QImage crossImage(const QColor& color)
{
    QImage img(9, 9, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(color, 1.6));
    p.drawLine(QPointF(1, 1), QPointF(8, 8));
    p.drawLine(QPointF(1, 8), QPointF(8, 1));
    return img;
}

// Values the chart library can place: finite, with a decade of room above
// and below so that rounding an axis to whole decades (or nice numbers)
// stays finite, and positive on a logarithmic axis. Anything else is left
// out of the chart, never handed to the library (whose log axis recurses
// without end on a range that reaches infinity).
constexpr double kLargestDrawn = 1e300;
constexpr double kSmallestLogDrawn = 1e-300;

bool drawable(double v, bool log)
{
    return std::isfinite(v) && std::fabs(v) <= kLargestDrawn && (!log || v >= kSmallestLogDrawn);
}

bool drawnPoint(const QPointF& p, bool xLog, bool yLog)
{
    return drawable(p.x(), xLog) && drawable(p.y(), yLog);
}

// About 6 % of a decade around the data of a logarithmic axis.
constexpr double kLogMargin = 1.15;
// At most this many labelled steps on a logarithmic axis: a wider span is
// labelled every few decades, so that no label is squeezed to "...".
constexpr int kLogSteps = 10;

// Whole steps of the base (a decade or several), so that the axis always
// shows labels, and few enough of them to read.
void setLogRange(QLogValueAxis* axis, double lo, double hi)
{
    double a = std::floor(std::log10(lo));
    double b = std::ceil(std::log10(hi));
    if (b <= a)
        b = a + 1;
    const double step = std::max(1.0, std::ceil((b - a) / kLogSteps));
    a = std::floor(a / step) * step;
    b = std::ceil(b / step) * step;
    axis->setBase(std::pow(10.0, step));
    axis->setRange(std::pow(10.0, a), std::pow(10.0, b));
}

// A step of 1, 2 or 5 times a power of ten near `raw`.
double niceStep(double raw)
{
    const double e = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / e;
    return (f < 1.5 ? 1 : f < 3.5 ? 2 : f < 7.5 ? 5 : 10) * e;
}

// A zoomed axis keeps the reader's range with round ticks: multiples of a
// nice step on a linear axis, whole steps of the base on a logarithmic one.
void roundZoomedAxis(QAbstractAxis* axis)
{
    if (auto* v = qobject_cast<QValueAxis*>(axis)) {
        const double span = v->max() - v->min();
        if (!(span > 0) || !std::isfinite(span))
            return;
        const double step = niceStep(span / 5);
        v->setTickAnchor(std::ceil(v->min() / step) * step);
        v->setTickInterval(step);
        v->setTickType(QValueAxis::TicksDynamic);
    } else if (auto* l = qobject_cast<QLogValueAxis*>(axis)) {
        if (l->min() > 0 && l->max() > l->min())
            setLogRange(l, l->min(), l->max());
    }
}
} // namespace

// The legend below the plot: its entries wrap into rows, so that none is cut
// short and no marker is drawn over another (the toolkit's legend keeps one
// row and elides what does not fit). Part of the chart's scene, so figures
// draw it too.
class ChartLegend : public QGraphicsItem {
public:
    struct Entry {
        QString name;
        ChartPlot::Kind kind;
        QColor color;
    };
    std::vector<Entry> entries;
    QFont font;

    // Places the entries in rows of at most `width`; returns the height.
    double layout(double width)
    {
        prepareGeometryChange();
        places_.clear();
        const QFontMetricsF fm(font);
        const double h = fm.height() + 3;
        std::vector<std::vector<std::pair<int, double>>> rows(1);
        double x = 0;
        for (int i = 0; i < static_cast<int>(entries.size()); ++i) {
            const double w = kMarker + 5 + fm.horizontalAdvance(entries[i].name);
            if (x > 0 && x + w > width) {
                rows.emplace_back();
                x = 0;
            }
            rows.back().push_back({i, w});
            x += w + kGap;
        }
        double widest = 0;
        for (std::size_t r = 0; r < rows.size(); ++r) {
            double rowWidth = -kGap;
            for (const auto& [i, w] : rows[r])
                rowWidth += w + kGap;
            double at = std::max(0.0, (width - rowWidth) / 2);
            for (const auto& [i, w] : rows[r]) {
                places_.push_back({i, QPointF(at, r * h)});
                at += w + kGap;
            }
            widest = std::max(widest, rowWidth);
        }
        bounds_ = entries.empty() ? QRectF() : QRectF(0, 0, std::max(width, widest), rows.size() * h);
        return bounds_.height();
    }
    QRectF boundingRect() const override { return bounds_; }
    void paint(QPainter* p, const QStyleOptionGraphicsItem*, QWidget*) override
    {
        p->setFont(font);
        const QFontMetricsF fm(font);
        for (const auto& [i, at] : places_) {
            const Entry& e = entries[i];
            const QPointF mid = at + QPointF(kMarker / 2, fm.height() / 2);
            p->save();
            p->setRenderHint(QPainter::Antialiasing);
            QPen pen(e.color, 1.5);
            p->setBrush(Qt::NoBrush);
            switch (e.kind) {
            case ChartPlot::Kind::Circles:
                p->setPen(pen);
                p->drawEllipse(mid, 3.5, 3.5);
                break;
            case ChartPlot::Kind::Squares:
                p->setPen(pen);
                p->setBrush(e.color);
                p->drawRect(QRectF(mid - QPointF(4, 4), QSizeF(8, 8)));
                break;
            case ChartPlot::Kind::Crosses:
                p->setPen(pen);
                p->drawLine(mid + QPointF(-4, -4), mid + QPointF(4, 4));
                p->drawLine(mid + QPointF(-4, 4), mid + QPointF(4, -4));
                break;
            default:
                pen.setWidthF(2);
                if (e.kind == ChartPlot::Kind::DottedLine)
                    pen.setStyle(Qt::DotLine);
                p->setPen(pen);
                p->drawLine(mid - QPointF(kMarker / 2, 0), mid + QPointF(kMarker / 2, 0));
                break;
            }
            p->restore();
            p->setPen(Qt::black);
            p->drawText(QPointF(at.x() + kMarker + 5, at.y() + fm.ascent()), e.name);
        }
    }

private:
    static constexpr double kMarker = 16;
    static constexpr double kGap = 14;
    std::vector<std::pair<int, QPointF>> places_;
    QRectF bounds_;
};

ChartPlot::ChartPlot(const QString& title, QWidget* parent) : QChartView(parent)
{
    chart()->setTitle(title);
    // Below the plot area, so that the legend never hides a point.
    chart()->legend()->setAlignment(Qt::AlignBottom);
    chart()->legend()->hide();
    setRenderHint(QPainter::Antialiasing);
    setRubberBand(QChartView::RectangleRubberBand);
    setMouseTracking(true);
    axisX_ = makeAxis(false, Qt::AlignBottom, QString(), false);
    axisY_ = makeAxis(false, Qt::AlignLeft, QString(), true);
    titleFont_ = axisY_->titleFont();
    legend_ = new ChartLegend;
    legend_->font = chart()->legend()->font();
    legend_->setParentItem(chart());
    legend_->setZValue(10);
    baseMargins_ = chart()->margins();
    setMinimumSize(260, 200);
}

ChartPlot::~ChartPlot() = default;

void ChartPlot::resizeEvent(QResizeEvent* event)
{
    QChartView::resizeEvent(event);
    fitTexts();
}

void ChartPlot::fitTexts()
{
    const QSizeF size = chart()->size();
    const double legendHeight = legend_->layout(size.width() - 24);
    QMargins margins = baseMargins_;
    if (legendHeight > 0)
        margins.setBottom(margins.bottom() + int(std::ceil(legendHeight)) + 6);
    if (chart()->margins() != margins)
        chart()->setMargins(margins);
    legend_->setPos(12, size.height() - legendHeight - 8);
    // The room of each title: the plot's side less the margins, the other
    // axis and, below the plot, the legend.
    // The plot area of the last layout, where there was one, is the better
    // measure (the tick labels take their share).
    const QRectF plot = chart()->plotArea();
    const auto within = [](double estimate, double laidOut) {
        return laidOut > 20 ? std::min(estimate, laidOut - 4) : estimate;
    };
    const std::pair<QAbstractAxis*, double> titles[] = {
        {axisY_, within(size.height() - 90 - legendHeight - (chart()->title().isEmpty() ? 0 : 25), plot.height())},
        {axisX_, within(size.width() - 110, plot.width())}};
    for (const auto& [axis, room] : titles) {
        QFont f = titleFont_;
        f.setBold(axis->titleFont().bold());
        const double full = QFontMetricsF(f).horizontalAdvance(axis->titleText());
        if (full > room && room > 0 && f.pointSizeF() > 0)
            f.setPointSizeF(std::max(6.0, f.pointSizeF() * room / full));
        if (axis->titleFont() != f)
            axis->setTitleFont(f);
    }
}

QAbstractAxis* ChartPlot::makeAxis(bool log, Qt::Alignment alignment, const QString& title, bool left)
{
    QAbstractAxis* axis;
    if (log) {
        auto* a = new QLogValueAxis;
        a->setBase(10);
        a->setLabelFormat("%.0E");
        a->setMinorTickCount(-1);
        axis = a;
    } else {
        auto* a = new QValueAxis;
        if (left && !leftFormat_.isEmpty())
            a->setLabelFormat(leftFormat_);
        else
            a->setLabelFormat("%G"); // 2E+16, as the decades of a log axis
        axis = a;
    }
    axis->setTitleText(title);
    (left ? appliedY_ : appliedX_) = AppliedRange{};
    chart()->addAxis(axis, alignment);
    for (Entry& e : series_)
        e.series->attachAxis(axis);
    return axis;
}

void ChartPlot::rebuildAxis(bool left)
{
    QAbstractAxis*& axis = left ? axisY_ : axisX_;
    QString title = axis->titleText();
    for (Entry& e : series_)
        e.series->detachAxis(axis);
    chart()->removeAxis(axis);
    delete axis;
    axis = makeAxis(left ? leftLog_ : bottomLog_, left ? Qt::AlignLeft : Qt::AlignBottom, title, left);
    for (int i = 0; i < seriesCount(); ++i)
        refresh(i);
    updateRanges();
}

int ChartPlot::addSeries(Kind kind, const QColor& color, const QString& name)
{
    QXYSeries* s;
    switch (kind) {
    case Kind::Circles:
    case Kind::Squares:
    case Kind::Crosses: {
        auto* sc = new QScatterSeries;
        sc->setMarkerShape(kind == Kind::Squares ? QScatterSeries::MarkerShapeRectangle
                                                 : QScatterSeries::MarkerShapeCircle);
        sc->setMarkerSize(kind == Kind::Squares ? 9 : 7);
        sc->setColor(kind == Kind::Circles ? QColor(Qt::transparent) : color);
        sc->setBorderColor(color);
        if (kind == Kind::Crosses)
            sc->setLightMarker(crossImage(color));
        s = sc;
        break;
    }
    default: {
        auto* ln = new QLineSeries;
        QPen pen(color);
        pen.setWidthF(kind == Kind::FastLine ? 1.0 : 1.5);
        if (kind == Kind::DottedLine)
            pen.setStyle(Qt::DotLine);
        ln->setPen(pen);
        s = ln;
        break;
    }
    }
    s->setName(name);
    chart()->addSeries(s);
    s->attachAxis(axisX_);
    s->attachAxis(axisY_);
    // Attaching may let the toolkit adjust the axes: apply the extents anew.
    appliedX_ = appliedY_ = AppliedRange{};
    series_.push_back({kind, s, {}, true});
    updateLegend();
    return seriesCount() - 1;
}

void ChartPlot::setBottomTitle(const QString& title)
{
    axisX_->setTitleText(title);
    fitTexts();
}
void ChartPlot::setLeftTitle(const QString& title)
{
    axisY_->setTitleText(title);
    fitTexts();
}
QString ChartPlot::bottomTitle() const { return axisX_->titleText(); }
QString ChartPlot::leftTitle() const { return axisY_->titleText(); }

void ChartPlot::setBottomLog(bool log)
{
    if (log == bottomLog_)
        return;
    bottomLog_ = log;
    rebuildAxis(false);
}

void ChartPlot::setLeftLog(bool log)
{
    if (log == leftLog_)
        return;
    leftLog_ = log;
    rebuildAxis(true);
}

void ChartPlot::setLeftLabelFormat(const QString& format)
{
    leftFormat_ = format;
    if (auto* a = qobject_cast<QValueAxis*>(axisY_))
        a->setLabelFormat(format);
}

void ChartPlot::refresh(int i)
{
    Entry& e = series_[i];
    // A hidden chart (another page, or the batch program's windows) keeps its
    // points to itself: every change the toolkit sees makes it re-stroke the
    // lines, which costs time and memory for nothing until the chart shows.
    if (!isVisible()) {
        if (!e.stale && e.series->count() > 0)
            e.series->clear();
        e.stale = true;
        return;
    }
    pushToToolkit(e);
}

void ChartPlot::syncHiddenSeries()
{
    for (Entry& e : series_)
        if (e.stale)
            pushToToolkit(e);
}

void ChartPlot::showEvent(QShowEvent* event)
{
    syncHiddenSeries();
    QChartView::showEvent(event);
}

void ChartPlot::pushToToolkit(Entry& e)
{
    e.stale = false;
    bool allDrawn = true;
    for (const QPointF& p : e.points)
        allDrawn = allDrawn && drawnPoint(p, bottomLog_, leftLog_);
    if (allDrawn) {
        e.series->replace(e.points);
        return;
    }
    QVector<QPointF> shown;
    shown.reserve(e.points.size());
    for (const QPointF& p : e.points)
        if (drawnPoint(p, bottomLog_, leftLog_))
            shown.push_back(p);
    e.series->replace(shown);
}

int ChartPlot::drawnCount(int i) const
{
    int n = 0;
    for (const QPointF& p : series_[i].points)
        n += drawnPoint(p, bottomLog_, leftLog_);
    return n;
}

void ChartPlot::updateRanges()
{
    updateLegend();
    if (zoomed_)
        return; // the reader's zoom stays until reset
    double xmin = std::numeric_limits<double>::infinity(), xmax = -xmin;
    double ymin = xmin, ymax = -xmin;
    bool markers = false;
    for (const Entry& e : series_) {
        if (!e.visible)
            continue;
        markers = markers || (e.kind != Kind::Line && e.kind != Kind::DottedLine &&
                              e.kind != Kind::FastLine && !e.points.isEmpty());
        for (const QPointF& p : e.points) {
            if (!drawnPoint(p, bottomLog_, leftLog_))
                continue;
            xmin = std::min(xmin, p.x());
            xmax = std::max(xmax, p.x());
            ymin = std::min(ymin, p.y());
            ymax = std::max(ymax, p.y());
        }
    }
    auto apply = [markers](QAbstractAxis* axis, AppliedRange& applied, bool log, double lo, double hi) {
        if (!std::isfinite(lo)) {
            lo = log ? 1 : 0;
            hi = log ? 10 : 1;
        }
        if (applied.valid && applied.lo == lo && applied.hi == hi)
            return;
        applied = {true, lo, hi};
        if (log) {
            if (markers) {
                // A marker exactly on a decade would sit on the axis line.
                lo /= kLogMargin;
                hi *= kLogMargin;
            }
            setLogRange(static_cast<QLogValueAxis*>(axis), lo, hi);
        } else {
            if (hi <= lo) {
                double pad = lo == 0 ? 1 : std::fabs(lo) * 0.1;
                lo -= pad;
                hi += pad;
            } else if (markers) {
                // A marker on the edge of the plot area would be cut in half.
                // Positive data keep a lower bound of zero rather than a
                // negative one.
                const double pad = (hi - lo) * 0.03;
                lo = lo > 0 && lo - pad < 0 ? 0 : lo - pad;
                hi += pad;
            }
            auto* a = static_cast<QValueAxis*>(axis);
            a->setRange(lo, hi);
            a->applyNiceNumbers();
        }
    };
    apply(axisX_, appliedX_, bottomLog_, xmin, xmax);
    apply(axisY_, appliedY_, leftLog_, ymin, ymax);
}

void ChartPlot::setData(int i, const QVector<QPointF>& points)
{
    series_[i].points = points;
    refresh(i);
    updateRanges();
}

void ChartPlot::addPoint(int i, double x, double y)
{
    series_[i].points.push_back(QPointF(x, y));
    refresh(i);
    updateRanges();
}

void ChartPlot::clearSeries(int i)
{
    series_[i].points.clear();
    series_[i].series->clear();
    updateRanges();
}

void ChartPlot::clearAll()
{
    for (int i = 0; i < seriesCount(); ++i) {
        series_[i].points.clear();
        series_[i].series->clear();
    }
    updateRanges();
}

const QVector<QPointF>& ChartPlot::data(int i) const { return series_[i].points; }

void ChartPlot::setSeriesColor(int i, const QColor& color)
{
    Entry& e = series_[i];
    if (auto* sc = qobject_cast<QScatterSeries*>(e.series)) {
        sc->setBorderColor(color);
        if (e.kind != Kind::Circles)
            sc->setColor(color);
        if (e.kind == Kind::Crosses)
            sc->setLightMarker(crossImage(color));
    } else {
        QPen pen = e.series->pen();
        pen.setColor(color);
        e.series->setPen(pen);
    }
}

void ChartPlot::setSeriesName(int i, const QString& name)
{
    series_[i].series->setName(name);
    updateLegend();
}

QString ChartPlot::seriesName(int i) const { return series_[i].series->name(); }

bool ChartPlot::inLegend(int i) const
{
    const Entry& e = series_[i];
    return e.visible && !e.series->name().isEmpty() && drawnCount(i) > 0;
}

void ChartPlot::updateLegend()
{
    // The toolkit's markers keep the names (legendNames); the chart shows
    // its own legend.
    legend_->entries.clear();
    for (int i = 0; i < seriesCount(); ++i) {
        const Entry& e = series_[i];
        const bool shown = inLegend(i);
        for (QLegendMarker* m : chart()->legend()->markers(e.series))
            m->setVisible(shown);
        if (!shown)
            continue;
        const auto* scatter = qobject_cast<QScatterSeries*>(e.series);
        legend_->entries.push_back({e.series->name(), e.kind, scatter ? scatter->borderColor() : e.series->pen().color()});
    }
    legend_->update();
    fitTexts();
}

QStringList ChartPlot::legendNames() const
{
    // The labels the legend holds for the series it shows (the toolkit
    // reports its items visible only once the chart is on screen).
    QStringList names;
    for (int i = 0; i < seriesCount(); ++i)
        if (inLegend(i))
            for (QLegendMarker* m : chart()->legend()->markers(series_[i].series))
                names << m->label();
    return names;
}

void ChartPlot::setSeriesVisible(int i, bool visible)
{
    series_[i].visible = visible;
    series_[i].series->setVisible(visible);
    updateRanges();
}

QImage ChartPlot::renderImage()
{
    QSize size = this->size().expandedTo(QSize(400, 300));
    if (!isVisible())
        resize(size);
    syncHiddenSeries();
    QImage img(size, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    render(&p);
    return img;
}

bool ChartPlot::saveImage(const QString& path, QString& error)
{
    QImage img = renderImage();
    QFileInfo info(path);
    QByteArray format = info.suffix().toLower() == "bmp" ? "BMP" : info.suffix().toUpper().toLatin1();
    if (format.isEmpty())
        format = "BMP";
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    // Encoded in memory, then saved like every other file of the program:
    // through a short temporary name and a rename, so a failed save leaves
    // the previous figure as it was, whatever the length of the name.
    std::string reason;
    if (!img.save(&buffer, format.constData()) ||
        !textfile::writeAtomic(QFile::encodeName(path).toStdString(),
                               std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               reason)) {
        error = "Cannot write the figure " + path + ".";
        return false;
    }
    return true;
}

void ChartPlot::paintScaled(QPainter& painter, const QSize& pixels)
{
    syncHiddenSeries();
    // The chart is laid out at a screen-like size and scaled up, so that
    // texts and markers keep their proportions in a large figure.
    const double scale = std::max(1.0, std::min(pixels.width() / 800.0, pixels.height() / 600.0));
    const QSizeF logical(pixels.width() / scale, pixels.height() / scale);
    QChart* c = chart();
    const QRectF shown = c->geometry();
    c->setGeometry(QRectF(QPointF(0, 0), logical));
    fitTexts();
    if (c->layout())
        c->layout()->activate();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(scale, scale);
    scene()->render(&painter, QRectF(QPointF(0, 0), logical), QRectF(QPointF(0, 0), logical));
    painter.restore();
    c->setGeometry(shown);
    fitTexts();
    if (c->layout())
        c->layout()->activate();
}

QImage ChartPlot::renderImage(const QSize& pixels)
{
    QImage img(pixels, QImage::Format_RGB32);
    img.fill(Qt::white);
    QPainter p(&img);
    paintScaled(p, pixels);
    return img;
}

bool ChartPlot::saveFigure(const QString& path, const FigureSize& size, QString& error)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != "png" && suffix != "svg" && suffix != "pdf")
        return saveImage(path, error);
    error = "Cannot write the figure " + path + ".";
    if (!size.valid())
        return false;
    const QSize pixels = size.pixels();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    bool drawn = false;
    if (suffix == "png") {
        QImage img = renderImage(pixels);
        const int dotsPerMetre = int(std::lround(size.dpi / 0.0254));
        img.setDotsPerMeterX(dotsPerMetre);
        img.setDotsPerMeterY(dotsPerMetre);
        drawn = img.save(&buffer, "PNG");
    } else if (suffix == "svg") {
        // Texts are sized in points through the device's resolution; the
        // chart was laid out at the screen's. Drawn at that resolution into
        // a view box of the figure's pixels, they keep the layout's
        // proportions, and the width and height still give the chosen
        // physical size.
        const int layoutDpi = logicalDpiY() > 0 ? logicalDpiY() : 96;
        QSvgGenerator svg;
        svg.setOutputDevice(&buffer);
        svg.setResolution(layoutDpi);
        svg.setSize(QSize(int(std::lround(pixels.width() * double(layoutDpi) / size.dpi)),
                          int(std::lround(pixels.height() * double(layoutDpi) / size.dpi))));
        svg.setViewBox(QRect(QPoint(0, 0), pixels));
        svg.setTitle(chart()->title());
        QPainter p;
        if (p.begin(&svg)) {
            p.fillRect(QRect(QPoint(0, 0), pixels), Qt::white);
            paintScaled(p, pixels);
            drawn = p.end();
        }
    } else {
        QPdfWriter pdf(&buffer);
        pdf.setResolution(size.dpi);
        pdf.setPageSize(QPageSize(size.millimetres(), QPageSize::Millimeter));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setTitle(chart()->title());
        QPainter p;
        if (p.begin(&pdf)) {
            // The page in device pixels at the writer's resolution.
            const QRect page = p.viewport();
            p.setWindow(QRect(QPoint(0, 0), pixels));
            p.setViewport(page);
            paintScaled(p, pixels);
            drawn = p.end();
        }
    }
    buffer.close();
    std::string reason;
    if (!drawn || bytes.isEmpty() ||
        !textfile::writeAtomic(QFile::encodeName(path).toStdString(),
                               std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())),
                               reason))
        return false;
    error.clear();
    return true;
}

// ---- reading the chart ---------------------------------------------------------

void ChartPlot::zoomTo(const QRectF& values)
{
    const QRectF v = values.normalized();
    if (v.width() <= 0 || v.height() <= 0)
        return;
    const auto setAxis = [](QAbstractAxis* axis, double lo, double hi) { axis->setRange(lo, hi); };
    setAxis(axisX_, v.left(), v.right());
    setAxis(axisY_, v.top(), v.bottom());
    roundZoomedAxis(axisX_);
    roundZoomedAxis(axisY_);
    zoomed_ = true;
}

void ChartPlot::resetZoom()
{
    chart()->zoomReset();
    zoomed_ = false;
    for (QAbstractAxis* axis : {axisX_, axisY_})
        if (auto* v = qobject_cast<QValueAxis*>(axis))
            v->setTickType(QValueAxis::TicksFixed);
    appliedX_ = appliedY_ = AppliedRange{};
    updateRanges();
}

namespace {
// "Temperature  [K]" -> {"Temperature", "K"}.
std::pair<QString, QString> nameAndUnit(const QString& title, const QString& fallback)
{
    const int open = title.lastIndexOf('[');
    const int close = title.lastIndexOf(']');
    if (open < 0 || close < open)
        return {title.trimmed().isEmpty() ? fallback : title.trimmed(), QString()};
    QString name = title.left(open).trimmed();
    return {name.isEmpty() ? fallback : name, title.mid(open + 1, close - open - 1).trimmed()};
}

QString valueText(double v, bool log)
{
    return log ? QString::number(v, 'E', 2) : QString::number(v, 'g', 4);
}
} // namespace

QString ChartPlot::readOut(const QPointF& value) const
{
    const auto [xName, xUnit] = nameAndUnit(bottomTitle(), "x");
    const auto [yName, yUnit] = nameAndUnit(leftTitle(), "y");
    auto part = [](const QString& name, const QString& unit, double v, bool log) {
        return name + " = " + valueText(v, log) + (unit.isEmpty() ? QString() : " " + unit);
    };
    return part(xName, xUnit, value.x(), bottomLog_) + ", " + part(yName, yUnit, value.y(), leftLog_);
}

void ChartPlot::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF scenePos = mapToScene(event->position().toPoint());
    const QPointF chartPos = chart()->mapFromScene(scenePos);
    QString text;
    if (chart()->plotArea().contains(chartPos))
        text = readOut(chart()->mapToValue(chartPos));
    if (text != lastReadOut_) {
        lastReadOut_ = text;
        emit coordinatesChanged(text);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(event->globalPosition().toPoint(), text, this);
    }
    QChartView::mouseMoveEvent(event);
}

void ChartPlot::leaveEvent(QEvent* event)
{
    if (!lastReadOut_.isEmpty()) {
        lastReadOut_.clear();
        emit coordinatesChanged(QString());
    }
    QChartView::leaveEvent(event);
}

void ChartPlot::mousePressEvent(QMouseEvent* event)
{
    // The right button opens the context menu rather than zooming out.
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    if (event->button() == Qt::LeftButton)
        pressedAt_ = event->position().toPoint();
    QChartView::mousePressEvent(event);
}

void ChartPlot::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        event->accept();
        return;
    }
    const QRectF before(QPointF(bottomMin(), leftMin()), QPointF(bottomMax(), leftMax()));
    QChartView::mouseReleaseEvent(event);
    const QRectF after(QPointF(bottomMin(), leftMin()), QPointF(bottomMax(), leftMax()));
    if (after != before) {
        roundZoomedAxis(axisX_);
        roundZoomedAxis(axisY_);
        zoomed_ = true;
    } else if (event->button() == Qt::LeftButton &&
               (event->position().toPoint() - pressedAt_).manhattanLength() <= 4) {
        const QPointF chartPos = chart()->mapFromScene(mapToScene(event->position().toPoint()));
        if (chart()->plotArea().contains(chartPos))
            emit clicked(chart()->mapToValue(chartPos));
    }
}

void ChartPlot::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        resetZoom();
        event->accept();
        return;
    }
    QChartView::mouseDoubleClickEvent(event);
}

void ChartPlot::contextMenuEvent(QContextMenuEvent* event)
{
    QMenu menu(this);
    QAction* reset = menu.addAction("Reset Zoom");
    reset->setEnabled(zoomed_);
    if (menu.exec(event->globalPos()) == reset)
        resetZoom();
}

double ChartPlot::leftMin() const
{
    if (auto* a = qobject_cast<QValueAxis*>(axisY_)) return a->min();
    return static_cast<QLogValueAxis*>(axisY_)->min();
}
double ChartPlot::leftMax() const
{
    if (auto* a = qobject_cast<QValueAxis*>(axisY_)) return a->max();
    return static_cast<QLogValueAxis*>(axisY_)->max();
}
double ChartPlot::bottomMin() const
{
    if (auto* a = qobject_cast<QValueAxis*>(axisX_)) return a->min();
    return static_cast<QLogValueAxis*>(axisX_)->min();
}
double ChartPlot::bottomMax() const
{
    if (auto* a = qobject_cast<QValueAxis*>(axisX_)) return a->max();
    return static_cast<QLogValueAxis*>(axisX_)->max();
}

bool saveChartFigure(QWidget* parent, ChartPlot* chart, const QString& filter, int filterIndex, QString& name)
{
    // One size for every window, so a set of figures for a paper matches.
    static FigureSize size;
    if (!modal().saveFigureFile(parent, filter, filterIndex, name, size))
        return false;
    QString error;
    if (!chart->saveFigure(name, size, error)) {
        modal().error(parent, error.isEmpty() ? "The figure could not be saved to " + name + "." : error);
        return false;
    }
    return true;
}
