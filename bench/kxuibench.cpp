// How long the desktop window's interface thread stops answering while it opens, computes and shows
// large tables. A 10 ms heartbeat timer on the interface thread records the longest gap between two
// of its ticks during each step; every step also gives its wall time, the resident memory after it
// and the slowest event the interface thread delivered (what to look at when a stall is long).
// usage: kxuibench [JSON]   (default build-bench/ui.json; the project is made in a temporary folder)

#include "KXDataModel.h"
#include "KXDesktopPanels.h"
#include "KXDesktopWindow.h"
#include "KXEquationCtrl.h"
#include "KXEquationModel.h"
#include "TDataEditor2Ctrl.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

const int HeartbeatMs = 10;
// A step that takes longer is reported as not done: the figures before the fixes reach minutes.
const int StepLimitMs = 180000;
const double CancelAfterSeconds = 0.5;
const int MemorySettleMs = 500;

double residentMiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0.0;
}

/// A table of short numbers, row and column headers included, as the project stores it.
void writeDataset(const QString& path, int rows, int columns)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray piece;
    for (int column = 1; column <= columns; ++column)
        piece += ",c" + QByteArray::number(column);
    piece += '\n';
    for (int row = 1; row <= rows; ++row) {
        piece += 'r' + QByteArray::number(row);
        for (int column = 1; column <= columns; ++column)
            piece += ',' + QByteArray::number(double((row * 7 + column * 13) % 1000) / 10.0);
        piece += '\n';
        if (piece.size() > (1 << 20)) {
            file.write(piece);
            piece.clear();
        }
    }
    file.write(piece);
}

/// The longest gap between two ticks of a timer on the interface thread since the last reset.
class Heartbeat final : public QObject
{
public:
    Heartbeat()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(HeartbeatMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_longest = qMax(m_longest, m_clock.restart());
            ++m_ticks;
        });
        m_clock.start();
        m_timer.start();
    }
    void reset()
    {
        m_clock.restart();
        m_longest = 0;
    }
    qint64 longest() const { return qMax(m_longest, m_clock.elapsed()); }
    qint64 ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_longest = 0;
    qint64 m_ticks = 0;
};

/// Times every event the interface thread delivers, to name the one behind a stall: the longest
/// outermost delivery since the last reset, with its receiver's class and the event's type.
class TimedApplication final : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth > 0 || QThread::currentThread() != thread())
            return QApplication::notify(receiver, event);
        const char* className = receiver->metaObject()->className();
        const int type = event->type();
        ++m_depth;
        QElapsedTimer clock;
        clock.start();
        const bool result = QApplication::notify(receiver, event);
        const qint64 spent = clock.elapsed();
        --m_depth;
        if (spent > m_longest) {
            m_longest = spent;
            m_slowest = QStringLiteral("%1 ms %2 event %3").arg(spent).arg(QLatin1String(className)).arg(type);
        }
        return result;
    }
    void reset()
    {
        m_longest = 0;
        m_slowest.clear();
    }
    QString slowest() const { return m_slowest; }

private:
    int m_depth = 0;
    qint64 m_longest = 0;
    QString m_slowest;
};

/// Set once a widget has been painted.
class PaintWatch final : public QObject
{
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

struct Step
{
    QString scenario;
    qint64 cells = 0;
    double seconds = 0.0;
    qint64 maxStallMs = 0;
    double rssMiB = 0.0;
    bool done = false;
    QString slowestEvent;
};

class Bench
{
public:
    Bench(KXDesktopWindow& window) : m_window(window), m_editor(window.findChild<KXDataEditorView*>())
    {
        // Questions about unsaved work are answered "discard", as a user closing a table would.
        auto* answerer = new QTimer(&window);
        QObject::connect(answerer, &QTimer::timeout, [] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                for (QAbstractButton* button : box->buttons()) {
                    if (box->buttonRole(button) == QMessageBox::DestructiveRole) {
                        button->click();
                        return;
                    }
                }
                box->reject();
            }
        });
        answerer->start(50);
    }

    /// Runs start, then the event loop until done() holds, one more heartbeat included.
    Step run(const QString& scenario, qint64 cells, const std::function<void()>& start,
             const std::function<bool()>& done)
    {
        Step step;
        step.scenario = scenario;
        step.cells = cells;
        // Settle: pending paints and deletions of the previous step are not this step's.
        waitFor([] { return false; }, 200);
        m_heartbeat.reset();
        application()->reset();
        QElapsedTimer clock;
        clock.start();
        start();
        step.done = waitFor(done, StepLimitMs);
        step.seconds = clock.nsecsElapsed() / 1e9;
        // A stall right at the end shows on the next tick.
        const qint64 ticks = m_heartbeat.ticks();
        waitFor([&] { return m_heartbeat.ticks() > ticks; }, StepLimitMs);
        step.maxStallMs = m_heartbeat.longest();
        step.rssMiB = residentMiB();
        step.slowestEvent = application()->slowest();
        m_steps.append(step);
        std::printf("%-52s %9lld %8.3f %13lld %8.1f  %s%s\n", qPrintable(step.scenario), step.cells, step.seconds,
                    step.maxStallMs, step.rssMiB, qPrintable(step.slowestEvent), step.done ? "" : "  (not done)");
        std::fflush(stdout);
        return step;
    }

    bool waitFor(const std::function<bool()>& condition, int limitMs)
    {
        QElapsedTimer clock;
        clock.start();
        while (!condition()) {
            if (clock.elapsed() > limitMs)
                return false;
            QEventLoop loop;
            QTimer::singleShot(2, &loop, &QEventLoop::quit);
            loop.exec();
        }
        return true;
    }

    /// Done once a new tab's table view has been painted.
    std::function<bool()> tableShown(int tabsBefore)
    {
        m_watch = std::make_unique<PaintWatch>();
        return [this, tabsBefore] {
            if (m_editor->count() <= tabsBefore)
                return false;
            auto* view = m_editor->widget(m_editor->count() - 1)->findChild<QTableView*>();
            if (!view)
                return false;
            if (!m_watched) {
                view->viewport()->installEventFilter(m_watch.get());
                view->viewport()->update();
                m_watched = true;
            }
            if (!m_watch->painted)
                return false;
            m_watched = false;
            return true;
        };
    }

    void openDataset(const QString& name, qint64 cells)
    {
        auto* panel = m_window.findChild<KXProjectPanel*>();
        const int tabs = m_editor->count();
        run(QStringLiteral("open ") + name, cells,
            [&] {
                m_window.selectDataset(name);
                emit panel->itemActivated(panel->currentItem());
            },
            tableShown(tabs));
    }

    KXEquationCtrl* startModule(const QString& name, qint64 cells)
    {
        KXEquationCtrl* controller = nullptr;
        run(QStringLiteral("new equation on ") + name, cells,
            [&] {
                m_window.selectDataset(name);
                controller = m_window.newEquation();
            },
            [&] { return controller && controller->variableModelExist(QStringLiteral("Input1")); });
        return controller;
    }

    Step launch(KXEquationCtrl* controller, const QString& formula, const QString& label, qint64 cells)
    {
        controller->model()->setFormula(formula);
        controller->updateInterface();
        const int tabs = m_editor->count();
        return run(QStringLiteral("launch ") + label, cells,
                   [&] { QMetaObject::invokeMethod(controller, "slotCompute"); }, tableShown(tabs));
    }

    Step launchAndCancel(KXEquationCtrl* controller, const QString& formula, const QString& label, qint64 cells)
    {
        controller->model()->setFormula(formula);
        controller->updateInterface();
        QElapsedTimer clock;
        QPushButton* cancel = nullptr;
        bool cancelled = false;
        return run(QStringLiteral("launch and cancel ") + label, cells,
                   [&] {
                       clock.start();
                       QMetaObject::invokeMethod(controller, "slotCompute");
                   },
                   [&] {
                       if (!cancel) {
                           for (QPushButton* button : m_window.findChildren<QPushButton*>(QStringLiteral("EquationCancel")))
                               if (button->isVisible())
                                   cancel = button;
                           return false;
                       }
                       if (!cancelled) {
                           if (clock.nsecsElapsed() / 1e9 < CancelAfterSeconds)
                               return false;
                           cancel->click();
                           cancelled = true;
                       }
                       return !cancel->isVisible();
                   });
    }

    /// Closes the current tab (a computed table, marked saved so that nothing is asked). Memory
    /// may be given back by worker threads: the step ends half a second after the tab went.
    Step closeCurrentTable(const QString& label, qint64 cells)
    {
        if (auto* table = qobject_cast<KXDataModelGeneric*>(m_editor->currentTable()))
            ModuleLauncherInterface::returnMe()->dataEditor(0)->markSaved(table);
        const int tabs = m_editor->count();
        QElapsedTimer closed;
        return run(QStringLiteral("close ") + label, cells,
                   [&] { emit m_editor->tabCloseRequested(m_editor->currentIndex()); },
                   [&] {
                       if (m_editor->count() >= tabs)
                           return false;
                       if (!closed.isValid())
                           closed.start();
                       return closed.elapsed() >= MemorySettleMs;
                   });
    }

    bool write(const QString& path, const QJsonObject& extra) const
    {
        QJsonArray steps;
        for (const Step& step : m_steps)
            steps.append(QJsonObject{{"scenario", step.scenario},
                                     {"cells", double(step.cells)},
                                     {"seconds", step.seconds},
                                     {"max_stall_ms", double(step.maxStallMs)},
                                     {"rss_mib", step.rssMiB},
                                     {"done", step.done},
                                     {"slowest_event", step.slowestEvent}});
        QJsonObject root = extra;
        root.insert(QStringLiteral("steps"), steps);
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(root).toJson()) > 0;
    }

private:
    static TimedApplication* application() { return static_cast<TimedApplication*>(qApp); }

    KXDesktopWindow& m_window;
    KXDataEditorView* m_editor;
    Heartbeat m_heartbeat;
    std::unique_ptr<PaintWatch> m_watch;
    bool m_watched = false;
    QList<Step> m_steps;
};

}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication application(argc, argv);
    const QString json = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("build-bench/ui.json");

    QTemporaryDir folder;
    QDir(folder.path()).mkpath(QStringLiteral("bench"));
    std::printf("writing the datasets...\n");
    std::fflush(stdout);
    writeDataset(folder.filePath(QStringLiteral("bench/square.csv")), 2000, 2000);
    writeDataset(folder.filePath(QStringLiteral("bench/tall.csv")), 10000, 1000);

    KXDesktopWindow window(folder.filePath(QStringLiteral("settings.ini")));
    window.resize(1280, 900);
    window.show();
    window.openProject(folder.path());
    Bench bench(window);

    std::printf("%-52s %9s %8s %13s %8s  %s\n", "scenario", "cells", "seconds", "max_stall_ms", "rss_mib",
                "slowest event");
    const qint64 square = 2000 * 2000;
    const qint64 tall = 10000 * 1000;
    bench.openDataset(QStringLiteral("bench.square"), square);
    KXEquationCtrl* first = bench.startModule(QStringLiteral("bench.square"), square);
    bench.launch(first, QStringLiteral("Input1(i,j)*2"), QStringLiteral("Input1(i,j)*2 2000x2000"), square);
    bench.openDataset(QStringLiteral("bench.tall"), tall);
    KXEquationCtrl* second = bench.startModule(QStringLiteral("bench.tall"), tall);
    const double beforeLaunch = residentMiB();
    bench.launch(second, QStringLiteral("Input1(i,j)*2"), QStringLiteral("Input1(i,j)*2 10000x1000"), tall);
    const Step closed = bench.closeCurrentTable(QStringLiteral("result 10000x1000"), tall);
    KXEquationCtrl* third = bench.startModule(QStringLiteral("bench.square"), square);
    bench.launchAndCancel(third, QStringLiteral("sum(k,1,400,sqrt(k*i*j))"),
                          QStringLiteral("sum(k,1,400,sqrt(k*i*j)) 2000x2000"), square);

    std::printf("resident memory before the 10000x1000 launch %.1f MiB, after closing its table %.1f MiB (%+.1f)\n",
                beforeLaunch, closed.rssMiB, closed.rssMiB - beforeLaunch);
    const QJsonObject extra{{"rss_before_launch_mib", beforeLaunch}, {"rss_after_close_mib", closed.rssMiB}};
    if (!bench.write(json, extra)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(json));
        return 1;
    }
    std::printf("written to %s\n", qPrintable(json));
    return 0;
}
