#pragma once

#include "KXEquationComputation.h"
#include "KXEquationDocument.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <atomic>
#include <memory>

class QThread;
class QTimer;
class KXDataModelGeneric;
class KXEquationReadError;

/// An equation computed on a thread of its own, on copies of its models, so that the user goes on
/// editing meanwhile: progress for a display, a cancel flag, and the table once done.
class KXEQUATION_EXPORT KXEquationLaunch final : public QObject
{
    Q_OBJECT
public:
    /// Copies both models; the tables that dataset variables refer to must outlive the launch.
    KXEquationLaunch(const KXEquationModel& equation, const KXEquationVariableModel& variables,
                     QObject* parent = nullptr);
    /// Cancels a running computation and waits for it.
    ~KXEquationLaunch() override;

    void start();
    /// Asks the computation to stop soon; finished follows, without a table.
    void cancel();
    bool isRunning() const { return m_running; }

    qint64 cellsDone() const { return m_done.load(); }
    qint64 cellsTotal() const { return m_total.load(); }
    qint64 elapsedMilliseconds() const { return m_clock.isValid() ? m_clock.elapsed() : 0; }

    /// Once finished: the table, which the caller then owns; null when the computation failed or
    /// was cancelled.
    KXDataModelGeneric* takeTable();
    KXEquationComputation::Outcome outcome() const { return m_outcome; }
    std::shared_ptr<const KXEquationReadError> readingFailure() const { return m_readingFailure; }
    /// The working-range text that failed, and how; null when none did.
    std::shared_ptr<const KXError> rangeFailure() const { return m_rangeFailure; }
    KXEquationDocument::RangeField failedRangeField() const { return m_failedRangeField; }
    /// Every other failure, once each, in the order reported: the caller shows and logs them.
    QStringList failures() const { return m_failures; }
    /// What was said besides, such as the cell a failure happened in or a cancel.
    QStringList notes() const { return m_notes; }

signals:
    /// On the thread that started the launch.
    void finished();

private:
    void run();
    void onThreadFinished();

    KXEquationModel m_equation;
    KXEquationVariableModel m_variables;
    std::atomic<bool> m_cancel{false};
    std::atomic<qint64> m_done{0};
    std::atomic<qint64> m_total{0};
    QElapsedTimer m_clock;
    QThread* m_thread = nullptr;
    bool m_running = false;
    std::unique_ptr<KXDataModelGeneric> m_table;
    KXEquationComputation::Outcome m_outcome = KXEquationComputation::Outcome::Done;
    std::shared_ptr<const KXEquationReadError> m_readingFailure;
    std::shared_ptr<const KXError> m_rangeFailure;
    KXEquationDocument::RangeField m_failedRangeField{};
    QStringList m_failures;
    QStringList m_notes;
};

/// The top-left block of an equation's output, at most 5 x 5 cells with the headers the output
/// would get, computed on a thread of its own within a time budget. Failures are kept to show in
/// the block's place, never reported to the log.
class KXEQUATION_EXPORT KXEquationPreview final : public QObject
{
    Q_OBJECT
public:
    static const int Rows = 5;
    static const int Columns = 5;

    struct Block {
        enum class State { Cells, Failed, TooSlow };
        State state = State::Failed;
        /// Row by row; the headers are the output's, or the range numbers where it has none.
        QVector<QVector<QVariant>> cells;
        QStringList rowHeaders;
        QStringList columnHeaders;
        /// What went wrong, one line each (a failing cell is named on a further line).
        QStringList messages;
        std::shared_ptr<const KXEquationReadError> readingFailure;
        /// A working-range text that failed, and which; messages is then empty.
        std::shared_ptr<const KXError> rangeFailure;
        KXEquationDocument::RangeField rangeField{};
    };

    explicit KXEquationPreview(QObject* parent = nullptr);
    /// Waits for a running computation, cancelled.
    ~KXEquationPreview() override;

    void setBudget(int milliseconds) { m_budget = milliseconds; }
    /// Asks for the block of this equation. While one is computed, the newest request waits.
    void request(const KXEquationModel& equation, const KXEquationVariableModel& variables);
    bool isBusy() const { return m_thread != nullptr; }

    /// The block computed on the calling thread; cancel may stop it.
    static Block compute(KXEquationModel equation, KXEquationVariableModel variables,
                         const std::atomic<bool>* cancel);

signals:
    /// The block of the latest request, or TooSlow when its budget ran out first.
    void ready(const KXEquationPreview::Block& block);

private:
    void startNext();
    void onThreadFinished();
    void onBudgetSpent();

    struct Request;
    std::unique_ptr<Request> m_waiting;
    QThread* m_thread = nullptr;
    QTimer* m_budgetTimer;
    std::atomic<bool> m_cancel{false};
    bool m_givenUp = false;
    Block m_block;
    int m_budget = 200;
};
