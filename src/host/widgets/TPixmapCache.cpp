#include "TPixmapCache.h"

#include <QCoreApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>
#include <map>

namespace {
using Drawing = std::function<void(QPainter&)>;

QPixmap draw(int size, const Drawing& drawing)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    drawing(painter);
    return pixmap;
}

// Bar chart on two axes.
void drawStatistics(QPainter& painter)
{
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.drawLine(4, 3, 4, 28);
    painter.drawLine(4, 28, 29, 28);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(52, 101, 164));
    painter.drawRect(8, 16, 5, 11);
    painter.setBrush(QColor(245, 121, 0));
    painter.drawRect(15, 8, 5, 19);
    painter.setBrush(QColor(78, 154, 6));
    painter.drawRect(22, 12, 5, 15);
}

// Question mark in a blue disc.
void drawQuickHelp(QPainter& painter)
{
    painter.setPen(QPen(QColor(32, 74, 135), 1.5));
    painter.setBrush(QColor(114, 159, 207));
    painter.drawEllipse(QRectF(2, 2, 28, 28));
    QPainterPath mark;
    mark.moveTo(11.5, 12);
    mark.cubicTo(11.5, 6.5, 20.5, 6.5, 20.5, 12);
    mark.cubicTo(20.5, 15.5, 16, 15.5, 16, 19.5);
    painter.setPen(QPen(Qt::white, 3.5, Qt::SolidLine, Qt::RoundCap));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(mark);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(16, 24.5), 2.2, 2.2);
}

// Play triangle in a green disc.
void drawLaunch(QPainter& painter)
{
    painter.setPen(QPen(QColor(46, 110, 0), 1.5));
    painter.setBrush(QColor(115, 210, 22));
    painter.drawEllipse(QRectF(2, 2, 28, 28));
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPolygon(QPolygonF({QPointF(12, 9), QPointF(24, 16), QPointF(12, 23)}));
}

// Floppy disk.
void drawSave(QPainter& painter)
{
    painter.setPen(QPen(QColor(20, 40, 80), 1.5));
    painter.setBrush(QColor(52, 101, 164));
    painter.drawRoundedRect(QRectF(3, 3, 26, 26), 3, 3);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(238, 238, 236));
    painter.drawRect(QRectF(8, 4.5, 16, 9));
    painter.setBrush(QColor(136, 138, 133));
    painter.drawRect(QRectF(9, 19, 14, 9));
    painter.setBrush(QColor(52, 101, 164));
    painter.drawRect(QRectF(18, 20.5, 3, 6));
}

// Open folder.
void drawOpen(QPainter& painter)
{
    painter.setPen(QPen(QColor(143, 89, 2), 1.5));
    painter.setBrush(QColor(193, 125, 17));
    QPainterPath back;
    back.moveTo(3, 27);
    back.lineTo(3, 7);
    back.lineTo(12, 7);
    back.lineTo(14, 10);
    back.lineTo(26, 10);
    back.lineTo(26, 27);
    back.closeSubpath();
    painter.drawPath(back);
    QLinearGradient front(0, 13, 0, 27);
    front.setColorAt(0, QColor(252, 233, 79));
    front.setColorAt(1, QColor(237, 212, 0));
    painter.setBrush(front);
    painter.drawPolygon(QPolygonF({QPointF(3, 27), QPointF(8, 14), QPointF(30, 14), QPointF(26, 27)}));
}

// Green plus sign.
void drawAdd(QPainter& painter)
{
    QPainterPath plus;
    plus.addRect(QRectF(12, 4, 8, 24));
    plus.addRect(QRectF(4, 12, 24, 8));
    painter.setPen(QPen(QColor(46, 110, 0), 1.5));
    painter.setBrush(QColor(115, 210, 22));
    painter.drawPath(plus.simplified());
}

// Red cross.
void drawDelete(QPainter& painter)
{
    painter.setPen(QPen(QColor(164, 0, 0), 7, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(8, 8, 24, 24);
    painter.drawLine(24, 8, 8, 24);
    painter.setPen(QPen(QColor(239, 41, 41), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(8, 8, 24, 24);
    painter.drawLine(24, 8, 8, 24);
}

// A pi sign on a violet tile.
void drawConstant(QPainter& painter)
{
    painter.setPen(QPen(QColor(92, 53, 102), 1));
    painter.setBrush(QColor(173, 127, 168));
    painter.drawRoundedRect(QRectF(0.5, 0.5, 15, 15), 3, 3);
    painter.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(3.5, 4.5), QPointF(12.5, 4.5));
    painter.drawLine(QPointF(6, 4.5), QPointF(5.5, 12));
    painter.drawLine(QPointF(10, 4.5), QPointF(10.5, 12));
}

// A small table with a header row.
void drawDataset(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QColor(46, 52, 54));
    painter.setBrush(Qt::white);
    painter.drawRect(1, 2, 14, 12);
    painter.fillRect(2, 3, 13, 3, QColor(114, 159, 207));
    painter.setPen(QColor(136, 138, 133));
    painter.drawLine(2, 9, 14, 9);
    painter.drawLine(2, 12, 14, 12);
    painter.drawLine(6, 3, 6, 13);
    painter.drawLine(10, 3, 10, 13);
}

std::map<QString, QPixmap>* cache = nullptr;

// Pixmaps must go before the application that made them.
void releaseCache()
{
    delete cache;
    cache = nullptr;
}

std::map<QString, QPixmap>& pixmaps()
{
    if (!cache) {
        cache = new std::map<QString, QPixmap>{
            {QStringLiteral("stat_32"), draw(32, drawStatistics)},
            {QStringLiteral("quickHelp"), draw(32, drawQuickHelp)},
            {QStringLiteral("launch"), draw(32, drawLaunch)},
            {QStringLiteral("save_generic"), draw(32, drawSave)},
            {QStringLiteral("open_generic"), draw(32, drawOpen)},
            {QStringLiteral("add"), draw(32, drawAdd)},
            {QStringLiteral("delete"), draw(32, drawDelete)},
            {QStringLiteral("constant_16"), draw(16, drawConstant)},
            {QStringLiteral("dataset"), draw(16, drawDataset)},
        };
        qAddPostRoutine(releaseCache);
    }
    return *cache;
}
}

const QPixmap& TPixmapCache::find(const QString& key)
{
    static const QPixmap none;
    const auto& all = pixmaps();
    const auto found = all.find(key);
    return found == all.end() ? none : found->second;
}
