#pragma once

#include "KXObject2.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;
class KXDataModelDataset;

/// A stored dataset read on a thread of its own, so that the window goes on answering meanwhile:
/// progress for a display, a cancel flag, and the table once read.
class KXDatasetReading final : public QObject
{
    Q_OBJECT
public:
    /// Copies what it needs of dataset, which may go before the reading ends.
    explicit KXDatasetReading(const KXObject2Dataset& dataset, QObject* parent = nullptr);
    /// Cancels a running reading and waits for it.
    ~KXDatasetReading() override;

    void start();
    /// Asks the reading to stop soon; finished follows, without a table.
    void cancel();
    bool isRunning() const { return m_thread != nullptr; }
    bool isCancelled() const { return m_cancel.load(); }

    qint64 bytesRead() const { return m_bytesRead.load(); }
    qint64 bytesTotal() const { return m_bytesTotal; }

    /// Once finished: the table, which the caller then owns; null when the reading failed (see
    /// errorString) or was cancelled.
    KXDataModelDataset* takeTable();
    /// Once finished: the table even when it could not be read (it then bears the dataset's name
    /// and its errorString()), which the caller then owns; null only when cancelled.
    KXDataModelDataset* takeResult();
    QString errorString() const { return m_error; }

signals:
    /// On the thread that started the reading.
    void finished();

private:
    void onThreadFinished();

    KXObject2Dataset m_dataset;
    qint64 m_bytesTotal = 0;
    std::atomic<bool> m_cancel{false};
    std::atomic<qint64> m_bytesRead{0};
    QThread* m_thread = nullptr;
    std::unique_ptr<KXDataModelDataset> m_table;
    QString m_error;
};
