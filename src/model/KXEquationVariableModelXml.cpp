// The variable model's XML form and the reopening of stored datasets.
#include "KXEquationVariableModel.h"

#include "KXDataModel.h"
#include "KXError.h"
#include "KXObject2.h"
#include "LodeDB.h"
#include "TXMLMethod.h"

#include <QCoreApplication>
#include <QDomElement>
#include <QDomNodeList>
#include <QLocale>
#include <QStringList>

#include <memory>

namespace {
const char ELEMENT_TAG[] = "EquationVariableModel";
const char VARIABLE_TAG[] = "Variables";
const char VERSION[] = "1.0";
// Beside the six-digit value that every reader knows, the shortest text that reads back to the
// same double, when the two differ; readers that do not know it skip it.
const char EXACT_VALUE_KEY[] = "ExactValue";

// Messages
QString missingDatasetMessage(const QString& reference, const QString& folder)
{
    return QCoreApplication::translate("KXEquationVariableModel", "The dataset %1 is not in the project folder %2.",
                                       "Le tableau %1 n'est pas dans le dossier de projet %2.", -1)
        .arg(reference, folder);
}

void addVariableElement(QDomElement& parent, const QString& name, const QString& value,
                        const QString& exactValue = QString())
{
    QDomElement variable = TXMLMethod::createChildElement(parent, QLatin1String(VARIABLE_TAG));
    TXMLMethod::addToElement(variable, QStringLiteral("Name"), name);
    TXMLMethod::addToElement(variable, QStringLiteral("Value"), value);
    if (!exactValue.isEmpty() && exactValue != value)
        TXMLMethod::addToElement(variable, QLatin1String(EXACT_VALUE_KEY), exactValue);
}

/// The model's own element: element itself or its first descendant of that tag; null when none.
QDomElement modelElement(const QDomElement& element)
{
    if (element.tagName() == QLatin1String(ELEMENT_TAG))
        return element;
    return element.elementsByTagName(QLatin1String(ELEMENT_TAG)).item(0).toElement();
}

bool isKnownVersion(const QDomElement& source)
{
    return TXMLMethod::getInfoString(source, QStringLiteral("Version")) == QLatin1String(VERSION);
}

/// A variable whose value reads as a number is a constant; any other names a stored dataset.
bool isConstant(const QString& value, double* number = nullptr)
{
    bool isNumber = false;
    const double read = value.toDouble(&isNumber);
    if (number)
        *number = read;
    return isNumber;
}
}

bool KXEquationVariableModel::encode(QDomElement& parent) const
{
    QDomElement element = TXMLMethod::createChildElement(parent, QLatin1String(ELEMENT_TAG));
    TXMLMethod::addToElement(element, QStringLiteral("Version"), QLatin1String(VERSION));
    const QMap<QString, QString> constants = getVariableConstantList();
    const QMap<QString, QString> exactConstants = getVariableConstantExactList();
    for (auto it = constants.constBegin(); it != constants.constEnd(); ++it)
        addVariableElement(element, it.key(), it.value(), exactConstants.value(it.key()));
    const QMap<QString, QString> datasets = getVariableModelList();
    for (auto it = datasets.constBegin(); it != datasets.constEnd(); ++it)
        addVariableElement(element, it.key(), it.value());
    return true;
}

bool KXEquationVariableModel::decode(QDomElement& element, QObject* tableOwner)
{
    const QDomElement source = modelElement(element);
    if (source.isNull())
        return false;
    if (!isKnownVersion(source))
        return true;

    const QDomNodeList variables = TXMLMethod::getNodeChild(source, QLatin1String(VARIABLE_TAG));
    for (int index = 0; index < variables.count(); ++index) {
        const QDomNode variable = variables.item(index);
        const QString name = TXMLMethod::getInfoString(variable, QStringLiteral("Name"));
        const QString value = TXMLMethod::getInfoString(variable, QStringLiteral("Value"));
        double number = 0;
        if (isConstant(value, &number)) {
            bool isExact = false;
            const double exactNumber =
                QLocale::c().toDouble(TXMLMethod::getInfoString(variable, QLatin1String(EXACT_VALUE_KEY)), &isExact);
            setConstant(name, isExact ? exactNumber : number);
            continue;
        }
        std::unique_ptr<KXDataModel> table(loadDataModel(value, tableOwner));
        if (!table)
            continue;
        addVariable(name, table.get(), QString());
        // Kept, by its owner, only when it became the variable's table.
        if (getVariableModel(name) == table.get())
            table.release();
    }
    return true;
}

QList<const KXObject2Dataset*> KXEquationVariableModel::storedDatasets(const QDomElement& element)
{
    QList<const KXObject2Dataset*> datasets;
    const QDomElement source = modelElement(element);
    if (source.isNull() || !isKnownVersion(source))
        return datasets;
    const QDomNodeList variables = TXMLMethod::getNodeChild(source, QLatin1String(VARIABLE_TAG));
    for (int index = 0; index < variables.count(); ++index) {
        const QString value = TXMLMethod::getInfoString(variables.item(index), QStringLiteral("Value"));
        if (isConstant(value))
            continue;
        if (const KXObject2Dataset* stored = storedDataset(value, false))
            datasets.append(stored);
    }
    return datasets;
}

const KXObject2Dataset* KXEquationVariableModel::storedDataset(const QString& reference, bool report)
{
    ProjectMgrInterface* project = ProjectMgrInterface::returnMe();
    const LodeDB::TDatabase* database = project ? project->database() : nullptr;
    if (!database || reference.isEmpty())
        return nullptr;
    const QStringList parts = reference.split(QLatin1Char('.'), Qt::KeepEmptyParts, Qt::CaseSensitive);
    if (parts.size() != 2)
        return nullptr;
    const KXObject2Dataset* stored = database->getDataset(parts.at(0), parts.at(1));
    // The equation still loads without the table, so the user is told which one is missing and where.
    if (!stored && report)
        MessageLoggerInterface::Error(missingDatasetMessage(reference, database->projectDirectory()));
    return stored;
}

KXDataModel* KXEquationVariableModel::loadDataModel(const QString& reference, QObject* owner)
{
    const KXObject2Dataset* stored = storedDataset(reference, true);
    if (!stored)
        return nullptr;
    bool opened = false;
    std::unique_ptr<KXDataModelDataset> table(openDatasetForVariable(stored, owner, &opened));
    if (!opened) {
        MessageLoggerInterface::Error(table->errorString());
        return nullptr;
    }
    return table.release();
}
