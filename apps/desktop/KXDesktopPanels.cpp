#include "KXDesktopPanels.h"

#include "KXObject2.h"
#include "LodeDB.h"
#include "TPixmapCache.h"

#include <QHeaderView>
#include <QMimeData>
#include <QTableView>
#include <QTime>

namespace {
const int DATASET_ROLE = Qt::UserRole;
const int SUBDATASET_ROLE = Qt::UserRole + 1;
}

KXProjectPanel::KXProjectPanel(QWidget* parent) : QListWidget(parent)
{
    setObjectName(QStringLiteral("projectPanel"));
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setDefaultDropAction(Qt::CopyAction);
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (const KXObject2Dataset* dataset = datasetOf(item))
            emit datasetActivated(dataset);
    });
}

void KXProjectPanel::showProject(const LodeDB::TDatabase* database)
{
    clear();
    m_database = database;
    if (!database)
        return;
    const QIcon icon(TPixmapCache::find(QStringLiteral("dataset")));
    const QList<const KXObject2Dataset*> datasets = database->datasets();
    for (const KXObject2Dataset* dataset : datasets) {
        auto* item = new QListWidgetItem(icon, dataset->dataset() + QLatin1Char('.') + dataset->subdataset(), this);
        item->setData(DATASET_ROLE, dataset->dataset());
        item->setData(SUBDATASET_ROLE, dataset->subdataset());
        item->setToolTip(dataset->filePath());
    }
    if (count() > 0)
        setCurrentRow(0);
}

const KXObject2Dataset* KXProjectPanel::datasetOf(const QListWidgetItem* item) const
{
    if (!item || !m_database)
        return nullptr;
    return m_database->getDataset(item->data(DATASET_ROLE).toString(), item->data(SUBDATASET_ROLE).toString());
}

QList<const KXObject2Dataset*> KXProjectPanel::selectedDatasets() const
{
    QList<const KXObject2Dataset*> datasets;
    for (int row = 0; row < count(); ++row) {
        const QListWidgetItem* entry = item(row);
        if (entry->isSelected()) {
            if (const KXObject2Dataset* dataset = datasetOf(entry))
                datasets.append(dataset);
        }
    }
    return datasets;
}

bool KXProjectPanel::selectDataset(const QString& name)
{
    const QList<QListWidgetItem*> found = findItems(name, Qt::MatchExactly);
    if (found.isEmpty())
        return false;
    setCurrentItem(found.first());
    return true;
}

QStringList KXProjectPanel::mimeTypes() const
{
    return {QLatin1String(KXObject2Decoder::MimeType)};
}

QMimeData* KXProjectPanel::mimeData(const QList<QListWidgetItem*> items) const
{
    QList<const KXObject2Dataset*> datasets;
    for (const QListWidgetItem* entry : items) {
        if (const KXObject2Dataset* dataset = datasetOf(entry))
            datasets.append(dataset);
    }
    return KXObject2Decoder::encodeObjects(datasets);
}

KXDataEditorView::KXDataEditorView(QWidget* parent) : QTabWidget(parent)
{
    setObjectName(QStringLiteral("dataEditor"));
    setTabsClosable(true);
    setDocumentMode(true);
    // A closed tab only stops showing its table; the data editor still owns it.
    connect(this, &QTabWidget::tabCloseRequested, this, [this](int index) {
        QWidget* view = widget(index);
        removeTab(index);
        delete view;
    });
}

void KXDataEditorView::showTable(QAbstractItemModel* table, const QString& title)
{
    auto* view = new QTableView(this);
    view->setModel(table);
    view->setAlternatingRowColors(true);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    setCurrentIndex(addTab(view, QIcon(TPixmapCache::find(QStringLiteral("dataset"))), title));
}

QAbstractItemModel* KXDataEditorView::currentTable() const
{
    auto* view = qobject_cast<QTableView*>(currentWidget());
    return view ? view->model() : nullptr;
}

KXMessageLog::KXMessageLog(QWidget* parent) : QPlainTextEdit(parent)
{
    setObjectName(QStringLiteral("messageLog"));
    setReadOnly(true);
    setMaximumBlockCount(2000);
}

void KXMessageLog::addError(const QString& text)
{
    appendHtml(QStringLiteral("<span style=\"color:#a40000\">%1 %2</span>")
                   .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text.toHtmlEscaped()));
}

void KXMessageLog::addInformation(const QString& text)
{
    appendHtml(QStringLiteral("<span>%1 %2</span>")
                   .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), text.toHtmlEscaped()));
}
