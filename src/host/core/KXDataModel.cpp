#include "KXDataModel.h"

#include "KXSystemMemory.h"

#include <QThreadPool>

#include <new>

TDataModel::~TDataModel() = default;

KXDataModel::KXDataModel(QObject* parent) : QAbstractItemModel(parent)
{
    qRegisterMetaType<KXDataModel*>("KXDataModel*");
}

KXDataModel::~KXDataModel() = default;

void KXDataModel::setName(const QString& dataset, const QString& subdataset)
{
    m_dataset = dataset;
    m_subdataset = subdataset;
}

void KXDataModel::getName(QString& dataset, QString& subdataset) const
{
    dataset = m_dataset;
    subdataset = m_subdataset;
}

bool KXDataModel::open(const KXObject2*)
{
    return false;
}

namespace {
std::function<void(KXDataModelGeneric*)> creationObserver;
}

KXDataModelGeneric::KXDataModelGeneric(QObject* parent) : KXDataModel(parent)
{
    if (creationObserver)
        creationObserver(this);
}

void KXDataModelGeneric::setCreationObserver(std::function<void(KXDataModelGeneric*)> observer)
{
    creationObserver = std::move(observer);
}

KXDataModelGeneric::~KXDataModelGeneric() = default;

void KXDataModelGeneric::createEmpty(int columns, int rows, KXCellStore::Construction construction)
{
    columns = qMax(0, columns);
    rows = qMax(0, rows);
    // Refused before allocating: a table beyond the physical memory would only swap, and some
    // allocators abort rather than fail.
    const double bytes = tableBytes(rows, columns);
    const qint64 physical = KXSystemMemory::physicalBytes();
    if (physical > 0 && bytes > double(physical))
        columns = rows = 0;
    beginResetModel();
    try {
        replaceCells(std::make_shared<KXCellStore>(size_t(rows) * size_t(columns), construction), columns, rows);
        m_rowHeaders = QVector<QVariant>(rows);
        m_columnHeaders = QVector<QVariant>(columns);
    } catch (const std::bad_alloc&) {
        replaceCells(std::make_shared<KXCellStore>(), 0, 0);
        m_rowHeaders.clear();
        m_columnHeaders.clear();
    }
    endResetModel();
}

double KXDataModelGeneric::tableBytes(qint64 rows, qint64 columns)
{
    return double(rows) * double(columns) * double(sizeof(double))
        + (double(rows) + double(columns)) * double(sizeof(QVariant));
}

bool KXDataModelGeneric::setContents(int columns, int rows, const QVector<QVariant>& cells,
                                     const QVector<QVariant>& rowHeaders, const QVector<QVariant>& columnHeaders)
{
    auto store = std::make_shared<KXCellStore>(size_t(cells.size()));
    for (int at = 0; at < cells.size(); ++at)
        store->set(size_t(at), cells.at(at));
    return setContents(columns, rows, std::move(store), rowHeaders, columnHeaders);
}

bool KXDataModelGeneric::setContents(int columns, int rows, std::shared_ptr<KXCellStore> cells,
                                     const QVector<QVariant>& rowHeaders, const QVector<QVariant>& columnHeaders)
{
    if (!cells || columns < 0 || rows < 0 || qint64(cells->size()) != qint64(rows) * columns
        || rowHeaders.size() != rows || columnHeaders.size() != columns)
        return false;
    beginResetModel();
    replaceCells(std::move(cells), columns, rows);
    m_rowHeaders = rowHeaders;
    m_columnHeaders = columnHeaders;
    endResetModel();
    return true;
}

void KXDataModelGeneric::replaceCells(std::shared_ptr<KXCellStore> cells, int columns, int rows)
{
    std::lock_guard<std::mutex> lock(m_cellsLock);
    m_cells = std::move(cells);
    m_columns = columns;
    m_rows = rows;
}

void KXDataModelGeneric::detach()
{
    // A reader that lets go meanwhile only costs a needless copy.
    if (m_cells.use_count() > 1)
        m_cells = m_cells->copy();
}

bool KXDataModelGeneric::shareContents(const SharedCells& cells, const QVector<QVariant>& rowHeaders,
                                       const QVector<QVariant>& columnHeaders)
{
    // Safe to hold as writable: a table writes its store only after detach() made it its own.
    return setContents(cells.columns, cells.rows, std::const_pointer_cast<KXCellStore>(cells.store), rowHeaders,
                       columnHeaders);
}

KXDataModelGeneric::SharedCells KXDataModelGeneric::sharedCells() const
{
    std::lock_guard<std::mutex> lock(m_cellsLock);
    return {m_cells, m_rows, m_columns};
}

KXCellStore& KXDataModelGeneric::writableCells()
{
    std::lock_guard<std::mutex> lock(m_cellsLock);
    detach();
    return *m_cells;
}

QModelIndex KXDataModelGeneric::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= m_rows || column >= m_columns)
        return QModelIndex();
    return createIndex(row, column);
}

QModelIndex KXDataModelGeneric::parent(const QModelIndex&) const
{
    return QModelIndex();
}

int KXDataModelGeneric::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int KXDataModelGeneric::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

bool KXDataModelGeneric::isValueRole(int role)
{
    return role == KXValueRole || role == Qt::DisplayRole || role == Qt::EditRole;
}

QVariant KXDataModelGeneric::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.model() != this || !isValueRole(role))
        return QVariant();
    return cell(index.row(), index.column());
}

bool KXDataModelGeneric::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.model() != this || !isValueRole(role))
        return false;
    setCell(index.row(), index.column(), value);
    emit dataChanged(index, index);
    return true;
}

QVariant KXDataModelGeneric::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (!isValueRole(role))
        return QVariant();
    const QVector<QVariant>& headers = orientation == Qt::Vertical ? m_rowHeaders : m_columnHeaders;
    if (section < 0 || section >= headers.size())
        return QVariant();
    return headers.at(section);
}

bool KXDataModelGeneric::setHeaderData(int section, Qt::Orientation orientation, const QVariant& value, int role)
{
    QVector<QVariant>& headers = orientation == Qt::Vertical ? m_rowHeaders : m_columnHeaders;
    if (!isValueRole(role) || section < 0 || section >= headers.size())
        return false;
    headers[section] = value;
    emit headerDataChanged(orientation, section, section);
    return true;
}

Qt::ItemFlags KXDataModelGeneric::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable;
}

QVariant KXDataModelGeneric::cell(int row, int column) const
{
    if (row < 0 || column < 0 || row >= m_rows || column >= m_columns)
        return QVariant();
    return m_cells->at(size_t(row) * size_t(m_columns) + size_t(column));
}

bool KXDataModelGeneric::number(int row, int column, double& value) const
{
    if (row < 0 || column < 0 || row >= m_rows || column >= m_columns)
        return false;
    return m_cells->number(size_t(row) * size_t(m_columns) + size_t(column), value);
}

void KXDataModelGeneric::setCell(int row, int column, const QVariant& value)
{
    if (row < 0 || column < 0 || row >= m_rows || column >= m_columns)
        return;
    std::lock_guard<std::mutex> lock(m_cellsLock);
    detach();
    m_cells->set(size_t(row) * size_t(m_columns) + size_t(column), value);
}

void KXDataModelGeneric::cellsWritten()
{
    if (m_rows > 0 && m_columns > 0)
        emit dataChanged(index(0, 0), index(m_rows - 1, m_columns - 1));
}

void disposeTable(KXDataModelGeneric* table)
{
    if (!table)
        return;
    // Held through a plain pointer so that the last reference goes on the worker, whatever
    // copies of the task the pool makes.
    auto* cells = new std::shared_ptr<const KXCellStore>(table->sharedCells().store);
    delete table;
    QThreadPool::globalInstance()->start([cells] {
        delete cells;
        KXSystemMemory::releaseFreeMemory();
    });
}

KXDataModelDataset::KXDataModelDataset(QObject* parent) : KXDataModelGeneric(parent)
{
}

KXDataModelDataset::~KXDataModelDataset() = default;

KXDataModelProxy::KXDataModelProxy(QObject* parent) : QIdentityProxyModel(parent)
{
}

KXDataModelProxy::~KXDataModelProxy() = default;
