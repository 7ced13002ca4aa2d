#include "KXDesktopPanels.h"

#include "KXChart.h"
#include "KXColumnSizer.h"
#include "KXDataDisplayModel.h"
#include "KXDataModel.h"
#include "KXError.h"
#include "KXNumberFormat.h"
#include "KXObject2.h"
#include "LodeDB.h"
#include "TFileDialog.h"
#include "TPixmapCache.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFutureWatcher>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QTime>
#include <QVBoxLayout>
#include <QtConcurrent>

namespace {
const int DATASET_ROLE = Qt::UserRole;
const int SUBDATASET_ROLE = Qt::UserRole + 1;
const QSize ExportSize(960, 600);

// Messages
QString exportPngText()
{
    return KXChartPanel::tr("Export PNG...", "Exporter en PNG...");
}
QString exportSvgText()
{
    return KXChartPanel::tr("Export SVG...", "Exporter en SVG...");
}
QString exportTitle()
{
    return KXChartPanel::tr("Export the chart", "Exporter le graphique");
}
QString pngFilter()
{
    return KXChartPanel::tr("PNG pictures (*.png)", "Images PNG (*.png)");
}
QString svgFilter()
{
    return KXChartPanel::tr("SVG drawings (*.svg)", "Dessins SVG (*.svg)");
}
QString chartSavedMessage(const QString& path)
{
    return KXChartPanel::tr("Chart saved in %1.", "Graphique enregistré dans %1.").arg(QDir::toNativeSeparators(path));
}
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
        if (m_closeCheck && !m_closeCheck(index))
            return;
        QWidget* view = widget(index);
        QAbstractItemModel* table = tableAt(index);
        removeTab(index);
        delete view;
        if (table)
            emit tableClosed(table);
    });
}

void KXDataEditorView::showTable(QAbstractItemModel* table, const QString& title, bool withChart)
{
    auto* page = new QSplitter(Qt::Horizontal, this);
    auto* view = new QTableView(page);
    auto* display = new KXDataDisplayModel(view);
    display->setSourceModel(table);
    view->setModel(display);
    view->setAlternatingRowColors(true);
    new KXColumnSizer(view);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Copies what the cells show, so that a paste elsewhere gives the same numbers.
    auto* copy = new QAction(view);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, view, [view, display] {
        QGuiApplication::clipboard()->setText(display->copyText(view->selectionModel()->selectedIndexes()));
    });
    view->addAction(copy);
    if (withChart) {
        new KXChartPanel(table, page);
        page->setStretchFactor(1, 1);
        // Once laid out: the table as wide as its columns (between a quarter and 60 % of the
        // room), the chart the rest.
        QTimer::singleShot(0, page, [page, view] {
            const int room = page->width();
            const int table = view->verticalHeader()->width() + view->horizontalHeader()->length()
                              + 2 * view->frameWidth() + view->verticalScrollBar()->sizeHint().width();
            const int width = qBound(room / 4, table, room * 3 / 5);
            page->setSizes({width, room - width});
        });
    }
    setCurrentIndex(addTab(page, QIcon(TPixmapCache::find(QStringLiteral("dataset"))), title));
}

QAbstractItemModel* KXDataEditorView::currentTable() const
{
    return tableAt(currentIndex());
}

QAbstractItemModel* KXDataEditorView::tableAt(int index) const
{
    const QWidget* page = widget(index);
    const auto* view = page ? page->findChild<QTableView*>() : nullptr;
    const auto* display = view ? qobject_cast<const KXDataDisplayModel*>(view->model()) : nullptr;
    return display ? display->sourceModel() : nullptr;
}

struct KXChartView::Drawing
{
    std::shared_ptr<const KXChart> chart;
    QImage picture;
    int contents = 0;
};

KXChartView::KXChartView(QAbstractItemModel* table, QWidget* parent)
    : QWidget(parent), m_table(table), m_redraw(new QTimer(this))
{
    setObjectName(QStringLiteral("chartView"));
    setMinimumSize(240, 180);
    // Resizes and edits come in bursts: one drawing after the last.
    m_redraw->setSingleShot(true);
    m_redraw->setInterval(40);
    connect(m_redraw, &QTimer::timeout, this, &KXChartView::draw);
    connect(table, &QAbstractItemModel::modelReset, this, &KXChartView::tableChanged);
    connect(table, &QAbstractItemModel::dataChanged, this, &KXChartView::tableChanged);
    connect(table, &QAbstractItemModel::headerDataChanged, this, &KXChartView::tableChanged);
}

KXChartView::~KXChartView()
{
    *m_gone = true;
}

const KXChart& KXChartView::chart() const
{
    if (!m_chart)
        m_chart = std::make_shared<const KXChart>(*m_table, KXNumberFormat::interfaceLocale());
    return *m_chart;
}

QSize KXChartView::sizeHint() const
{
    return QSize(480, 320);
}

void KXChartView::tableChanged()
{
    m_chart.reset();
    ++m_contents;
    m_redraw->start();
}

void KXChartView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_redraw->start();
}

// The worker reads the chart already built or, for an in-memory table, the table's cells through
// a table of its own that shares them; other tables are small enough to read here.
void KXChartView::draw()
{
    if (m_drawing) {
        m_stale = true;
        return;
    }
    if (size().isEmpty())
        return;
    m_drawing = true;
    m_stale = false;
    const QLocale locale = KXNumberFormat::interfaceLocale();
    std::shared_ptr<const KXChart> chart = m_chart;
    KXDataModelGeneric::SharedCells cells;
    QVector<QVariant> rowHeaders, columnHeaders;
    if (auto* generic = qobject_cast<KXDataModelGeneric*>(m_table); !chart && generic) {
        cells = generic->sharedCells();
        rowHeaders = generic->rowHeaders();
        columnHeaders = generic->columnHeaders();
    } else if (!chart) {
        chart = std::make_shared<const KXChart>(*m_table, locale);
    }
    const QSize size = this->size();
    const QColor background = palette().color(backgroundRole());
    const QFont font = this->font();
    const int contents = m_contents;
    const std::shared_ptr<const std::atomic<bool>> gone = m_gone;
    auto* watcher = new QFutureWatcher<std::shared_ptr<Drawing>>(this);
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        drawingDone(watcher->result());
        watcher->deleteLater();
    });
    watcher->setFuture(QtConcurrent::run([=] {
        auto drawing = std::make_shared<Drawing>();
        drawing->contents = contents;
        drawing->chart = chart;
        if (!drawing->chart) {
            KXDataModelGeneric shared;
            shared.shareContents(cells, rowHeaders, columnHeaders);
            drawing->chart = std::make_shared<const KXChart>(shared, locale, gone.get());
        }
        if (*gone) {
            drawing->chart.reset();
            return drawing;
        }
        drawing->picture = QImage(size, QImage::Format_ARGB32_Premultiplied);
        drawing->picture.fill(background);
        QPainter painter(&drawing->picture);
        painter.setFont(font);
        drawing->chart->paint(painter, QRectF(QPointF(0, 0), QSizeF(size)));
        return drawing;
    }));
}

void KXChartView::drawingDone(const std::shared_ptr<Drawing>& drawing)
{
    m_drawing = false;
    // A chart of cells that changed meanwhile is not kept; the next drawing reads them again.
    if (drawing->contents == m_contents)
        m_chart = drawing->chart;
    m_picture = drawing->picture;
    update();
    emit drawn();
    if (m_stale)
        draw();
}

void KXChartView::paintEvent(QPaintEvent*)
{
    // Stretched while the picture of a new size is drawn.
    if (!m_picture.isNull())
        QPainter(this).drawImage(rect(), m_picture);
}

KXChartPanel::KXChartPanel(QAbstractItemModel* table, QWidget* parent)
    : QWidget(parent), m_view(new KXChartView(table, this))
{
    setObjectName(QStringLiteral("chartPanel"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* png = new QPushButton(exportPngText(), this);
    connect(png, &QPushButton::clicked, this, [this] { exportChart(false); });
    buttons->addWidget(png);
    auto* svg = new QPushButton(exportSvgText(), this);
    connect(svg, &QPushButton::clicked, this, [this] { exportChart(true); });
    buttons->addWidget(svg);
    layout->addLayout(buttons);
}

void KXChartPanel::exportChart(bool svg)
{
    TFileDialogSave dialog(window());
    dialog.setWindowTitle(exportTitle());
    dialog.setSpecifiedDir(QStringLiteral("Chart"));
    dialog.setNameFilter(svg ? svgFilter() : pngFilter());
    dialog.setDefaultSuffix(svg ? QStringLiteral("svg") : QStringLiteral("png"));
    if (dialog.exec() == 0)
        return;
    const QString path = dialog.fileNameComplete();
    QString error;
    if (m_view->chart().save(path, ExportSize, &error))
        MessageLoggerInterface::Info(chartSavedMessage(path));
    else
        MessageLoggerInterface::Error(error);
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
