#include "KXDataDisplayModel.h"

#include "KXDataModel.h"
#include "KXNumberFormat.h"

#include <QBrush>
#include <QColor>
#include <QSet>

namespace {
QString noValueText()
{
    return KXDataDisplayModel::tr("no value", "pas de valeur");
}
// Darker than the alternate rows' shade, so that an empty cell stands out as one.
const QColor NoValueBackground(218, 218, 218);
}

KXDataDisplayModel::KXDataDisplayModel(QObject* parent)
    : KXDataDisplayModel(KXNumberFormat::interfaceLocale(), parent)
{
}

KXDataDisplayModel::KXDataDisplayModel(const QLocale& locale, QObject* parent)
    : QIdentityProxyModel(parent), m_locale(locale)
{
}

QVariant KXDataDisplayModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !sourceModel())
        return QVariant();
    const QModelIndex source = mapToSource(index);
    // A host table's number is read as a double, without a QVariant on the way.
    const auto* host = qobject_cast<const KXDataModelGeneric*>(sourceModel());
    double number = 0;
    const bool plain = host && host->number(source.row(), source.column(), number);
    const QVariant value = plain ? QVariant() : sourceModel()->data(source, KXValueRole);
    const bool noValue = plain ? number == KXNoValue : KXNumberFormat::isNoValue(value);
    switch (role) {
    case Qt::DisplayRole:
        if (plain)
            return noValue ? QString() : KXNumberFormat::numberText(number, m_locale);
        return KXNumberFormat::displayText(value, m_locale);
    case Qt::TextAlignmentRole:
        return int((plain || KXNumberFormat::isNumber(value) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    case Qt::BackgroundRole:
        return noValue ? QVariant(QBrush(NoValueBackground)) : QVariant();
    case Qt::ToolTipRole:
        return noValue ? QVariant(noValueText()) : QVariant();
    default:
        return QIdentityProxyModel::data(index, role);
    }
}

QVariant KXDataDisplayModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    const QVariant header = QIdentityProxyModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole && KXNumberFormat::isNumber(header))
        return KXNumberFormat::numberText(header.toDouble(), m_locale);
    return header;
}

QString KXDataDisplayModel::copyText(const QModelIndexList& selection) const
{
    if (selection.isEmpty())
        return QString();
    int top = selection.first().row(), bottom = top;
    int left = selection.first().column(), right = left;
    QSet<QPair<int, int>> chosen;
    for (const QModelIndex& index : selection) {
        top = qMin(top, index.row());
        bottom = qMax(bottom, index.row());
        left = qMin(left, index.column());
        right = qMax(right, index.column());
        chosen.insert(qMakePair(index.row(), index.column()));
    }
    QString text;
    for (int row = top; row <= bottom; ++row) {
        for (int column = left; column <= right; ++column) {
            if (column > left)
                text += QLatin1Char('\t');
            if (chosen.contains(qMakePair(row, column)))
                text += data(index(row, column), Qt::DisplayRole).toString();
        }
        text += QLatin1Char('\n');
    }
    return text;
}
