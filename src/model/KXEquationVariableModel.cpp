#include "KXEquationVariableModel.h"

#include "KXDataModel.h"
#include "KXEquationFacts.h"
#include "KXNumberFormat.h"

#include <QAbstractItemModel>
#include <QCoreApplication>

namespace {
const char PI_NAME[] = "PI";
const char NO_VALUE_NAME[] = "NO_VALUE";
// The host tables' variant type for values that may fail to read as numbers.
const int HOST_VALUE_TYPE = 135;

QString translated(const char* english, const char* french)
{
    return QCoreApplication::translate("TApplicationTranslator", english, french, -1);
}

QString formatted(double value)
{
    return QString::number(value, 'g', 6);
}

QString exact(double value)
{
    return KXNumberFormat::numberText(value, QLocale::c(), KXNumberFormat::Precision::Full);
}
}

KXEquationVariableModel::KXEquationVariableModel()
{
    m_constants.insert(QLatin1String(PI_NAME), KXEquationPi);
    m_constants.insert(QLatin1String(NO_VALUE_NAME), KXNoValue);
}

KXEquationVariableModel::KXEquationVariableModel(const KXEquationVariableModel* other)
    : m_constants(other->m_constants),
      m_cellRow(other->m_cellRow),
      m_cellColumn(other->m_cellColumn),
      m_datasetVariables(other->m_datasetVariables),
      m_relatedVariables(other->m_relatedVariables),
      m_aliases(other->m_aliases),
      m_aliasEnabled(other->m_aliasEnabled),
      m_cancel(other->m_cancel),
      m_randomSeed(other->m_randomSeed)
{
}

KXEquationVariableModel::KXEquationVariableModel(const KXEquationVariableModel& other) = default;
KXEquationVariableModel& KXEquationVariableModel::operator=(const KXEquationVariableModel& other) = default;
KXEquationVariableModel::~KXEquationVariableModel() = default;

void KXEquationVariableModel::copy(const KXEquationVariableModel* other)
{
    m_constants.clear();
    m_datasetVariables.clear();
    m_relatedVariables.clear();
    m_aliases.clear();
    m_aliasEnabled = other->m_aliasEnabled;
    m_constants = other->m_constants;
    m_cellRow = other->m_cellRow;
    m_cellColumn = other->m_cellColumn;
    m_datasetVariables = other->m_datasetVariables;
    m_relatedVariables = other->m_relatedVariables;
    m_aliases = other->m_aliases;
    m_randomSeed = other->m_randomSeed;
    m_randomDraws = 0;
}

double KXEquationVariableModel::cellRow() const
{
    return m_cellRow.present ? m_cellRow.value : KXNoValue;
}

double KXEquationVariableModel::cellColumn() const
{
    return m_cellColumn.present ? m_cellColumn.value : KXNoValue;
}

KXEquationVariableModel::CellConstant* KXEquationVariableModel::cellConstant(const QString& name)
{
    if (name.size() != 1)
        return nullptr;
    if (name.at(0) == QLatin1Char('i'))
        return &m_cellRow;
    if (name.at(0) == QLatin1Char('j'))
        return &m_cellColumn;
    return nullptr;
}

const KXEquationVariableModel::CellConstant* KXEquationVariableModel::cellConstant(const QString& name) const
{
    return const_cast<KXEquationVariableModel*>(this)->cellConstant(name);
}

const double* KXEquationVariableModel::findConstant(const QString& name) const
{
    if (const CellConstant* cell = cellConstant(name))
        return cell->present ? &cell->value : nullptr;
    const auto found = m_constants.constFind(name);
    return found == m_constants.constEnd() ? nullptr : &found.value();
}

void KXEquationVariableModel::setConstant(const QString& name, double value)
{
    if (CellConstant* cell = cellConstant(name)) {
        cell->present = true;
        cell->value = value;
    } else {
        m_constants.insert(name, value);
    }
}

void KXEquationVariableModel::removeConstant(const QString& name)
{
    if (CellConstant* cell = cellConstant(name))
        cell->present = false;
    else
        m_constants.remove(name);
}

void KXEquationVariableModel::addVariable(const QString& name, double value)
{
    setConstant(name, value);
}

void KXEquationVariableModel::addVariable(const QString& name, double value, const QString& relatedName)
{
    setConstant(name, value);
    m_relatedVariables.insert(name, relatedName);
}

bool KXEquationVariableModel::variableConstantExist(const QString& name) const
{
    return findConstant(name) != nullptr;
}

double KXEquationVariableModel::getVariableConstantValue(const QString& name)
{
    const double* found = findConstant(name);
    if (!found)
        return KXNoValue;
    if (cellConstant(name))
        m_varOnFormula = true;
    return *found;
}

bool KXEquationVariableModel::updateVariableName(const QString& oldName, const QString& newName)
{
    const double* found = findConstant(oldName);
    if (!found)
        return false;
    const double value = *found;
    removeConstant(oldName);
    setConstant(newName, value);
    return true;
}

bool KXEquationVariableModel::updateVariableValue(const QString& name, double value)
{
    if (!findConstant(name))
        return false;
    setConstant(name, value);
    return true;
}

QMap<QString, QString> KXEquationVariableModel::getVariableConstantList() const
{
    return constantList(formatted);
}

QMap<QString, QString> KXEquationVariableModel::getVariableConstantExactList() const
{
    return constantList(exact);
}

QMap<QString, QString> KXEquationVariableModel::constantList(QString (*format)(double)) const
{
    QMap<QString, QString> list;
    for (auto it = m_constants.constBegin(); it != m_constants.constEnd(); ++it) {
        if (!m_relatedVariables.contains(it.key()))
            list.insert(it.key(), format(it.value()));
    }
    for (const QString& name : {QStringLiteral("i"), QStringLiteral("j")}) {
        const double* value = findConstant(name);
        if (value && !m_relatedVariables.contains(name))
            list.insert(name, format(*value));
    }
    return list;
}

QMap<QString, QString> KXEquationVariableModel::getVariableModelRelatedList(const QString& datasetName) const
{
    QMap<QString, QString> list;
    for (auto it = m_relatedVariables.constBegin(); it != m_relatedVariables.constEnd(); ++it) {
        if (it.value() != datasetName)
            continue;
        const double* value = findConstant(it.key());
        list.insert(it.key(), formatted(value ? *value : 0.0));
    }
    return list;
}

void KXEquationVariableModel::addVariable(const QString& name, QAbstractItemModel* model, const QString& alias)
{
    if (m_aliasEnabled && !alias.isEmpty()) {
        for (auto it = m_aliases.constBegin(); it != m_aliases.constEnd(); ++it) {
            if (it.value() == alias) {
                // The same dataset came back: rebind the variable that already stands for it.
                const QString existing = it.key();
                addVariable(existing, model, QString());
                return;
            }
        }
    }
    if (model && variableModelExist(model))
        return;
    m_datasetVariables.insert(name, model);
    if (m_aliasEnabled && !alias.isEmpty())
        m_aliases.insert(name, alias);
    int rows = -1;
    int columns = -1;
    if (model) {
        rows = model->rowCount(QModelIndex());
        columns = model->columnCount(QModelIndex());
    }
    addVariable(QStringLiteral("NR_%1").arg(name), rows, name);
    addVariable(QStringLiteral("NC_%1").arg(name), columns, name);
}

void KXEquationVariableModel::removeRelatedConstants(const QString& datasetName)
{
    const QStringList related = m_relatedVariables.keys(datasetName);
    for (const QString& constant : related) {
        m_relatedVariables.remove(constant);
        removeConstant(constant);
    }
}

bool KXEquationVariableModel::removeVariable(const QString& name)
{
    if (findConstant(name)) {
        removeConstant(name);
        m_relatedVariables.remove(name);
        return true;
    }
    removeRelatedConstants(name);
    if (m_datasetVariables.remove(name) > 0)
        return true;
    if (m_aliasEnabled) {
        const QString variable = m_aliases.key(name);
        if (!variable.isNull() && m_aliases.contains(variable)) {
            m_aliases.remove(variable);
            return removeVariable(variable);
        }
    }
    return false;
}

bool KXEquationVariableModel::removeVariable(QAbstractItemModel* model)
{
    for (auto it = m_datasetVariables.constBegin(); it != m_datasetVariables.constEnd(); ++it) {
        if (it.value() == model) {
            const QString name = it.key();
            removeRelatedConstants(name);
            return m_datasetVariables.remove(name) > 0;
        }
    }
    return false;
}

bool KXEquationVariableModel::variableModelExist(const QString& name) const
{
    if (m_datasetVariables.contains(name))
        return true;
    for (auto it = m_aliases.constBegin(); it != m_aliases.constEnd(); ++it) {
        if (it.value() == name)
            return true;
    }
    return false;
}

bool KXEquationVariableModel::variableModelExist(const QAbstractItemModel* model) const
{
    for (auto it = m_datasetVariables.constBegin(); it != m_datasetVariables.constEnd(); ++it) {
        if (it.value() == model)
            return true;
    }
    return false;
}

QAbstractItemModel* KXEquationVariableModel::getVariableModel(const QString& name) const
{
    return m_datasetVariables.value(name, nullptr);
}

QVariant KXEquationVariableModel::getVariableModelValue(const QString& name, int row, int column,
                                                        QString& error) const
{
    if (!variableModelExist(name)) {
        error = translated("Variable %1 is unknown", "Variable %1 inconnu").arg(name);
        return QVariant();
    }
    QAbstractItemModel* model = getVariableModel(name);
    if (!model) {
        error = translated("Invalid dataset %1", "Le tableau de données %1 est invalide").arg(name);
        return QVariant();
    }
    if (row < 0 || row >= model->rowCount(QModelIndex())) {
        error = translated("Line number unreachable", "Numéro de ligne hors de portée");
        return QVariant();
    }
    if (column < 0 || column >= model->columnCount(QModelIndex())) {
        error = translated("Column number unreachable", "Numéro de colonnes hors de portée");
        return QVariant();
    }
    return storedCellValue(model->data(model->index(row, column), KXValueRole));
}

QVariant KXEquationVariableModel::storedCellValue(const QVariant& value)
{
    if (!value.isValid())
        return QVariant(int(KXNoValue));
    if (value.type() == QVariant::String && value.toString().isEmpty())
        return QVariant(int(KXNoValue));
    if (value.userType() == HOST_VALUE_TYPE) {
        bool ok = false;
        value.toDouble(&ok);
        if (!ok)
            return QVariant(int(KXNoValue));
    }
    return value;
}

QVariant KXEquationVariableModel::header(const QString& name, int section, Qt::Orientation orientation) const
{
    if (!variableModelExist(name))
        return QVariant();
    QAbstractItemModel* model = getVariableModel(name);
    if (!model)
        return QVariant(QString(QLatin1String("")));
    const int count = orientation == Qt::Vertical ? model->rowCount(QModelIndex())
                                                  : model->columnCount(QModelIndex());
    if (section > count)
        return QVariant();
    const QVariant value = model->headerData(section, orientation, Qt::DisplayRole);
    if (!value.isValid())
        return QVariant(QString(QLatin1String("")));
    return value;
}

QVariant KXEquationVariableModel::getVariableModelVerticalHeader(const QString& name, int row) const
{
    return header(name, row, Qt::Vertical);
}

QVariant KXEquationVariableModel::getVariableModelHorizontalHeader(const QString& name, int column) const
{
    return header(name, column, Qt::Horizontal);
}

QMap<QString, QString> KXEquationVariableModel::getVariableModelList() const
{
    QMap<QString, QString> list;
    for (auto it = m_datasetVariables.constBegin(); it != m_datasetVariables.constEnd(); ++it) {
        QString text;
        if (m_aliasEnabled && m_aliases.contains(it.key())) {
            text = m_aliases.value(it.key());
        } else if (it.value()) {
            QString dataset;
            QString subdataset;
            getDataModelName(it.value(), dataset, subdataset);
            if (!dataset.isEmpty() && !subdataset.isEmpty())
                text = dataset + QLatin1Char('.') + subdataset;
        }
        list.insert(it.key(), text);
    }
    return list;
}

bool KXEquationVariableModel::containsModel() const
{
    for (auto it = m_datasetVariables.constBegin(); it != m_datasetVariables.constEnd(); ++it) {
        if (it.value())
            return true;
    }
    return false;
}

void KXEquationVariableModel::getDataModelName(QAbstractItemModel* model, QString& datasetName,
                                               QString& subdatasetName)
{
    if (auto* proxy = qobject_cast<KXDataModelProxy*>(model))
        model = proxy->sourceModel();
    if (auto* dataModel = dynamic_cast<KXDataModel*>(model))
        dataModel->getName(datasetName, subdatasetName);
}
