#pragma once

#include <QBitArray>
#include <QObject>

class QTableView;

/// Sizes a table view's columns to their header and to a sample of rows, each column when it first
/// comes into sight: never every cell, so that a table of millions of cells shows at once.
class KXColumnSizer final : public QObject
{
    Q_OBJECT
public:
    /// Rows read per column, spread over the table from its first row to its last.
    static constexpr int SampleRows = 40;
    /// No column grows wider than this for one long text.
    static constexpr int MaximumWidth = 320;

    /// Follows view, whose parent it becomes, and its model.
    explicit KXColumnSizer(QTableView* view);

    /// Sizes the columns in sight that were not sized yet.
    void sizeVisibleColumns();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restart();
    int sampledWidth(int column) const;

    QTableView* m_view;
    QBitArray m_sized;
};
