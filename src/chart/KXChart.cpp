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

#include <cmath>
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
    for (int row = 0; row < m_rows; ++row) {
        if (stop && stop->load()) {
            m_rows = m_columns = 0;
            m_values = QVector<double>();
            m_hasNumbers = false;
            return;
        }
        for (int column = 0; column < m_columns; ++column) {
            const QVariant cell = table.data(table.index(row, column), KXValueRole);
            if (!KXNumberFormat::isNumber(cell) || KXNumberFormat::isNoValue(cell))
                continue;
            const double number = cell.toDouble();
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
    m_kind = m_columns > MaximumLineColumns && m_rows > 1 ? Kind::ColourMap : Kind::Lines;
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

void KXChart::paint(QPainter& painter, const QRectF& area) const
{
    painter.save();
    painter.fillRect(area, Qt::white);
    if (!m_hasNumbers) {
        painter.setPen(AxisColour);
        painter.drawText(area, Qt::AlignCenter, nothingToDrawText());
    } else if (m_kind == Kind::Lines) {
        paintLines(painter, area);
    } else {
        paintColourMap(painter, area);
    }
    painter.restore();
}

void KXChart::paintLines(QPainter& painter, const QRectF& area) const
{
    painter.setRenderHint(QPainter::Antialiasing);
    const QFontMetricsF metrics(painter.font());
    const Axis yAxis(m_minimum, m_maximum, 6, true);
    QStringList yLabels;
    for (double tick : yAxis.ticks())
        yLabels.append(numberLabel(tick));

    QVector<int> drawn;
    QStringList legend;
    for (int column = 0; column < m_columns; ++column) {
        for (int row = 0; row < m_rows; ++row) {
            if (!std::isnan(value(row, column))) {
                drawn.append(column);
                legend.append(metrics.elidedText(m_columnLabels.at(column), Qt::ElideRight, 160));
                break;
            }
        }
    }
    // The legend stands right of the plot when there is room for both, else in rows above it.
    const double legendWidth = LegendLine + 6 + widest(metrics, legend);
    const bool legendBeside = area.width() >= 3 * (legendWidth + 2 * Margin);
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
    const QRectF plot = area.adjusted(widest(metrics, yLabels) + Margin + 6,
                                      legendHeight + Margin + metrics.height() / 2,
                                      legendBeside ? -(legendWidth + 2 * Margin) : -Margin,
                                      -(metrics.height() + 2 * Margin));
    if (plot.width() < 10 || plot.height() < 10)
        return;

    double xMinimum = m_rowPositions.value(0), xMaximum = xMinimum;
    for (double position : m_rowPositions) {
        xMinimum = qMin(xMinimum, position);
        xMaximum = qMax(xMaximum, position);
    }
    // Text row headers stand at whole positions half a step from the frame.
    const Axis xAxis = m_numericRows ? Axis(xMinimum, xMaximum, 6, false) : Axis(0.5, m_rows + 0.5, 1, false);
    auto toPoint = [&](double x, double y) {
        return QPointF(plot.left() + xAxis.share(x) * plot.width(), plot.bottom() - yAxis.share(y) * plot.height());
    };

    // Grid and tick labels
    const QVector<double> yTicks = yAxis.ticks();
    for (int k = 0; k < yTicks.size(); ++k) {
        const QPointF at = toPoint(xAxis.low, yTicks.at(k));
        painter.setPen(GridColour);
        painter.drawLine(at, QPointF(plot.right(), at.y()));
        painter.setPen(AxisColour);
        painter.drawText(QRectF(area.left(), at.y() - metrics.height() / 2, plot.left() - area.left() - 6,
                                metrics.height()),
                         Qt::AlignRight | Qt::AlignVCenter, yLabels.at(k));
    }
    QVector<double> xTicks;
    QStringList xLabels;
    if (m_numericRows) {
        for (double tick : Axis(xMinimum, xMaximum, 6, false).ticks()) {
            if (tick >= xAxis.low - 1e-9 * xAxis.step && tick <= xAxis.high + 1e-9 * xAxis.step) {
                xTicks.append(tick);
                xLabels.append(numberLabel(tick));
            }
        }
    } else {
        const int stride = labelStride(m_rows, widest(metrics, m_rowLabels) + 8, plot.width());
        for (int row = 0; row < m_rows; row += stride) {
            xTicks.append(row + 1);
            xLabels.append(m_rowLabels.at(row));
        }
    }
    for (int k = 0; k < xTicks.size(); ++k) {
        const QPointF at = toPoint(xTicks.at(k), yAxis.low);
        painter.setPen(AxisColour);
        painter.drawLine(at, at + QPointF(0, 4));
        const double width = metrics.horizontalAdvance(xLabels.at(k)) + 4;
        painter.drawText(QRectF(at.x() - width / 2, plot.bottom() + 6, width, metrics.height()), Qt::AlignCenter,
                         xLabels.at(k));
    }
    painter.setPen(AxisColour);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(plot);

    // One line per column, broken where a cell has no number; points mark the values.
    const bool markPoints = m_rows <= 60;
    for (int k = 0; k < drawn.size(); ++k) {
        const int column = drawn.at(k);
        const QColor colour = LineColours[k % 8];
        painter.setPen(QPen(colour, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(colour);
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
            segment.append(toPoint(m_rowPositions.at(row), y));
            if (markPoints)
                painter.drawEllipse(segment.last(), 2.5, 2.5);
        }
        flush();

        const QPointF entry = entries.at(k);
        painter.drawLine(entry, entry + QPointF(LegendLine, 0));
        painter.setPen(AxisColour);
        painter.drawText(QRectF(entry.x() + LegendLine + 6, entry.y() - metrics.height() / 2,
                                area.right() - entry.x() - LegendLine - 6, metrics.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, legend.at(k));
    }
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
