#include "KXEquationLaunch.h"

#include "KXDataModel.h"
#include "KXEquationDocument.h"
#include "KXEquationInterpreter.h"
#include "KXError.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

// Launch

KXEquationLaunch::KXEquationLaunch(const KXEquationModel& equation, const KXEquationVariableModel& variables,
                                   QObject* parent)
    : QObject(parent), m_equation(equation), m_variables(variables)
{
}

KXEquationLaunch::~KXEquationLaunch()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

void KXEquationLaunch::start()
{
    if (m_running)
        return;
    m_running = true;
    m_clock.start();
    m_thread = QThread::create([this] { run(); });
    connect(m_thread, &QThread::finished, this, &KXEquationLaunch::onThreadFinished);
    m_thread->start();
}

void KXEquationLaunch::cancel()
{
    m_cancel = true;
}

// On the launch's own thread.
void KXEquationLaunch::run()
{
    KXEquationComputation::Options options;
    options.cancel = &m_cancel;
    options.reportReadingFailure = false;
    options.progress = [this](qint64 done, qint64 total) {
        m_total = total;
        m_done = done;
    };
    KXEquationComputation computation(&m_equation, &m_variables);
    std::unique_ptr<KXDataModelGeneric> table;
    {
        // Kept for the caller, which shows them on the page and logs them, once each.
        const KXMessageSink::Capture capture;
        table.reset(computation.compute(options));
        for (const QString& text : capture.texts()) {
            QStringList& list = capture.notes().contains(text) ? m_notes : m_failures;
            if (!list.contains(text))
                list.append(text);
        }
    }
    // The table is used on the thread that started the launch.
    if (table)
        table->moveToThread(thread());
    m_table = std::move(table);
    m_outcome = computation.outcome();
    m_readingFailure = computation.readingFailure();
    m_rangeFailure = computation.rangeFailure();
    m_failedRangeField = computation.failedRangeField();
}

void KXEquationLaunch::onThreadFinished()
{
    m_thread->deleteLater();
    m_thread = nullptr;
    m_running = false;
    // Cancel pressed after the last cell still means no table.
    if (m_cancel && m_table) {
        disposeTable(m_table.release());
        m_outcome = KXEquationComputation::Outcome::Cancelled;
    }
    emit finished();
}

KXDataModelGeneric* KXEquationLaunch::takeTable()
{
    return m_table.release();
}

// Preview

struct KXEquationPreview::Request {
    KXEquationModel equation;
    KXEquationVariableModel variables;
};

KXEquationPreview::KXEquationPreview(QObject* parent) : QObject(parent), m_budgetTimer(new QTimer(this))
{
    m_budgetTimer->setSingleShot(true);
    connect(m_budgetTimer, &QTimer::timeout, this, &KXEquationPreview::onBudgetSpent);
}

KXEquationPreview::~KXEquationPreview()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
}

void KXEquationPreview::request(const KXEquationModel& equation, const KXEquationVariableModel& variables)
{
    m_waiting.reset(new Request{equation, variables});
    if (!m_thread)
        startNext();
}

void KXEquationPreview::startNext()
{
    std::unique_ptr<Request> request = std::move(m_waiting);
    if (!request)
        return;
    m_cancel = false;
    m_givenUp = false;
    m_thread = QThread::create([this, request = std::shared_ptr<Request>(std::move(request))] {
        m_block = compute(request->equation, request->variables, &m_cancel);
    });
    connect(m_thread, &QThread::finished, this, &KXEquationPreview::onThreadFinished);
    m_thread->start();
    m_budgetTimer->start(m_budget);
}

// Past its budget a block is given up: the user learns it at once, and the computation is asked to
// stop; a formula that cannot stop inside one cell finishes unseen.
void KXEquationPreview::onBudgetSpent()
{
    if (!m_thread)
        return;
    m_givenUp = true;
    m_cancel = true;
    Block tooSlow;
    tooSlow.state = Block::State::TooSlow;
    emit ready(tooSlow);
}

void KXEquationPreview::onThreadFinished()
{
    m_budgetTimer->stop();
    m_thread->deleteLater();
    m_thread = nullptr;
    // A newer request makes this block stale.
    if (!m_givenUp && !m_waiting)
        emit ready(m_block);
    startNext();
}

KXEquationPreview::Block KXEquationPreview::compute(KXEquationModel equation, KXEquationVariableModel variables,
                                                    const std::atomic<bool>* cancel)
{
    KXMessageSink::Capture capture;
    Block block;
    int firstRow = 0, lastRow = 0, firstColumn = 0, lastColumn = 0;
    try {
        KXEquationDocument::evaluateRange(&equation, &variables, firstRow, lastRow, firstColumn, lastColumn,
                                          &block.rangeField);
    } catch (const KXError& error) {
        const auto* located = dynamic_cast<const KXEquationReadError*>(&error);
        block.rangeFailure = located ? std::make_shared<KXEquationReadError>(*located) : std::make_shared<KXError>(error);
        return block;
    }
    // The block is the output's top-left corner; an empty range is left for the computation to refuse.
    if (lastRow >= firstRow)
        lastRow = int(qMin(qint64(lastRow), qint64(firstRow) + Rows - 1));
    if (lastColumn >= firstColumn)
        lastColumn = int(qMin(qint64(lastColumn), qint64(firstColumn) + Columns - 1));
    equation.setRowStart(QString::number(firstRow));
    equation.setRowEnd(QString::number(lastRow));
    equation.setColStart(QString::number(firstColumn));
    equation.setColEnd(QString::number(lastColumn));

    KXEquationComputation::Options options;
    options.cancel = cancel;
    options.reportReadingFailure = false;
    KXEquationComputation computation(&equation, &variables);
    std::unique_ptr<KXDataModelGeneric> table(computation.compute(options));
    if (!table) {
        block.state = computation.outcome() == KXEquationComputation::Outcome::Cancelled ? Block::State::TooSlow
                                                                                        : Block::State::Failed;
        block.readingFailure = computation.readingFailure();
        block.messages = capture.texts();
        if (block.readingFailure && block.messages.isEmpty())
            block.messages.append(block.readingFailure->message());
        return block;
    }
    block.state = Block::State::Cells;
    for (int r = 0; r < table->rowCount(); ++r) {
        const QVariant header = table->headerData(r, Qt::Vertical, KXValueRole);
        block.rowHeaders.append(header.toString().isEmpty() ? QString::number(firstRow + r) : header.toString());
        QVector<QVariant> row;
        for (int c = 0; c < table->columnCount(); ++c)
            row.append(table->data(table->index(r, c), KXValueRole));
        block.cells.append(row);
    }
    for (int c = 0; c < table->columnCount(); ++c) {
        const QVariant header = table->headerData(c, Qt::Horizontal, KXValueRole);
        block.columnHeaders.append(header.toString().isEmpty() ? QString::number(firstColumn + c) : header.toString());
    }
    return block;
}
