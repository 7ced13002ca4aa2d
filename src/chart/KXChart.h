#pragma once

#include "KXFileStatus.h"

#include <QLocale>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>

class QAbstractItemModel;
class QImage;
class QPainter;
class QRectF;

/// A picture of a table's numbers, drawn with QPainter alone so that programs without widgets
/// draw it too: one line per column against the rows for narrow tables, a colour map for wide
/// ones. Cells without a number (no value, texts, NaN, infinities) are left out.
class KXChart final
{
public:
    enum class Kind { Lines, ColourMap };
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

    void paint(QPainter& painter, const QRectF& area) const;
    /// The chart on a white picture of that size.
    QImage toImage(const QSize& size) const;
    /// Writes a PNG picture, or an SVG drawing when path ends in .svg, as KXOutputFile writes any
    /// output; false with a message and how it failed on failure.
    bool save(const QString& path, const QSize& size, QString* error, KXFileStatus* status = nullptr) const;

private:
    double value(int row, int column) const { return m_values.at(row * m_columns + column); }
    void paintLines(QPainter& painter, const QRectF& area) const;
    void paintColourMap(QPainter& painter, const QRectF& area) const;
    QString numberLabel(double number) const;

    Kind m_kind = Kind::Lines;
    int m_rows = 0;
    int m_columns = 0;
    QVector<double> m_values;      // row by row; NaN where there is no number
    QStringList m_rowLabels;
    QStringList m_columnLabels;
    QVector<double> m_rowPositions; // the row headers when all are numbers, else 1..rows
    bool m_numericRows = false;
    bool m_hasNumbers = false;
    double m_minimum = 0.0;
    double m_maximum = 0.0;
    QLocale m_locale;
};
