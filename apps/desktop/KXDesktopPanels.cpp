#include "KXDesktopPanels.h"

#include "KXChart.h"
#include "KXColumnSizer.h"
#include "KXCsv.h"
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
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QTime>
#include <QVBoxLayout>
#include <QtConcurrent>

#include <cmath>

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
QString copyPictureText()
{
    return KXChartPanel::tr("Copy the picture", "Copier l'image");
}
QString resetZoomText()
{
    return KXChartPanel::tr("Reset zoom", "Rétablir le zoom");
}
QString copyWithHeadersText()
{
    return KXChartPanel::tr("Copy with headers", "Copier avec les en-têtes");
}
QString saveCsvText()
{
    return KXChartPanel::tr("Save as CSV...", "Enregistrer en CSV...");
}
QString saveCsvTitle()
{
    return KXChartPanel::tr("Save the table", "Enregistrer le tableau");
}
QString csvFilter()
{
    return KXChartPanel::tr("CSV files (*.csv)", "Fichiers CSV (*.csv)");
}
QString tableSavedMessage(const QString& path)
{
    return KXChartPanel::tr("Table saved in %1.", "Tableau enregistré dans %1.").arg(QDir::toNativeSeparators(path));
}
/// One notch of the wheel shows this share of the row axis.
const double ZoomStep = 0.8;
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
    // Copies what the cells show, headers first, so that a paste elsewhere reads as the table.
    auto* copy = new QAction(copyWithHeadersText(), view);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    connect(copy, &QAction::triggered, view, [view] { QGuiApplication::clipboard()->setText(copyWithHeaders(*view)); });
    auto* save = new QAction(saveCsvText(), view);
    connect(save, &QAction::triggered, view, [view, table] {
        TFileDialogSave dialog(view->window());
        dialog.setWindowTitle(saveCsvTitle());
        dialog.setNameFilter(csvFilter());
        dialog.setDefaultSuffix(QStringLiteral("csv"));
        if (dialog.exec() == 0)
            return;
        // Every cell is written: on a worker, the table being read-only here.
        const QString path = dialog.fileNameComplete();
        auto* watcher = new QFutureWatcher<QString>(view);
        connect(watcher, &QFutureWatcherBase::finished, view, [watcher, path] {
            const QString error = watcher->result();
            if (error.isEmpty())
                MessageLoggerInterface::Info(tableSavedMessage(path));
            else
                MessageLoggerInterface::Error(error);
            watcher->deleteLater();
        });
        watcher->setFuture(QtConcurrent::run([table, path] {
            QString error;
            return KXCsv::writeFile(path, *table, &error) ? QString() : error;
        }));
    });
    view->addActions({copy, save});
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
    if (withChart) {
        new KXChartPanel(table, page);
        page->setStretchFactor(1, 1);
        // Once laid out: the table as wide as its columns (between a quarter and half of the
        // room), the chart the rest.
        QTimer::singleShot(0, page, [page, view] {
            const int room = page->width();
            const int table = view->verticalHeader()->width() + view->horizontalHeader()->length()
                              + 2 * view->frameWidth() + view->verticalScrollBar()->sizeHint().width();
            const int width = qBound(room / 4, table, room / 2);
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
    KXChart::Layout layout;
    int contents = 0;
};

KXChartView::KXChartView(QAbstractItemModel* table, QWidget* parent)
    : QWidget(parent), m_table(table), m_redraw(new QTimer(this))
{
    setObjectName(QStringLiteral("chartView"));
    setMinimumSize(240, 180);
    setMouseTracking(true);
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
    const KXChart::Window window = m_window;
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
        drawing->layout = drawing->chart->paint(painter, QRectF(QPointF(0, 0), QSizeF(size)), window);
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
    m_shownChart = drawing->chart;
    m_layout = drawing->layout;
    if (!m_hoverText.isEmpty())
        hover(m_hoverAt);
    update();
    emit drawn();
    if (m_stale)
        draw();
}

void KXChartView::paintEvent(QPaintEvent*)
{
    // Stretched while the picture of a new size is drawn.
    if (m_picture.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(rect(), m_picture);
    if (m_hoverText.isEmpty())
        return;
    // The label beside the pointer, kept inside the view.
    const QFontMetrics metrics(font());
    QRect label(QPoint(0, 0), metrics.size(0, m_hoverText) + QSize(12, 8));
    label.moveBottomLeft(m_hoverAt.toPoint() + QPoint(12, -8));
    label.moveLeft(qMin(label.left(), width() - label.width() - 1));
    label.moveTop(qMax(label.top(), 0));
    painter.setPen(QColor(90, 90, 90));
    painter.setBrush(QColor(255, 255, 225));
    painter.drawRect(label);
    painter.drawText(label, Qt::AlignCenter, m_hoverText);
}

// Hover and zoom read the layout of the picture shown; nothing here grows with the table but
// the search for the nearest row, which is a binary search.
void KXChartView::hover(const QPointF& position)
{
    m_hoverAt = position;
    const QString text = m_shownChart ? m_shownChart->pointText(m_shownChart->pointAt(m_layout, position)) : QString();
    if (text != m_hoverText || !text.isEmpty()) {
        m_hoverText = text;
        update();
    }
}

void KXChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && m_layout.plot.width() > 0) {
        // The row axis follows the pointer, never past its ends.
        const KXChart::Window full = m_shownChart->fullWindow();
        KXChart::Window window = m_window.isFull() ? full : m_window;
        const double span = window.high - window.low;
        double shift = -(event->pos().x() - m_dragFrom.x()) / m_layout.plot.width() * span;
        shift = qBound(full.low - window.low, shift, full.high - window.high);
        window.low += shift;
        window.high += shift;
        m_dragFrom = event->pos();
        showWindow(window);
        return;
    }
    hover(event->localPos());
}

void KXChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !m_window.isFull() && m_shownChart) {
        m_dragging = true;
        m_dragFrom = event->pos();
        setCursor(Qt::ClosedHandCursor);
    }
    QWidget::mousePressEvent(event);
}

void KXChartView::mouseReleaseEvent(QMouseEvent* event)
{
    m_dragging = false;
    unsetCursor();
    QWidget::mouseReleaseEvent(event);
}

void KXChartView::mouseDoubleClickEvent(QMouseEvent*)
{
    resetZoom();
}

void KXChartView::wheelEvent(QWheelEvent* event)
{
    if (!m_shownChart || m_layout.plot.width() <= 0 || m_shownChart->kind() == KXChart::Kind::ColourMap)
        return;
    // Zooms about the row under the pointer, which stays where it is.
    const KXChart::Window full = m_shownChart->fullWindow();
    KXChart::Window window = m_window.isFull() ? full : m_window;
    const double share = qBound(0.0, (event->position().x() - m_layout.plot.left()) / m_layout.plot.width(), 1.0);
    const double at = window.low + share * (window.high - window.low);
    const double factor = std::pow(ZoomStep, event->angleDelta().y() / 120.0);
    const double span = (window.high - window.low) * factor;
    if (!(span > 0) || span >= full.high - full.low) {
        resetZoom();
        return;
    }
    window.low = qBound(full.low, at - share * span, full.high - span);
    window.high = window.low + span;
    showWindow(window);
    event->accept();
}

void KXChartView::leaveEvent(QEvent* event)
{
    m_hoverText.clear();
    update();
    QWidget::leaveEvent(event);
}

void KXChartView::resetZoom()
{
    showWindow(KXChart::Window());
}

void KXChartView::showWindow(KXChart::Window window)
{
    m_window = window;
    m_redraw->start();
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

    auto* exportPng = new QAction(exportPngText(), m_view);
    connect(exportPng, &QAction::triggered, this, [this] { exportChart(false); });
    auto* exportSvg = new QAction(exportSvgText(), m_view);
    connect(exportSvg, &QAction::triggered, this, [this] { exportChart(true); });
    auto* copy = new QAction(copyPictureText(), m_view);
    connect(copy, &QAction::triggered, this, [this] { QGuiApplication::clipboard()->setImage(m_view->picture()); });
    auto* reset = new QAction(resetZoomText(), m_view);
    connect(reset, &QAction::triggered, m_view, &KXChartView::resetZoom);
    m_view->addActions({exportPng, exportSvg, copy, reset});
    m_view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

QString copyWithHeaders(const QTableView& view)
{
    const QModelIndexList selection = view.selectionModel()->selectedIndexes();
    const auto* display = qobject_cast<const KXDataDisplayModel*>(view.model());
    if (selection.isEmpty() || !display)
        return QString();
    int top = selection.first().row(), left = selection.first().column(), right = left;
    for (const QModelIndex& index : selection) {
        top = qMin(top, index.row());
        left = qMin(left, index.column());
        right = qMax(right, index.column());
    }
    // The cells' own text, each line led by its row's header, under a line of column headers.
    QStringList lines = display->copyText(selection).split(QLatin1Char('\n'));
    lines.removeLast();
    QString text;
    for (int column = left; column <= right; ++column)
        text += QLatin1Char('\t') + display->headerData(column, Qt::Horizontal).toString();
    text += QLatin1Char('\n');
    for (int k = 0; k < lines.size(); ++k)
        text += display->headerData(top + k, Qt::Vertical).toString() + QLatin1Char('\t') + lines.at(k) + QLatin1Char('\n');
    return text;
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
