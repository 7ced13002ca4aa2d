#include "KXChart.h"

#include "KXDataModel.h"
#include "KXNumberFormat.h"
#include "KXOutputFile.h"

#include <QAbstractItemModel>
#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainterPath>
#include <QTextItem>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <limits>

namespace {

// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXChart", english, french, -1);
}
QString columnLabel(int column)
{
    return tr("Column %1", "Colonne %1").arg(column);
}
QString rowTitleText()
{
    return tr("Row", "Ligne");
}
QString valueTitleText()
{
    return tr("Value", "Valeur");
}
QString nothingToDrawText()
{
    return tr("No number to draw", "Aucun nombre à dessiner");
}
QString unknownFormatMessage(const QString& path)
{
    return tr("The chart file %1 must end in .png or .svg.", "Le fichier de graphique %1 doit finir par .png ou .svg.")
        .arg(path);
}

const double Missing = std::numeric_limits<double>::quiet_NaN();
const double Margin = 12.0;
const double LegendLine = 22.0;
const QColor AxisColour(90, 90, 90);
const QColor GridColour(225, 225, 225);
/// Longest category label drawn slanted, in pixels; longer ones are elided.
const double SlantedLabelWidth = 110.0;
/// Share of a category's width taken by its group of bars.
const double BarGroupWidth = 0.8;

/// Distinct, colour-blind-friendly line colours, reused in turn beyond eight columns.
const QColor LineColours[] = {QColor(0, 114, 178),  QColor(230, 159, 0),   QColor(0, 158, 115),
                              QColor(204, 121, 167), QColor(86, 180, 233), QColor(213, 94, 0),
                              QColor(240, 228, 66),  QColor(0, 0, 0)};
/// A perceptually even scale from low (violet) to high (yellow).
const QColor MapColours[] = {QColor(68, 1, 84), QColor(59, 82, 139), QColor(33, 145, 140), QColor(94, 201, 98),
                             QColor(253, 231, 37)};
const int MapColourCount = int(sizeof(MapColours) / sizeof(MapColours[0]));

QColor mapColour(double share)
{
    const double position = qBound(0.0, share, 1.0) * (MapColourCount - 1);
    const int low = qMin(int(position), MapColourCount - 2);
    const double t = position - low;
    const QColor& a = MapColours[low];
    const QColor& b = MapColours[low + 1];
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

/// Ends of an axis holding [low, high], widened to whole steps of 1, 2 or 5 times a power of ten.
struct Axis
{
    double low = 0.0;
    double high = 1.0;
    double step = 1.0;

    Axis(double minimum, double maximum, int wantedTicks, bool widen)
    {
        if (!(maximum > minimum)) {
            const double pad = minimum == 0.0 ? 1.0 : std::abs(minimum) * 0.5;
            minimum -= pad;
            maximum += pad;
        }
        const double raw = (maximum - minimum) / qMax(wantedTicks, 1);
        const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
        const double normalised = raw / magnitude;
        step = (normalised < 1.5 ? 1.0 : normalised < 3.0 ? 2.0 : normalised < 7.0 ? 5.0 : 10.0) * magnitude;
        low = widen ? std::floor(minimum / step) * step : minimum;
        high = widen ? std::ceil(maximum / step) * step : maximum;
    }

    QVector<double> ticks() const
    {
        QVector<double> values;
        for (double tick = std::ceil(low / step - 1e-9) * step; tick <= high + step * 1e-9; tick += step)
            values.append(std::abs(tick) < step * 1e-9 ? 0.0 : tick);
        return values;
    }
    double share(double value) const { return (value - low) / (high - low); }
};

/// Every how many labels one is drawn so that labels of that width do not overlap.
int labelStride(int count, double labelSize, double room)
{
    if (count <= 0 || room <= 0)
        return 1;
    return qMax(1, int(std::ceil(count * labelSize / room)));
}

double widest(const QFontMetricsF& metrics, const QStringList& texts, int stride = 1)
{
    double width = 0.0;
    for (int k = 0; k < texts.size(); k += stride)
        width = qMax(width, metrics.horizontalAdvance(texts.at(k)));
    return width;
}

/// Writes what a QPainter draws as SVG elements. Qt's own SVG generator lives in a library that
/// needs QtWidgets, which the command-line tool must not load; the chart draws only paths,
/// polylines, plain texts and solid or linear-gradient fills, which this covers.
class SvgPaintEngine final : public QPaintEngine
{
public:
    SvgPaintEngine() : QPaintEngine(QPaintEngine::AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}

    void updateState(const QPaintEngineState& state) override
    {
        if (state.state() & DirtyPen)
            m_pen = state.pen();
        if (state.state() & DirtyBrush)
            m_brush = state.brush();
        if (state.state() & DirtyTransform)
            m_transform = state.transform();
    }

    void drawPath(const QPainterPath& path) override
    {
        QString data;
        for (const QPolygonF& polygon : m_transform.map(path).toSubpathPolygons())
            data += QLatin1Char('M') + points(polygon).replace(QLatin1Char(' '), QStringLiteral(" L"))
                    + QLatin1Char('Z');
        m_body += QStringLiteral("<path d=\"%1\" %2/>\n").arg(data, style(true));
    }

    void drawPolygon(const QPointF* vertices, int count, PolygonDrawMode mode) override
    {
        const QPolygonF polygon = m_transform.map(QPolygonF(QVector<QPointF>(vertices, vertices + count)));
        const bool open = mode == PolylineMode;
        m_body += QStringLiteral("<%1 points=\"%2\" %3/>\n")
                      .arg(open ? QStringLiteral("polyline") : QStringLiteral("polygon"), points(polygon),
                           style(!open));
    }

    void drawTextItem(const QPointF& position, const QTextItem& item) override
    {
        const QPointF at = m_transform.map(position);
        const QFont font = item.font();
        const double size = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
        m_body += QStringLiteral("<text x=\"%1\" y=\"%2\" font-family=\"%3\" font-size=\"%4\" fill=\"%5\">%6</text>\n")
                      .arg(number(at.x()), number(at.y()), font.family().toHtmlEscaped(), number(size),
                           m_pen.color().name(), item.text().toHtmlEscaped());
    }

    QByteArray document(const QSize& size) const
    {
        return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" height=\"%2\" "
                              "viewBox=\"0 0 %1 %2\">\n<defs>\n%3</defs>\n%4</svg>\n")
            .arg(size.width())
            .arg(size.height())
            .arg(m_definitions, m_body)
            .toUtf8();
    }

private:
    static QString number(double value) { return QString::number(value, 'g', 6); }
    static QString points(const QPolygonF& polygon)
    {
        QStringList texts;
        for (const QPointF& point : polygon)
            texts.append(number(point.x()) + QLatin1Char(',') + number(point.y()));
        return texts.join(QLatin1Char(' '));
    }
    static QString paint(const QColor& colour, const char* attribute)
    {
        QString text = QStringLiteral("%1=\"%2\"").arg(QLatin1String(attribute), colour.name());
        if (colour.alpha() < 255)
            text += QStringLiteral(" %1-opacity=\"%2\"").arg(QLatin1String(attribute), number(colour.alphaF()));
        return text;
    }

    QString style(bool filled)
    {
        QString text;
        const auto* gradient = static_cast<const QLinearGradient*>(m_brush.gradient());
        if (!filled || m_brush.style() == Qt::NoBrush) {
            text = QStringLiteral("fill=\"none\"");
        } else if (m_brush.style() == Qt::LinearGradientPattern && gradient) {
            const QString id = QStringLiteral("gradient%1").arg(++m_gradients);
            const QPointF start = m_transform.map(gradient->start()), stop = m_transform.map(gradient->finalStop());
            m_definitions += QStringLiteral("<linearGradient id=\"%1\" gradientUnits=\"userSpaceOnUse\" x1=\"%2\" "
                                            "y1=\"%3\" x2=\"%4\" y2=\"%5\">\n")
                                 .arg(id, number(start.x()), number(start.y()), number(stop.x()), number(stop.y()));
            for (const QGradientStop& gradientStop : gradient->stops())
                m_definitions += QStringLiteral("<stop offset=\"%1\" stop-color=\"%2\"/>\n")
                                     .arg(number(gradientStop.first), gradientStop.second.name());
            m_definitions += QStringLiteral("</linearGradient>\n");
            text = QStringLiteral("fill=\"url(#%1)\"").arg(id);
        } else {
            text = paint(m_brush.color(), "fill");
        }
        if (m_pen.style() == Qt::NoPen)
            return text + QStringLiteral(" stroke=\"none\"");
        return text + QLatin1Char(' ') + paint(m_pen.color(), "stroke")
               + QStringLiteral(" stroke-width=\"%1\" stroke-linecap=\"round\" stroke-linejoin=\"round\"")
                     .arg(number(qMax(1.0, m_pen.widthF())));
    }

    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
    QString m_definitions;
    QString m_body;
    int m_gradients = 0;
};

/// A picture of a given size at 96 dots per inch, painted as SVG.
class SvgPaintDevice final : public QPaintDevice
{
public:
    explicit SvgPaintDevice(const QSize& size) : m_size(size) {}
    QPaintEngine* paintEngine() const override { return &m_engine; }
    QByteArray document() const { return m_engine.document(m_size); }

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return m_size.width();
        case PdmHeight:
            return m_size.height();
        case PdmWidthMM:
            return qRound(m_size.width() * 25.4 / 96);
        case PdmHeightMM:
            return qRound(m_size.height() * 25.4 / 96);
        case PdmNumColors:
            return INT_MAX;
        case PdmDepth:
            return 32;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        default:
            return 96;
        }
    }

private:
    QSize m_size;
    mutable SvgPaintEngine m_engine;
};

}

KXChart::KXChart(const QAbstractItemModel& table, const QLocale& locale, const std::atomic<bool>* stop)
    : m_rows(table.rowCount(QModelIndex())), m_columns(table.columnCount(QModelIndex())), m_locale(locale)
{
    m_values.fill(Missing, m_rows * m_columns);
    // A host table's numbers are read without a QVariant each.
    const auto* host = qobject_cast<const KXDataModelGeneric*>(&table);
    for (int row = 0; row < m_rows; ++row) {
        if (stop && stop->load()) {
            m_rows = m_columns = 0;
            m_values = QVector<double>();
            m_hasNumbers = false;
            return;
        }
        for (int column = 0; column < m_columns; ++column) {
            double number;
            if (!host || !host->number(row, column, number)) {
                const QVariant cell = table.data(table.index(row, column), KXValueRole);
                if (!KXNumberFormat::isNumber(cell) || KXNumberFormat::isNoValue(cell))
                    continue;
                number = cell.toDouble();
            } else if (number == KXNoValue) {
                continue;
            }
            if (!std::isfinite(number))
                continue;
            m_values[row * m_columns + column] = number;
            m_minimum = m_hasNumbers ? qMin(m_minimum, number) : number;
            m_maximum = m_hasNumbers ? qMax(m_maximum, number) : number;
            m_hasNumbers = true;
        }
    }
    for (int column = 0; column < m_columns; ++column) {
        const QString label =
            KXNumberFormat::displayText(table.headerData(column, Qt::Horizontal, Qt::DisplayRole), locale);
        m_columnLabels.append(label.isEmpty() ? columnLabel(column + 1) : label);
    }
    m_numericRows = m_rows > 0;
    for (int row = 0; row < m_rows; ++row) {
        const QVariant header = table.headerData(row, Qt::Vertical, Qt::DisplayRole);
        const QString label = KXNumberFormat::displayText(header, locale);
        m_rowLabels.append(label.isEmpty() ? QString::number(row + 1) : label);
        const bool numeric = KXNumberFormat::isNumber(header) && !KXNumberFormat::isNoValue(header)
                             && std::isfinite(header.toDouble());
        m_numericRows = m_numericRows && numeric;
        m_rowPositions.append(numeric ? header.toDouble() : row + 1);
    }
    if (!m_numericRows) {
        for (int row = 0; row < m_rows; ++row)
            m_rowPositions[row] = row + 1;
    }
    m_rowOrder.resize(m_rows);
    std::iota(m_rowOrder.begin(), m_rowOrder.end(), 0);
    std::stable_sort(m_rowOrder.begin(), m_rowOrder.end(),
                     [this](int a, int b) { return m_rowPositions.at(a) < m_rowPositions.at(b); });
    m_kind = m_columns > MaximumLineColumns && m_rows > 1 ? Kind::ColourMap
             : m_numericRows                              ? Kind::Lines
                                                          : Kind::Bars;

    // A column far smaller than the largest would read as a flat line on its axis.
    QVector<double> magnitudes(m_columns, 0.0);
    double largest = 0.0;
    for (int column = 0; column < m_columns; ++column) {
        for (int row = 0; row < m_rows; ++row) {
            const double number = value(row, column);
            if (!std::isnan(number))
                magnitudes[column] = qMax(magnitudes[column], std::abs(number));
        }
        largest = qMax(largest, magnitudes[column]);
    }
    m_secondAxis.fill(false, m_columns);
    if (m_kind != Kind::ColourMap) {
        for (int column = 0; column < m_columns; ++column)
            m_secondAxis[column] = magnitudes[column] > 0.0 && magnitudes[column] * SecondAxisRatio < largest;
    }
}

void KXChart::setTitles(const QString& rows, const QString& values)
{
    m_rowTitle = rows;
    m_valueTitle = values;
}

KXChart::Window KXChart::fullWindow() const
{
    Window window;
    if (m_rows == 0)
        return window;
    if (!m_numericRows) {
        window.low = 0.5;
        window.high = m_rows + 0.5;
        return window;
    }
    window.low = m_rowPositions.at(m_rowOrder.first());
    window.high = m_rowPositions.at(m_rowOrder.last());
    if (!(window.high > window.low)) {
        window.low -= 0.5;
        window.high += 0.5;
    }
    return window;
}

int KXChart::seriesCount() const
{
    if (m_kind == Kind::ColourMap)
        return m_hasNumbers ? 1 : 0;
    int count = 0;
    for (int column = 0; column < m_columns; ++column) {
        for (int row = 0; row < m_rows; ++row) {
            if (!std::isnan(value(row, column))) {
                ++count;
                break;
            }
        }
    }
    return count;
}

QString KXChart::numberLabel(double number) const
{
    return KXNumberFormat::numberText(number, m_locale);
}

KXChart::Layout KXChart::paint(QPainter& painter, const QRectF& area, const Window& window) const
{
    Layout layout;
    painter.save();
    painter.fillRect(area, Qt::white);
    if (!m_hasNumbers) {
        painter.setPen(AxisColour);
        painter.drawText(area, Qt::AlignCenter, nothingToDrawText());
    } else if (m_kind == Kind::ColourMap) {
        paintColourMap(painter, area);
    } else {
        layout = paintSeries(painter, area, window);
    }
    painter.restore();
    return layout;
}

KXChart::Layout KXChart::paintSeries(QPainter& painter, const QRectF& area, const Window& asked) const
{
    Layout layout;
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font());
    const bool bars = m_kind == Kind::Bars;
    const bool second = hasSecondAxis();

    // One value axis per side; bars stand on zero.
    QVector<int> drawn;
    QStringList legend;
    double low[2] = {0, 0}, high[2] = {0, 0};
    bool seen[2] = {false, false};
    for (int column = 0; column < m_columns; ++column) {
        const int side = onSecondAxis(column) ? 1 : 0;
        bool any = false;
        for (int row = 0; row < m_rows; ++row) {
            const double number = value(row, column);
            if (std::isnan(number))
                continue;
            low[side] = seen[side] ? qMin(low[side], number) : number;
            high[side] = seen[side] ? qMax(high[side], number) : number;
            seen[side] = any = true;
        }
        if (any) {
            drawn.append(column);
            // An arrow marks the columns read on the right-hand axis.
            legend.append(metrics.elidedText(m_columnLabels.at(column), Qt::ElideRight, 160)
                          + (side == 1 && second ? QStringLiteral(" \u2192") : QString()));
        }
    }
    QVector<Axis> yAxes;
    QStringList yLabels[2];
    for (int side = 0; side < (second ? 2 : 1); ++side) {
        if (bars) {
            low[side] = qMin(low[side], 0.0);
            high[side] = qMax(high[side], 0.0);
        }
        yAxes.append(Axis(low[side], high[side], 6, true));
        for (double tick : yAxes.last().ticks())
            yLabels[side].append(numberLabel(tick));
    }
    const QString valueTitle = m_valueTitle.isEmpty() ? valueTitleText() : m_valueTitle;
    const QString rowTitle = m_rowTitle.isEmpty() ? rowTitleText() : m_rowTitle;

    // The legend stands right of the plot when there is room for both, else in rows above it.
    const double rightAxisWidth = second ? widest(metrics, yLabels[1]) + metrics.height() + 2 * Margin : 0.0;
    const double legendWidth = LegendLine + 6 + widest(metrics, legend);
    const bool legendBeside = area.width() >= 3 * (legendWidth + 2 * Margin) + rightAxisWidth;
    QVector<QPointF> entries;
    double legendHeight = 0.0;
    if (legendBeside) {
        for (int k = 0; k < legend.size(); ++k)
            entries.append(QPointF(area.right() - legendWidth - Margin,
                                   area.top() + Margin + k * (metrics.height() + 4) + metrics.height() / 2));
    } else {
        QPointF at(area.left() + Margin, area.top() + Margin + metrics.height() / 2);
        for (const QString& name : qAsConst(legend)) {
            const double width = LegendLine + 6 + metrics.horizontalAdvance(name) + 2 * Margin;
            if (at.x() + width > area.right() && at.x() > area.left() + Margin)
                at = QPointF(area.left() + Margin, at.y() + metrics.height() + 4);
            entries.append(at);
            at.rx() += width;
        }
        legendHeight = entries.isEmpty() ? 0.0 : entries.last().y() + metrics.height() / 2 - area.top();
    }

    // Row labels lie flat when all fit, else slanted; only when slanted ones still collide is
    // every how-many-th drawn.
    const Window full = fullWindow();
    const Window window = asked.isFull() ? full : asked;
    QVector<double> xTicks;
    QStringList xLabels;
    if (m_numericRows) {
        for (double tick : Axis(window.low, window.high, 6, false).ticks()) {
            xTicks.append(tick);
            xLabels.append(numberLabel(tick));
        }
    } else {
        for (int row = qMax(0, int(std::ceil(window.low)) - 1); row < qMin(m_rows, int(std::floor(window.high))); ++row) {
            xTicks.append(row + 1);
            xLabels.append(m_rowLabels.at(row));
        }
    }
    const double leftWidth = metrics.height() + widest(metrics, yLabels[0]) + Margin + 6;
    const double roughWidth = area.width() - leftWidth - rightAxisWidth - (legendBeside ? legendWidth + 2 * Margin : Margin);
    const double flatWidth = widest(metrics, xLabels) + 8;
    const bool slanted = !m_numericRows && xLabels.size() * flatWidth > roughWidth;
    // Slanted labels stand 1.5 heights apart; upright ones, where even those do not fit, one.
    const bool upright = slanted && xLabels.size() * metrics.height() * 1.5 > roughWidth;
    const double slantedWidth = qMin(flatWidth, SlantedLabelWidth);
    const double labelHeight = upright   ? slantedWidth
                               : slanted ? (slantedWidth + metrics.height()) * M_SQRT1_2
                                         : metrics.height();
    const QRectF plot = area.adjusted(leftWidth, legendHeight + Margin + metrics.height() / 2,
                                      -(rightAxisWidth + (legendBeside ? legendWidth + 2 * Margin : Margin)),
                                      -(labelHeight + metrics.height() + 2 * Margin));
    if (plot.width() < 10 || plot.height() < 10)
        return layout;
    const Axis xAxis(window.low, window.high, 1, false);
    layout.plot = plot;
    layout.xLow = xAxis.low;
    layout.xHigh = xAxis.high;
    for (int side = 0; side < yAxes.size(); ++side) {
        layout.yLow[side] = yAxes.at(side).low;
        layout.yHigh[side] = yAxes.at(side).high;
    }
    auto toPoint = [&](double x, double y, int side) {
        return QPointF(plot.left() + xAxis.share(x) * plot.width(),
                       plot.bottom() - yAxes.at(side).share(y) * plot.height());
    };

    // Grid, tick labels and titles
    for (int side = 0; side < yAxes.size(); ++side) {
        const QVector<double> yTicks = yAxes.at(side).ticks();
        for (int k = 0; k < yTicks.size(); ++k) {
            const double y = toPoint(xAxis.low, yTicks.at(k), side).y();
            painter.setPen(side == 0 ? GridColour : Qt::transparent);
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
            painter.setPen(AxisColour);
            const QRectF room = side == 0 ? QRectF(area.left(), y - metrics.height() / 2,
                                                   plot.left() - area.left() - 6, metrics.height())
                                          : QRectF(plot.right() + 6, y - metrics.height() / 2,
                                                   rightAxisWidth - Margin, metrics.height());
            painter.drawText(room, (side == 0 ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                             yLabels[side].at(k));
        }
        painter.save();
        const double titleX = side == 0 ? area.left() + 2 : plot.right() + rightAxisWidth - metrics.height();
        painter.translate(titleX + metrics.ascent(), plot.center().y());
        painter.rotate(-90);
        painter.drawText(QRectF(-plot.height() / 2, -metrics.ascent(), plot.height(), metrics.height()),
                         Qt::AlignCenter, metrics.elidedText(valueTitle, Qt::ElideRight, plot.height()));
        painter.restore();
    }
    const double step = upright ? metrics.height() : slanted ? metrics.height() * 1.5 : flatWidth;
    const int stride = labelStride(xTicks.size(), step, plot.width() * (xTicks.size() > 1 ? 1.0 : 2.0));
    painter.setPen(AxisColour);
    for (int k = 0; k < xTicks.size(); k += stride) {
        const QPointF at = toPoint(xTicks.at(k), yAxes.at(0).low, 0);
        painter.drawLine(at, at + QPointF(0, 4));
        if (!slanted) {
            const double width = metrics.horizontalAdvance(xLabels.at(k)) + 4;
            painter.drawText(QRectF(at.x() - width / 2, plot.bottom() + 6, width, metrics.height()), Qt::AlignCenter,
                             xLabels.at(k));
            continue;
        }
        painter.save();
        painter.translate(at.x(), plot.bottom() + 6);
        painter.rotate(upright ? -90 : -45);
        painter.drawText(QRectF(-slantedWidth, -metrics.height() / 2 + metrics.height() / 2, slantedWidth,
                                metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(xLabels.at(k), Qt::ElideRight, slantedWidth));
        painter.restore();
    }
    painter.drawText(QRectF(plot.left(), area.bottom() - Margin - metrics.height(), plot.width(), metrics.height()),
                     Qt::AlignCenter, metrics.elidedText(rowTitle, Qt::ElideRight, plot.width()));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);

    // Lines are broken where a cell has no number, points mark the values; bars stand side by
    // side in each row's slot. Both are clipped to the window.
    painter.save();
    painter.setClipRect(plot);
    const bool markPoints = m_rows <= 60;
    const double barWidth = BarGroupWidth / qMax(1, drawn.size());
    for (int k = 0; k < drawn.size(); ++k) {
        const int column = drawn.at(k);
        const int side = onSecondAxis(column) && second ? 1 : 0;
        const QColor colour = LineColours[k % 8];
        painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(colour);
        if (bars) {
            painter.setPen(Qt::NoPen);
            for (int row = 0; row < m_rows; ++row) {
                const double y = value(row, column);
                const double left = row + 1 - BarGroupWidth / 2 + k * barWidth;
                if (!std::isnan(y) && left + barWidth > window.low && left < window.high)
                    painter.drawRect(QRectF(toPoint(left, y, side), toPoint(left + barWidth, 0.0, side)).normalized());
            }
            continue;
        }
        QPolygonF segment;
        auto flush = [&] {
            if (segment.size() > 1)
                painter.drawPolyline(segment);
            else if (segment.size() == 1 && !markPoints)
                painter.drawEllipse(segment.first(), 2.5, 2.5);
            segment.clear();
        };
        for (int row = 0; row < m_rows; ++row) {
            const double y = value(row, column);
            if (std::isnan(y)) {
                flush();
                continue;
            }
            segment.append(toPoint(m_rowPositions.at(row), y, side));
            if (markPoints)
                painter.drawEllipse(segment.last(), 2.5, 2.5);
        }
        flush();
    }
    painter.restore();
    for (int k = 0; k < drawn.size(); ++k) {
        const QColor colour = LineColours[k % 8];
        const QPointF entry = entries.at(k);
        painter.setPen(QPen(colour, bars ? 8.0 : 2.0));
        painter.drawLine(entry, entry + QPointF(LegendLine, 0));
        painter.setPen(AxisColour);
        painter.drawText(QRectF(entry.x() + LegendLine + 6, entry.y() - metrics.height() / 2,
                                area.right() - entry.x() - LegendLine - 6, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, legend.at(k));
    }
    return layout;
}

KXChart::Point KXChart::pointAt(const Layout& layout, const QPointF& position) const
{
    Point point;
    if (m_kind == Kind::ColourMap || !layout.plot.contains(position) || m_rows == 0)
        return point;
    const QRectF& plot = layout.plot;
    const double x = layout.xLow + (position.x() - plot.left()) / plot.width() * (layout.xHigh - layout.xLow);
    QVector<int> columns;
    for (int column = 0; column < m_columns; ++column) {
        for (int row = 0; row < m_rows; ++row) {
            if (!std::isnan(value(row, column))) {
                columns.append(column);
                break;
            }
        }
    }
    if (columns.isEmpty())
        return point;
    if (m_kind == Kind::Bars) {
        // The bar under the pointer's slot, whatever its height.
        const int row = qRound(x) - 1;
        const double slot = (x - (row + 1 - BarGroupWidth / 2)) / (BarGroupWidth / columns.size());
        if (row < 0 || row >= m_rows || slot < 0 || slot >= columns.size())
            return point;
        point.row = row;
        point.column = columns.at(int(slot));
        return std::isnan(value(point.row, point.column)) ? Point() : point;
    }
    // The nearest row by position (rows kept sorted), then the nearest value on screen.
    const auto after = std::lower_bound(m_rowOrder.cbegin(), m_rowOrder.cend(), x,
                                        [this](int row, double at) { return m_rowPositions.at(row) < at; });
    int row = after == m_rowOrder.cend() ? m_rowOrder.last() : *after;
    if (after != m_rowOrder.cbegin() && (after == m_rowOrder.cend()
                                         || x - m_rowPositions.at(*(after - 1)) < m_rowPositions.at(row) - x))
        row = *(after - 1);
    double nearest = std::numeric_limits<double>::infinity();
    const bool second = hasSecondAxis();
    for (int column : qAsConst(columns)) {
        const double number = value(row, column);
        if (std::isnan(number))
            continue;
        const int side = second && onSecondAxis(column) ? 1 : 0;
        const double share = (number - layout.yLow[side]) / (layout.yHigh[side] - layout.yLow[side]);
        const double distance = std::abs(plot.bottom() - share * plot.height() - position.y());
        if (distance < nearest) {
            nearest = distance;
            point.row = row;
            point.column = column;
        }
    }
    return point;
}

QString KXChart::pointText(const Point& point) const
{
    if (!point.isValid() || point.row >= m_rows || point.column >= m_columns)
        return QString();
    return QStringLiteral("%1, %2: %3")
        .arg(m_rowLabels.at(point.row), m_columnLabels.at(point.column), numberLabel(value(point.row, point.column)));
}

void KXChart::paintColourMap(QPainter& painter, const QRectF& area) const
{
    const QFontMetricsF metrics(painter.font());
    const Axis scale(m_minimum, m_maximum, 5, false);
    QStringList scaleLabels;
    QVector<double> scaleTicks;
    for (double tick : Axis(m_minimum, m_maximum, 5, false).ticks()) {
        scaleTicks.append(tick);
        scaleLabels.append(numberLabel(tick));
    }
    const double barWidth = 16.0;
    const double legendWidth = barWidth + 6 + widest(metrics, scaleLabels);
    const double rowLabelWidth = qMin(widest(metrics, m_rowLabels), area.width() / 5);
    const QRectF plot = area.adjusted(rowLabelWidth + Margin + 6, Margin + metrics.height() / 2,
                                      -(legendWidth + 2 * Margin), -(metrics.height() + 2 * Margin));
    if (plot.width() < 10 || plot.height() < 10)
        return;

    // Cells without a number stay blank.
    const double cellWidth = plot.width() / m_columns;
    const double cellHeight = plot.height() / m_rows;
    for (int row = 0; row < m_rows; ++row) {
        for (int column = 0; column < m_columns; ++column) {
            const double number = value(row, column);
            if (std::isnan(number))
                continue;
            // Overlap by a fraction of a pixel so that no seam shows between neighbours.
            painter.fillRect(QRectF(plot.left() + column * cellWidth, plot.top() + row * cellHeight,
                                    cellWidth + 0.5, cellHeight + 0.5),
                             mapColour(scale.share(number)));
        }
    }
    painter.setPen(AxisColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);

    const int rowStride = labelStride(m_rows, metrics.height(), plot.height());
    for (int row = 0; row < m_rows; row += rowStride) {
        const double y = plot.top() + (row + 0.5) * cellHeight;
        painter.drawText(QRectF(area.left(), y - metrics.height() / 2, plot.left() - area.left() - 6, metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter,
                         metrics.elidedText(m_rowLabels.at(row), Qt::ElideRight, rowLabelWidth));
    }
    const int columnStride = labelStride(m_columns, widest(metrics, m_columnLabels) + 8, plot.width());
    for (int column = 0; column < m_columns; column += columnStride) {
        const double x = plot.left() + (column + 0.5) * cellWidth;
        const double width = metrics.horizontalAdvance(m_columnLabels.at(column)) + 4;
        painter.drawText(QRectF(x - width / 2, plot.bottom() + 6, width, metrics.height()), Qt::AlignCenter,
                         m_columnLabels.at(column));
    }

    // The colour legend: the scale from the smallest value at the bottom to the largest at the top.
    const QRectF bar(plot.right() + Margin, plot.top(), barWidth, plot.height());
    QLinearGradient gradient(bar.bottomLeft(), bar.topLeft());
    for (int k = 0; k < MapColourCount; ++k)
        gradient.setColorAt(double(k) / (MapColourCount - 1), MapColours[k]);
    painter.fillRect(bar, gradient);
    painter.drawRect(bar);
    for (int k = 0; k < scaleTicks.size(); ++k) {
        const double y = bar.bottom() - scale.share(scaleTicks.at(k)) * bar.height();
        painter.drawLine(QPointF(bar.right(), y), QPointF(bar.right() + 4, y));
        painter.drawText(QRectF(bar.right() + 6, y - metrics.height() / 2, area.right() - bar.right() - 6,
                                metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, scaleLabels.at(k));
    }
}

QImage KXChart::toImage(const QSize& size) const
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

bool KXChart::save(const QString& path, const QSize& size, QString* error, KXFileStatus* status) const
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix != QLatin1String("png") && suffix != QLatin1String("svg")) {
        if (error)
            *error = unknownFormatMessage(path);
        if (status)
            *status = KXFileStatus::CannotCreate;
        return false;
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (suffix == QLatin1String("svg")) {
        SvgPaintDevice drawing(size);
        {
            QPainter painter(&drawing);
            paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        }
        buffer.write(drawing.document());
    } else {
        toImage(size).save(&buffer, "PNG");
    }
    // Written whole or not at all, by the rules of every output file.
    const KXFileStatus written = KXOutputFile::write(path, buffer.data(), error);
    if (status)
        *status = written;
    return written == KXFileStatus::Ok;
}
