#pragma once

#include "KXHostGlobal.h"

#include <QList>

#include <functional>

class QObject;
class KXDataModelDataset;
class KXObject2;
class KXObject2Dataset;

/// Reads stored datasets for the module. A host with a window replaces it to read them off the
/// interface thread, with progress and Cancel; the built-in one reads them at once, as a program
/// without a window may.
class KXHOST_EXPORT KXDatasetReader
{
public:
    /// One table per dataset asked, in the same order, each a child of the owner given to read; a
    /// table that could not be read is there too, with its errorString(). Empty when cancelled.
    using Done = std::function<void(const QList<KXDataModelDataset*>& tables, bool cancelled)>;

    virtual ~KXDatasetReader();

    static KXDatasetReader* returnMe();
    /// Makes instance the one returnMe gives (null restores the built-in one); the caller keeps ownership.
    static void setInstance(KXDatasetReader* instance);

    /// Reads the datasets, which may go once this returns, and calls done once, here or later on
    /// this thread; deleting owner before then abandons the reading and done is never called.
    virtual void read(const QList<const KXObject2Dataset*>& datasets, QObject* owner, const Done& done);
};

/// Tables read ahead for the dataset variables about to be decoded: while one lives, opening a
/// stored dataset for a variable on this thread takes the table read for it, once, instead of
/// reading the file again. Tables nobody took are freed with it.
class KXHOST_EXPORT KXReadAheadTables
{
public:
    explicit KXReadAheadTables(const QList<KXDataModelDataset*>& tables);
    ~KXReadAheadTables();
    KXReadAheadTables(const KXReadAheadTables&) = delete;
    KXReadAheadTables& operator=(const KXReadAheadTables&) = delete;

    /// The table read for stored, now the caller's; null when none is waiting on this thread.
    static KXDataModelDataset* take(const KXObject2* stored);

private:
    QList<KXDataModelDataset*> m_tables;
    KXReadAheadTables* m_outer;
};
