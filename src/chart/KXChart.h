#pragma once

#include "KXFileStatus.h"

#include <QLocale>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <limits>

class QAbstractItemModel;
class QImage;
class QFont;
class QPainter;

/// Part of the row axis shown; NaN ends show all of it.
struct KXChartWindow
{
    double low = std::numeric_limits<double>::quiet_NaN();
    double high = std::numeric_limits<double>::quiet_NaN();
    bool isFull() const { return !(high > low); }
};
/// Where a painted chart put its plot and axes, to map a position back to a cell.
struct KXChartLayout
{
    QRectF plot;
    double xLow = 0.0, xHigh = 1.0;
    double yLow[2] = {0.0, 0.0};
    double yHigh[2] = {1.0, 1.0};
};
/// A cell of the chart: row and column of the table, -1 when there is none.
struct KXChartPoint
{
    int row = -1;
    int column = -1;
    bool isValid() const { return row >= 0 && column >= 0; }
};

/// A picture of a table's numbers, drawn with QPainter alone so that programs without widgets
/// draw it too: for narrow tables one line per column against numeric row headers, or grouped
/// bars per text row header; a colour map for wide ones. Cells without a number (no value,
/// texts, NaN, infinities) are left out.
class KXChart final
{
public:
    enum class Kind { Lines, Bars, ColourMap };
    using Window = KXChartWindow;
    using Layout = KXChartLayout;
    using Point = KXChartPoint;
    /// Columns whose largest magnitudes differ by more than this are drawn against a second axis.
    static constexpr double SecondAxisRatio = 10.0;
    /// Tables with more columns than this, and more than one row, are drawn as a colour map.
    static constexpr int MaximumLineColumns = 8;

    /// Takes a copy of the table's values (role 34) and headers; numbers are labelled in locale.
    /// Once *stop is true the copy ends early, leaving an empty chart (a reader on a worker thread
    /// whose picture is no longer wanted).
    KXChart(const QAbstractItemModel& table, const QLocale& locale, const std::atomic<bool>* stop = nullptr);

    Kind kind() const { return m_kind; }
    /// Lines: the columns holding at least one number; colour map: 1 (or 0 without numbers).
    int seriesCount() const;
    bool isEmpty() const { return !m_hasNumbers; }
    /// Whether a column is drawn against the second value axis, on the right.
    bool onSecondAxis(int column) const { return m_secondAxis.value(column, false); }
    bool hasSecondAxis() const { return m_secondAxis.contains(true); }
    /// Axis titles; an empty text gives "Row" or "Value".
    void setTitles(const QString& rows, const QString& values);
    /// The full span of the row axis, which a window narrows.
    Window fullWindow() const;

    /// Paints the chart, its row axis narrowed to window (lines and bars); returns where it went.
    Layout paint(QPainter& painter, const QRectF& area, const Window& window = Window()) const;
    /// The cell drawn nearest to position in a chart painted with layout; none outside the plot.
    Point pointAt(const Layout& layout, const QPointF& position) const;
    /// "row header, column header: value" of a cell, as the hover label shows it.
    QString pointText(const Point& point) const;
    /// The chart on a white picture of that size.
    QImage toImage(const QSize& size) const;
    /// Writes a PNG picture, or an SVG drawing when path ends in .svg, as KXOutputFile writes any
    /// output; false with a message and how it failed on failure.
    bool save(const QString& path, const QSize& size, QString* error, KXFileStatus* status = nullptr) const;

private:
    double value(int row, int column) const { return m_values.at(row * m_columns + column); }
    Layout paintSeries(QPainter& painter, const QRectF& area, const Window& window) const;
    void paintColourMap(QPainter& painter, const QRectF& area) const;
    QString numberLabel(double number) const;

    Kind m_kind = Kind::Lines;
    int m_rows = 0;
    int m_columns = 0;
    QVector<double> m_values;      // row by row; NaN where there is no number
    QStringList m_rowLabels;
    QStringList m_columnLabels;
    QVector<double> m_rowPositions; // the row headers when all are numbers, else 1..rows
    QVector<int> m_rowOrder;        // rows by position, for finding the nearest one
    QVector<bool> m_secondAxis;     // per column
    QString m_rowTitle;
    QString m_valueTitle;
    bool m_numericRows = false;
    bool m_hasNumbers = false;
    double m_minimum = 0.0;
    double m_maximum = 0.0;
    QLocale m_locale;
};
