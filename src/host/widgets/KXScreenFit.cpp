#include "KXScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace {

QScreen* screenOf(const QWidget* window)
{
    if (window->windowHandle() && window->isVisible())
        return window->windowHandle()->screen();
    if (const QWidget* parent = window->parentWidget()) {
        if (QScreen* screen = QGuiApplication::screenAt(parent->window()->frameGeometry().center()))
            return screen;
    }
    if (QScreen* screen = QGuiApplication::screenAt(window->frameGeometry().center()))
        return screen;
    return QGuiApplication::primaryScreen();
}

/// Re-fits its window at the first move or resize after which the window has a frame.
class FrameWatcher final : public QObject
{
public:
    explicit FrameWatcher(QWidget* window) : QObject(window), m_window(window)
    {
        setObjectName(QLatin1String(NAME));
        window->installEventFilter(this);
    }
    static constexpr const char* NAME = "kxFrameWatcher";

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const bool placed = event->type() == QEvent::Move || event->type() == QEvent::Resize;
        if (watched == m_window && placed && m_window->frameGeometry() != m_window->geometry()) {
            m_window->removeEventFilter(this);
            KXScreenFit::keepInside(m_window);
            deleteLater();
        }
        return false;
    }

private:
    QWidget* m_window;
};

}

QRect KXScreenFit::availableArea(const QWidget* window)
{
    const QScreen* screen = window ? screenOf(window) : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

void KXScreenFit::keepInside(QWidget* window)
{
    const QRect area = availableArea(window);
    if (!window || area.isEmpty())
        return;
    // The frame's parts beside the window's contents: a title bar, borders.
    const QSize frameExtra = window->frameGeometry().size() - window->size();
    const QSize inside = window->size().boundedTo(area.size() - frameExtra).expandedTo(window->minimumSize());
    if (inside != window->size())
        window->resize(inside);
    const QSize frame = inside + frameExtra;
    const QPoint at = window->frameGeometry().topLeft();
    // A window's position is that of its frame.
    const QPoint fitted(qMax(area.left(), qMin(at.x(), area.right() + 1 - frame.width())),
                        qMax(area.top(), qMin(at.y(), area.bottom() + 1 - frame.height())));
    if (fitted != at)
        window->move(fitted);
}

void KXScreenFit::keepInsideOnceFramed(QWidget* window)
{
    if (!window)
        return;
    keepInside(window);
    const bool watched = window->findChild<QObject*>(QLatin1String(FrameWatcher::NAME), Qt::FindDirectChildrenOnly);
    if (window->frameGeometry() == window->geometry() && !(window->windowFlags() & Qt::FramelessWindowHint) && !watched)
        new FrameWatcher(window);
}

void KXScreenFit::centreOver(QWidget* window, const QWidget* anchor)
{
    if (!window)
        return;
    const QRect area = availableArea(window);
    const QRect over = anchor ? anchor->window()->frameGeometry() : area;
    window->resize(window->size().boundedTo(area.size()).expandedTo(window->minimumSize()));
    QRect placed(QPoint(), window->size());
    placed.moveCenter(over.center());
    window->move(placed.topLeft());
    keepInside(window);
}
