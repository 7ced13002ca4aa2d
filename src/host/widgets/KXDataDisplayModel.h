#pragma once

#include "KXHostGlobal.h"

#include <QIdentityProxyModel>
#include <QLocale>

/// How the data editor shows a table: cell values as display texts of the interface language,
/// numbers right-aligned and texts left-aligned, cells without a value empty, greyed and explained.
class KXHOSTUI_EXPORT KXDataDisplayModel final : public QIdentityProxyModel
{
    Q_OBJECT
public:
    /// The locale is the interface language's unless another is given.
    explicit KXDataDisplayModel(QObject* parent = nullptr);
    KXDataDisplayModel(const QLocale& locale, QObject* parent);

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    /// The cells' display texts over the selection's bounding rows and columns: a tab between
    /// cells, a line end after each row; cells left out of the selection are empty.
    QString copyText(const QModelIndexList& selection) const;

private:
    QLocale m_locale;
};
