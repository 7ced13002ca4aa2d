#pragma once

#include "KXCellStore.h"
#include "KXCellValue.h"
#include "KXHostGlobal.h"

#include <QAbstractItemModel>
#include <QIdentityProxyModel>
#include <QVector>

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class KXObject2;
struct KXCsvReadControl;

/// Base of the host's table models.
class KXHOST_EXPORT TDataModel
{
public:
    virtual ~TDataModel();
    virtual bool isReadOnly() const { return false; }
    virtual bool isValid() const { return true; }
    virtual void forceRefresh() {}
};

/// A host table with a two-part name: dataset and subdataset.
class KXHOST_EXPORT KXDataModel : public QAbstractItemModel, public TDataModel
{
    Q_OBJECT
public:
    explicit KXDataModel(QObject* parent = nullptr);
    ~KXDataModel() override;

    void setName(const QString& dataset, const QString& subdataset);
    void getName(QString& dataset, QString& subdataset) const;
    /// Binds the table to a stored project object; false when it cannot be read.
    virtual bool open(const KXObject2* object);

private:
    QString m_dataset;
    QString m_subdataset;
};

Q_DECLARE_METATYPE(KXDataModel*)

/// An in-memory table of cells (8 bytes a number) with row and column headers.
class KXHOST_EXPORT KXDataModelGeneric : public KXDataModel
{
    Q_OBJECT
public:
    explicit KXDataModelGeneric(QObject* parent = nullptr);
    ~KXDataModelGeneric() override;

    /// Sizes the table; the column count comes first. All cells and headers become empty.
    /// Negative sizes count as 0; a size the memory cannot hold leaves the table empty (0 x 0).
    /// With Unconstructed, the caller constructs every cell of writableCells() before anything
    /// else reads, writes or deletes the table.
    void createEmpty(int columns, int rows, KXCellStore::Construction construction = KXCellStore::Constructed);
    /// The memory a table of that size takes: its cells and headers.
    static double tableBytes(qint64 rows, qint64 columns);
    /// Replaces the whole table at once (cells row by row); false, and nothing changed, when the
    /// sizes do not match.
    bool setContents(int columns, int rows, const QVector<QVariant>& cells, const QVector<QVariant>& rowHeaders,
                     const QVector<QVariant>& columnHeaders);
    /// The same, taking the cells' storage over instead of copying it (readers of large files).
    bool setContents(int columns, int rows, std::shared_ptr<KXCellStore> cells, const QVector<QVariant>& rowHeaders,
                     const QVector<QVariant>& columnHeaders);

    QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool setHeaderData(int section, Qt::Orientation orientation, const QVariant& value,
                       int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    /// Called with every new in-memory table, on the thread that makes it; lets a watcher (a data
    /// editor, a test) follow a table as it is filled. An empty function stops the watching.
    static void setCreationObserver(std::function<void(KXDataModelGeneric*)> observer);

    /// Direct cell access without model indices, for readers and writers of whole tables.
    QVariant cell(int row, int column) const;
    /// The cell's double, without a QVariant, when it holds one.
    bool number(int row, int column, double& value) const;
    void setCell(int row, int column, const QVariant& value);
    /// Every cell, row by row, for writers that fill a whole table at once (from several threads,
    /// each on its own cells); such writes signal nothing until cellsWritten().
    KXCellStore& writableCells();
    /// Tells the table's watchers that any cell may have changed.
    void cellsWritten();

    /// The cells as they are now, for a reader on any thread: later writes to the table leave
    /// them as they were.
    struct SharedCells
    {
        std::shared_ptr<const KXCellStore> store;
        int rows = 0;
        int columns = 0;
    };
    SharedCells sharedCells() const;
    /// Takes the cells of another table, sharing their storage: whichever table is written first
    /// copies it then, so each keeps the cells it expects. False, nothing changed, when the sizes
    /// do not match.
    bool shareContents(const SharedCells& cells, const QVector<QVariant>& rowHeaders,
                       const QVector<QVariant>& columnHeaders);
    QVector<QVariant> rowHeaders() const { return m_rowHeaders; }
    QVector<QVariant> columnHeaders() const { return m_columnHeaders; }

private:
    static bool isValueRole(int role);
    /// Makes the store the table's own before a write; called with m_cellsLock held.
    void detach();
    void replaceCells(std::shared_ptr<KXCellStore> cells, int columns, int rows);

    int m_rows = 0;
    int m_columns = 0;
    // Not a QVector: it stops at 2 GiB, far below what analysts' machines hold.
    std::shared_ptr<KXCellStore> m_cells = std::make_shared<KXCellStore>();
    // Guards the store's pointer and sizes against sharedCells() on another thread; only the
    // table's own thread writes them.
    mutable std::mutex m_cellsLock;
    QVector<QVariant> m_rowHeaders;
    QVector<QVariant> m_columnHeaders;
};

/// A table bound to a dataset stored in the project.
class KXHOST_EXPORT KXDataModelDataset : public KXDataModelGeneric
{
    Q_OBJECT
public:
    explicit KXDataModelDataset(QObject* parent = nullptr);
    ~KXDataModelDataset() override;

    /// Reads the stored dataset (a KXObject2Dataset) into the table and takes its name.
    bool open(const KXObject2* object) override;
    /// The same, followed and stoppable from another thread.
    bool open(const KXObject2* object, const KXCsvReadControl& control);
    /// Why the last open failed; empty after a success.
    QString errorString() const { return m_errorString; }

private:
    QString m_errorString;
};

/// Deletes a table now and its cells on a worker thread, then gives the freed memory back to the
/// system: freeing millions of cells takes longer than the user-interface thread may stop.
KXHOST_EXPORT void disposeTable(KXDataModelGeneric* table);

/// Opens a stored dataset for a dataset variable: a new table, a child of owner, which deletes it
/// and so must outlive every variable model that points at it (the controller of those variables).
/// The table is made even when the dataset cannot be read: opened is then false and its
/// errorString() says why.
/// A table read ahead for it (KXReadAheadTables) is taken instead of reading the file again.
KXHOST_EXPORT KXDataModelDataset* openDatasetForVariable(const KXObject2* stored, QObject* owner,
                                                         bool* opened = nullptr);

/// A host proxy over another table.
class KXHOST_EXPORT KXDataModelProxy : public QIdentityProxyModel
{
    Q_OBJECT
public:
    explicit KXDataModelProxy(QObject* parent = nullptr);
    ~KXDataModelProxy() override;
};
