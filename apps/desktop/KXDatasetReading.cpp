#include "KXDatasetReading.h"

#include "KXCsv.h"
#include "KXDataModel.h"

#include <QFileInfo>
#include <QThread>

KXDatasetReading::KXDatasetReading(const KXObject2Dataset& dataset, QObject* parent)
    : QObject(parent), m_dataset(dataset), m_bytesTotal(QFileInfo(dataset.filePath()).size())
{
}

KXDatasetReading::~KXDatasetReading()
{
    if (m_thread) {
        m_cancel = true;
        m_thread->wait();
        delete m_thread;
    }
    // A table read but not taken (a failed reading's part) may be large.
    disposeTable(m_table.release());
}

void KXDatasetReading::start()
{
    if (m_thread)
        return;
    QThread* caller = thread();
    m_thread = QThread::create([this, caller] {
        auto table = std::make_unique<KXDataModelDataset>();
        KXCsvReadControl control;
        control.cancel = &m_cancel;
        control.bytesRead = &m_bytesRead;
        if (!table->open(&m_dataset, control))
            m_error = table->errorString();
        // Named either way, so that a read-ahead finds it.
        table->setName(m_dataset.dataset(), m_dataset.subdataset());
        // The table is used on the thread that started the reading.
        table->moveToThread(caller);
        m_table = std::move(table);
    });
    connect(m_thread, &QThread::finished, this, &KXDatasetReading::onThreadFinished);
    m_thread->start();
}

void KXDatasetReading::cancel()
{
    m_cancel = true;
}

void KXDatasetReading::onThreadFinished()
{
    m_thread->deleteLater();
    m_thread = nullptr;
    // Cancel pressed after the last byte still means no table.
    if (m_cancel && m_table)
        disposeTable(m_table.release());
    emit finished();
}

KXDataModelDataset* KXDatasetReading::takeTable()
{
    return m_error.isEmpty() ? m_table.release() : nullptr;
}

KXDataModelDataset* KXDatasetReading::takeResult()
{
    return m_table.release();
}
