#include "KXDatasetReader.h"

#include "KXDataModel.h"
#include "KXObject2.h"

#include <atomic>

namespace {
std::atomic<KXDatasetReader*> replacementInstance{nullptr};
// Per thread: a decode on one thread never takes the tables another thread read ahead.
thread_local KXReadAheadTables* currentReadAhead = nullptr;
}

KXDatasetReader::~KXDatasetReader() = default;

KXDatasetReader* KXDatasetReader::returnMe()
{
    if (KXDatasetReader* replacement = replacementInstance.load())
        return replacement;
    static KXDatasetReader builtIn;
    return &builtIn;
}

void KXDatasetReader::setInstance(KXDatasetReader* instance)
{
    replacementInstance.store(instance);
}

void KXDatasetReader::read(const QList<const KXObject2Dataset*>& datasets, QObject* owner, const Done& done)
{
    QList<KXDataModelDataset*> tables;
    for (const KXObject2Dataset* dataset : datasets) {
        bool opened = false;
        KXDataModelDataset* table = openDatasetForVariable(dataset, owner, &opened);
        // Named all the same, so that a read-ahead finds it and its reason.
        if (!opened)
            table->setName(dataset->dataset(), dataset->subdataset());
        tables.append(table);
    }
    if (done)
        done(tables, false);
}

KXReadAheadTables::KXReadAheadTables(const QList<KXDataModelDataset*>& tables)
    : m_tables(tables), m_outer(currentReadAhead)
{
    currentReadAhead = this;
}

KXReadAheadTables::~KXReadAheadTables()
{
    currentReadAhead = m_outer;
    for (KXDataModelDataset* table : qAsConst(m_tables))
        disposeTable(table);
}

KXDataModelDataset* KXReadAheadTables::take(const KXObject2* stored)
{
    const auto* dataset = dynamic_cast<const KXObject2Dataset*>(stored);
    if (!dataset)
        return nullptr;
    for (KXReadAheadTables* scope = currentReadAhead; scope; scope = scope->m_outer) {
        for (int index = 0; index < scope->m_tables.size(); ++index) {
            QString name, subname;
            scope->m_tables.at(index)->getName(name, subname);
            if (name == dataset->dataset() && subname == dataset->subdataset())
                return scope->m_tables.takeAt(index);
        }
    }
    return nullptr;
}
