#pragma once

#include "KXChart.h"

#include <QFont>
#include <QImage>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStringList>
#include <QTabWidget>

#include <atomic>
#include <functional>
#include <memory>

class QTableView;
class QTimer;
class KXDataModelGeneric;
class KXObject2Dataset;
class QAbstractItemModel;

namespace LodeDB {
class TDatabase;
}

/// The stored datasets of the open project; they are dragged from here onto a module.
class KXProjectPanel final : public QListWidget
{
    Q_OBJECT
public:
    explicit KXProjectPanel(QWidget* parent = nullptr);

    /// Lists the datasets of database (none when it is null).
    void showProject(const LodeDB::TDatabase* database);
    /// The selected datasets, in the list's order.
    QList<const KXObject2Dataset*> selectedDatasets() const;
    /// Selects the dataset named "dataset.subdataset"; false when the project has none.
    bool selectDataset(const QString& name);

signals:
    void datasetActivated(const KXObject2Dataset* dataset);

protected:
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QList<QListWidgetItem*> items) const override;

private:
    const KXObject2Dataset* datasetOf(const QListWidgetItem* item) const;

    const LodeDB::TDatabase* m_database = nullptr;
};

/// A table's chart, redrawn when the table changes or the view is resized. A chart reads every
/// cell, so it is built and drawn on a worker thread; the view shows the last picture meanwhile.
class KXChartView final : public QWidget
{
    Q_OBJECT
public:
    explicit KXChartView(QAbstractItemModel* table, QWidget* parent = nullptr);
    ~KXChartView() override;

    /// The chart of the table as it is; built here when no drawing has built it yet.
    const KXChart& chart() const;
    QSize sizeHint() const override;
    /// Whether a picture of the current size and contents is being drawn.
    bool isDrawing() const { return m_drawing; }
    /// What the hover label says: the nearest cell's row header, column header and value.
    QString hoverText() const { return m_hoverText; }
    /// The part of the row axis shown; full unless zoomed or panned.
    KXChart::Window window() const { return m_window; }
    /// The picture shown, for copying.
    QImage picture() const { return m_picture; }
    /// Shows the whole row axis again.
    void resetZoom();

signals:
    /// A new picture is shown.
    void drawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    struct Drawing;
    void tableChanged();
    void draw();
    void drawingDone(const std::shared_ptr<Drawing>& drawing);
    void showWindow(KXChart::Window window);
    void hover(const QPointF& position);

    QAbstractItemModel* m_table;
    mutable std::shared_ptr<const KXChart> m_chart;
    // Set when the view goes: a drawing still running stops and frees what it holds.
    std::shared_ptr<std::atomic<bool>> m_gone = std::make_shared<std::atomic<bool>>(false);
    QImage m_picture;
    // The chart and layout of the picture shown, which hover and zoom read.
    std::shared_ptr<const KXChart> m_shownChart;
    KXChart::Layout m_layout;
    KXChart::Window m_window;
    QString m_hoverText;
    QPointF m_hoverAt;
    QPoint m_dragFrom;
    bool m_dragging = false;
    bool m_drawing = false;
    // Asked while a drawing runs: another follows it.
    bool m_stale = false;
    // Counts the table's changes, so that a chart of older cells is not kept.
    int m_contents = 0;
    QTimer* m_redraw;
};

/// The chart beside a computed table, with its export buttons.
class KXChartPanel final : public QWidget
{
    Q_OBJECT
public:
    explicit KXChartPanel(QAbstractItemModel* table, QWidget* parent = nullptr);

    /// Asks for a file and writes the chart there as PNG (or SVG); reports the outcome.
    void exportChart(bool svg);
    KXChartView* view() const { return m_view; }

private:
    KXChartView* m_view;
};

/// The data editor's view: one tab per table, with its headers; computed tables have their chart.
class KXDataEditorView final : public QTabWidget
{
    Q_OBJECT
public:
    explicit KXDataEditorView(QWidget* parent = nullptr);

    /// A new tab showing table, with its chart beside it when asked; the table stays its owner's.
    void showTable(QAbstractItemModel* table, const QString& title, bool withChart = false);
    /// The table of the current tab; null when there is none.
    QAbstractItemModel* currentTable() const;
    /// The table shown in the tab at index; null when there is none.
    QAbstractItemModel* tableAt(int index) const;
    /// Asked before a tab is closed by its button, with the tab's index; the tab stays when it says false.
    void setCloseCheck(std::function<bool(int index)> check) { m_closeCheck = std::move(check); }

signals:
    /// A tab was closed; the table is no longer shown there.
    void tableClosed(QAbstractItemModel* table);

private:
    std::function<bool(int index)> m_closeCheck;
};

/// Copies a table view's selected cells as shown, with their column and row headers first.
QString copyWithHeaders(const QTableView& view);

/// The message log: one line per report, errors in red.
class KXMessageLog final : public QPlainTextEdit
{
    Q_OBJECT
public:
    explicit KXMessageLog(QWidget* parent = nullptr);

    void addError(const QString& text);
    void addInformation(const QString& text);
};
