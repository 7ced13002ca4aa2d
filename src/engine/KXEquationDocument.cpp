#include "KXEquationDocument.h"

#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "TXMLMethod.h"

#include <QCoreApplication>
#include <QDomDocument>

#include <cmath>
#include <limits>
#include <memory>

namespace {
const char DOCUMENT_TYPE[] = "Equation";
const char INPUT_NAME[] = "Input%1";

// The range messages belong to the controller base, whose context translates them.
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXEquationAbstractCtrl", english, french, -1);
}

// What each of the four working-range texts is called in its messages.
struct RangeMessages
{
    const char* errorPrefix;
    const char* errorPrefixFrench;
    const char* notInteger;
    const char* notIntegerFrench;
};

const RangeMessages RANGE_MESSAGES[4] = {
    {"Minimum number of lines is incorrect:", "Le nombre minimum de lignes est incorrect : ",
     "Minimum number of lines is incorrect", "Le nombre minimum de lignes est incorrect"},
    {"Maximum number of lines is incorrect: ", "Le nombre maximum de lignes est incorrect : ",
     "Maximum number of lines is incorrect", "Le nombre maximum de lignes est incorrect"},
    {"Minimum number of columns is incorrect: ", "Le nombre minimum de colonnes est incorrect : ",
     "Minimum number of columns is incorrect", "Le nombre minimum de colonnes est incorrect"},
    {"Maximum number of columns is incorrect: ", "Le nombre maximum de colonnes est incorrect : ",
     "Maximum number of columns is incorrect", "Le nombre maximum de colonnes est incorrect"},
};

}

namespace KXEquationDocument {

QString addDataset(KXEquationAbstractModel* equation, KXEquationVariableModel* variables, QAbstractItemModel* table,
                   const QString& alias, bool setRange, const NameTaken& taken)
{
    auto isTaken = [&](const QString& name) { return taken ? taken(name) : variables->variableModelExist(name); };
    int number = variables->getVariableModelList().size() + 1;
    while (isTaken(QString::fromLatin1(INPUT_NAME).arg(number)))
        ++number;
    const QString name = QString::fromLatin1(INPUT_NAME).arg(number);
    variables->addVariable(name, table, alias);
    if (setRange && equation && equation->rowEnd().isEmpty() && equation->colEnd().isEmpty()) {
        equation->setRowEnd(QStringLiteral("NR_%1").arg(name));
        equation->setColEnd(QStringLiteral("NC_%1").arg(name));
    }
    return name;
}

void startFromTable(KXEquationModel* equation, KXEquationVariableModel* variables, QAbstractItemModel* table,
                    const NameTaken& taken)
{
    QString dataset;
    QString subdataset;
    KXEquationVariableModel::getDataModelName(table, dataset, subdataset);
    equation->setDatasetName(dataset);
    equation->setSubdatasetName(subdataset + QLatin1String("_2"));
    addDataset(equation, variables, table, QString(), true, taken);
}

void evaluateRange(const KXEquationAbstractModel* equation, KXEquationVariableModel* variables, int& rowStart,
                   int& rowEnd, int& colStart, int& colEnd, RangeField* failed)
{
    KXEquationInterpreter interpreter(variables);
    const QString texts[4] = {equation ? equation->rowStart() : QString(), equation ? equation->rowEnd() : QString(),
                              equation ? equation->colStart() : QString(), equation ? equation->colEnd() : QString()};
    // Owned here, so that a text that fails to read or evaluate releases the trees made before it.
    // All four are read before any is evaluated: reading an aggregate sets its loop variable to the
    // no-value marker, which a text read before it sees when evaluated.
    std::unique_ptr<KXEquationCommand> trees[4];
    int bound = 0;
    try {
        for (bound = 0; bound < 4; ++bound)
            trees[bound].reset(interpreter.interpret(texts[bound]));

        int* outputs[4] = {&rowStart, &rowEnd, &colStart, &colEnd};
        for (bound = 0; bound < 4; ++bound) {
            const RangeMessages& messages = RANGE_MESSAGES[bound];
            const QVariant value = trees[bound]->evaluate();
            QString error;
            if (KXEquationCommand::getError(value, error))
                throw KXError(tr(messages.errorPrefix, messages.errorPrefixFrench) + error, QString(), QString());
            if (!KXEquationCommand::toBound(value, *outputs[bound]))
                throw KXError(tr(messages.notInteger, messages.notIntegerFrench), QString(), QString());
        }
    } catch (const KXError&) {
        if (failed)
            *failed = RangeField(bound);
        throw;
    }
}

bool save(KXEquationAbstractModel* equation, KXEquationVariableModel* variables, const QString& path,
          QString* error, KXFileStatus* status)
{
    QDomDocument document{QString::fromLatin1(DOCUMENT_TYPE)};
    QDomElement root = document.createElement(QLatin1String(DOCUMENT_TYPE));
    document.appendChild(root);
    if (equation)
        equation->encode(root);
    if (variables)
        variables->encode(root);
    return TXMLMethod::save(&document, path, true, true, error, status);
}

bool load(KXEquationAbstractModel* equation, KXEquationVariableModel* variables, const QString& path,
          QObject* tableOwner, QString* error, KXFileStatus* status)
{
    QDomDocument document{QString::fromLatin1(DOCUMENT_TYPE)};
    if (!TXMLMethod::load(&document, path, true, true, error, status))
        return false;
    QDomElement root = document.documentElement();
    if (!equation || !equation->decode(root) || !variables || !variables->decode(root, tableOwner)) {
        if (error)
            *error = tr("%1: not an equation file.", "%1 : ce n'est pas un fichier d'équation.").arg(path);
        if (status)
            *status = KXFileStatus::Malformed;
        return false;
    }
    return true;
}

QList<const KXObject2Dataset*> storedDatasets(const QString& path)
{
    QDomDocument document{QString::fromLatin1(DOCUMENT_TYPE)};
    if (!TXMLMethod::load(&document, path, true, true))
        return {};
    return KXEquationVariableModel::storedDatasets(document.documentElement());
}

QString unknownVersion(const QString& path)
{
    QDomDocument document{QString::fromLatin1(DOCUMENT_TYPE)};
    if (!TXMLMethod::load(&document, path, true, true))
        return QString();
    // The versions read are the ones written.
    QDomDocument current;
    QDomElement root = current.createElement(QLatin1String(DOCUMENT_TYPE));
    current.appendChild(root);
    KXEquationModel().encode(root);
    KXEquationVariableModel().encode(root);
    const QString key = QStringLiteral("Version");
    for (QDomElement part = root.firstChildElement(); !part.isNull(); part = part.nextSiblingElement()) {
        const QDomNode found = document.documentElement().elementsByTagName(part.tagName()).item(0);
        const QString version = TXMLMethod::getInfoString(found, key);
        if (!version.isEmpty() && version != TXMLMethod::getInfoString(part, key))
            return version;
    }
    return QString();
}

}
