#include "KXCommandLine.h"

#include "KXCsv.h"
#include "KXDataModel.h"
#include "KXEquationCtrl.h"
#include "KXEquationModel.h"
#include "LodeDB.h"
#include "TXMLMethod.h"
#include "TerminalProgress.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

namespace {

/// The module controller as the user interface drives it: every setting goes through its slots.
class Driver
{
public:
    void slot(const char* name, const QString& text)
    {
        QMetaObject::invokeMethod(&controller, name, Qt::DirectConnection, Q_ARG(QString, text));
    }
    void slot(const char* name, bool state)
    {
        QMetaObject::invokeMethod(&controller, name, Qt::DirectConnection, Q_ARG(bool, state));
    }
    void dropDataset(QAbstractItemModel* table)
    {
        QMetaObject::invokeMethod(&controller, "slotDatasetDropped", Qt::DirectConnection,
                                  Q_ARG(QAbstractItemModel*, table));
    }

    KXEquationCtrl controller;
};

/// Computes and writes the table to a file or to standard output; a failure leaves no file behind.
int computeAndWrite(KXEquationCtrl& controller, const QString& output)
{
    using namespace KXCommandLine;
    std::unique_ptr<TerminalProgress> progress;
    if (isatty(STDERR_FILENO)) {
        progress = std::make_unique<TerminalProgress>();
        TProgressDisplay::setCurrent(progress.get());
    }
    std::unique_ptr<KXDataModelGeneric> table(controller.compute());
    TProgressDisplay::setCurrent(nullptr);
    if (!table)
        return Failed;
    if (output.isEmpty()) {
        const QByteArray csv = KXCsv::write(*table);
        std::fwrite(csv.constData(), 1, size_t(csv.size()), stdout);
        return Success;
    }
    QString error;
    if (!KXCsv::writeFile(output, *table, &error)) {
        printError(QStringLiteral("error: ") + error);
        return Failed;
    }
    return Success;
}

/// The module drops a dataset variable whose table the project no longer holds; say so, since
/// the formula will then fail to read for a reason the user cannot see.
void warnAboutMissingDatasets(KXEquationCtrl& controller, const QString& equation, const QString& project)
{
    QDomDocument document(QStringLiteral("Equation"));
    if (!TXMLMethod::load(&document, equation, true, true))
        return;
    const QDomNodeList variables = TXMLMethod::getNodeChild(document.documentElement(), QStringLiteral("Variables"));
    for (int k = 0; k < variables.size(); ++k) {
        const QString name = TXMLMethod::getInfoString(variables.at(k), QStringLiteral("Name"));
        const QString value = TXMLMethod::getInfoString(variables.at(k), QStringLiteral("Value"));
        bool numeric = false;
        value.toDouble(&numeric);
        if (!numeric && !controller.variableModelExist(name))
            KXCommandLine::printError(QStringLiteral("warning: the dataset %1 of %2 is not in the project folder %3")
                                          .arg(value.isEmpty() ? name : value, name, project));
    }
}

}

namespace KXCommandLine {

int runCompute(const QStringList& arguments)
{
    QStringList datasets;
    QList<QPair<QString, double>> constants;
    QList<QPair<const char*, QString>> texts;
    QList<QPair<const char*, bool>> switches;
    QString formula, output, save;
    bool hasFormula = false;

    Arguments walker(arguments);
    while (!walker.atEnd()) {
        QString option;
        const Arguments::Kind kind = walker.next(&option);
        if (kind == Arguments::Kind::Nothing)
            continue;
        if (kind == Arguments::Kind::Plain)
            throw UsageError{QStringLiteral("unexpected argument '") + option + QStringLiteral("'; give the formula with --formula")};
        static const QList<QPair<QString, const char*>> textOptions = {
            {QStringLiteral("--first-row"), "slotUpdateModelRowStart"},
            {QStringLiteral("--last-row"), "slotUpdateModelRowEnd"},
            {QStringLiteral("--first-col"), "slotUpdateModelColStart"},
            {QStringLiteral("--last-col"), "slotUpdateModelColEnd"},
            {QStringLiteral("--row-name"), "updateModelRowName"},
            {QStringLiteral("--col-name"), "updateModelColName"},
            {QStringLiteral("--header-dataset"), "updateModelDataModelForName"},
        };
        static const QList<QPair<QString, const char*>> switchOptions = {
            {QStringLiteral("--headers"), "updateModelHeader"},
            {QStringLiteral("--row-headers"), "updateModelVHeader"},
            {QStringLiteral("--col-headers"), "updateModelHHeader"},
        };
        auto findSlot = [&option](const QList<QPair<QString, const char*>>& table) -> const char* {
            for (const auto& entry : table) {
                if (entry.first == option)
                    return entry.second;
            }
            return nullptr;
        };
        if (option == QLatin1String("--lang")) {
            chooseLanguage(walker.value(option));
        } else if (option == QLatin1String("--const")) {
            QString name, value;
            splitAssignment(option, walker.value(option), &name, &value);
            constants.append({name, parseNumber(option, value)});
        } else if (option == QLatin1String("--dataset")) {
            datasets.append(walker.value(option));
        } else if (option == QLatin1String("--formula")) {
            formula = walker.value(option);
            hasFormula = true;
        } else if (option == QLatin1String("--output")) {
            output = walker.value(option);
        } else if (option == QLatin1String("--save")) {
            save = walker.value(option);
        } else if (const char* slot = findSlot(textOptions)) {
            texts.append({slot, walker.value(option)});
        } else if (const char* slot = findSlot(switchOptions)) {
            switches.append({slot, parseYesNo(option, walker.value(option))});
        } else {
            throw UsageError{QStringLiteral("unknown option ") + option};
        }
    }
    if (!hasFormula)
        throw UsageError{QStringLiteral("compute needs --formula")};

    std::vector<std::unique_ptr<KXDataModelGeneric>> tables;
    for (const QString& path : qAsConst(datasets))
        tables.push_back(readTable(path));

    // Started from the first table, the others dropped on the variable tree, as a user does.
    Driver driver;
    for (size_t k = 0; k < tables.size(); ++k) {
        if (k == 0)
            driver.controller.setCurrentDataModel(tables[k].get());
        else
            driver.dropDataset(tables[k].get());
    }
    for (const auto& constant : qAsConst(constants))
        driver.controller.addVariable(constant.first, constant.second);
    driver.slot("updateModelFormula", formula);
    for (const auto& text : qAsConst(texts))
        driver.slot(text.first, text.second);
    for (const auto& state : qAsConst(switches))
        driver.slot(state.first, state.second);

    if (!save.isEmpty() && !driver.controller.saveModel(save)) {
        printError(QStringLiteral("error: cannot write the equation file ") + save);
        return Failed;
    }
    return computeAndWrite(driver.controller, output);
}

int runRun(const QStringList& arguments)
{
    QString equation, project = QDir::currentPath(), output;
    Arguments walker(arguments);
    while (!walker.atEnd()) {
        QString option;
        const Arguments::Kind kind = walker.next(&option);
        if (kind == Arguments::Kind::Nothing)
            continue;
        if (kind == Arguments::Kind::Plain) {
            if (!equation.isEmpty())
                throw UsageError{QStringLiteral("run takes one equation file")};
            equation = option;
        } else if (option == QLatin1String("--lang")) {
            chooseLanguage(walker.value(option));
        } else if (option == QLatin1String("--project")) {
            project = walker.value(option);
        } else if (option == QLatin1String("--output")) {
            output = walker.value(option);
        } else {
            throw UsageError{QStringLiteral("unknown option ") + option};
        }
    }
    if (equation.isEmpty())
        throw UsageError{QStringLiteral("run needs an equation file")};
    if (!ProjectMgrInterface::returnMe()->openProject(project))
        throw UsageError{QStringLiteral("no project folder ") + project};

    KXEquationCtrl controller;
    if (!controller.loadModel(equation)) {
        printError(QStringLiteral("error: cannot load the equation file ") + equation);
        return Failed;
    }
    warnAboutMissingDatasets(controller, equation, project);
    return computeAndWrite(controller, output);
}

}
