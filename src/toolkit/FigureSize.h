// The size a figure is exported at, chosen in the "Save Figure" dialog: in
// pixels, or in centimetres at a resolution. Vector formats take the physical
// size (pixels at the resolution), raster formats the pixel count.
#pragma once

#include <QSize>
#include <QString>
#include <QSizeF>
#include <cmath>

struct FigureSize {
    enum Unit { Pixels, Centimetres };
    Unit unit = Pixels;
    double width = 1600;
    double height = 1200;
    int dpi = 300;

    static FigureSize defaultPixels() { return {}; }
    static FigureSize defaultCentimetres() { return {Centimetres, 16, 12, 300}; }

    QSize pixels() const
    {
        if (unit == Pixels)
            return QSize(int(std::lround(width)), int(std::lround(height)));
        return QSize(int(std::lround(width / 2.54 * dpi)), int(std::lround(height / 2.54 * dpi)));
    }
    QSizeF millimetres() const
    {
        if (unit == Centimetres)
            return QSizeF(width * 10, height * 10);
        return QSizeF(width / dpi * 25.4, height / dpi * 25.4);
    }
    // Sizes a chart can be drawn at (a few pixels up to a poster).
    bool valid() const
    {
        const QSize p = pixels();
        return dpi >= 30 && dpi <= 2400 && p.width() >= 50 && p.height() >= 50 &&
               p.width() <= 20000 && p.height() <= 20000;
    }
};

// The formats a figure is exported in besides the window's BMP, as entries
// "Description|*.ext" of a filter list.
inline QString figureExportFilter()
{
    return "PNG image (*.png)|*.png|SVG drawing (*.svg)|*.svg|PDF document (*.pdf)|*.pdf";
}
