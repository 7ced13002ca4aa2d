#include "KXCommandLine.h"

#include "ComputeJob.h"
#include "KXDataModel.h"
#include "KXCsv.h"
#include "KXEquationDocument.h"
#include "KXOutputOptions.h"
#include "KXExitStatus.h"
#include "KXObject2.h"
#include "LodeDB.h"
#include "TXMLMethod.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

/// The module drops a dataset variable whose table the project cannot give, and says which; a
/// stored table that is there but cannot be read ends the run with the reader's own message.
void checkUnreadableDatasets(const KXEquationVariableModel& known, const QString& equation)
{
    QDomDocument document(QStringLiteral("Equation"));
    if (!TXMLMethod::load(&document, equation, true, true))
        return;
    const QDomElement model = document.documentElement().firstChildElement(QStringLiteral("EquationVariableModel"));
    const QDomNodeList variables = TXMLMethod::getNodeChild(model, QStringLiteral("Variables"));
    const LodeDB::TDatabase* database = ProjectMgrInterface::returnMe()->database();
    for (int k = 0; k < variables.size(); ++k) {
        const QString name = TXMLMethod::getInfoString(variables.at(k), QStringLiteral("Name"));
        const QString value = TXMLMethod::getInfoString(variables.at(k), QStringLiteral("Value"));
        bool numeric = false;
        value.toDouble(&numeric);
        if (numeric || known.variableModelExist(name))
            continue;
        const QStringList parts = value.split(QLatin1Char('.'));
        const KXObject2Dataset* stored = database && parts.size() == 2 ? database->getDataset(parts.at(0), parts.at(1))
                                                                       : nullptr;
        if (stored) {
            KXDataModelGeneric table;
            QString error;
            KXFileStatus status = KXFileStatus::Ok;
            if (!KXCsv::readFile(stored->filePath(), table, &error, &status))
                throw KXExitStatus::Error{KXExitStatus::forFile(status), error};
        }
    }
}

}

namespace KXCommandLine {

int runCompute(const QStringList& arguments)
{
    QStringList datasets;
    QList<QPair<QString, double>> constants;
    using TextSetter = void (*)(KXEquationModel&, const QString&);
    using SwitchSetter = void (KXEquationModel::*)(bool);
    QList<QPair<TextSetter, QString>> texts;
    QList<QPair<SwitchSetter, bool>> switches;
    ComputeJob job;
    QString formula, output, save;
    bool hasFormula = false;
    OutputOptions outputOptions;

    Arguments walker(arguments);
    QString option;
    bool plain = false;
    while (walker.take(&option, &plain)) {
        if (plain)
            throw UsageError{QStringLiteral("unexpected argument '") + option + QStringLiteral("'; give the formula with --formula")};
        static const QList<QPair<QString, TextSetter>> textOptions = {
            {QStringLiteral("--first-row"), [](KXEquationModel& m, const QString& t) { m.setRowStart(t); }},
            {QStringLiteral("--last-row"), [](KXEquationModel& m, const QString& t) { m.setRowEnd(t); }},
            {QStringLiteral("--first-col"), [](KXEquationModel& m, const QString& t) { m.setColStart(t); }},
            {QStringLiteral("--last-col"), [](KXEquationModel& m, const QString& t) { m.setColEnd(t); }},
            {QStringLiteral("--row-name"), [](KXEquationModel& m, const QString& t) { m.setRowName(t); }},
            {QStringLiteral("--col-name"), [](KXEquationModel& m, const QString& t) { m.setColName(t); }},
            {QStringLiteral("--header-dataset"),
             [](KXEquationModel& m, const QString& t) { m.setDataModelForHeader(t); }},
        };
        static const QList<QPair<QString, SwitchSetter>> switchOptions = {
            {QStringLiteral("--headers"), &KXEquationModel::setKeepHeader},
            {QStringLiteral("--row-headers"), &KXEquationModel::setKeepVHeader},
            {QStringLiteral("--col-headers"), &KXEquationModel::setKeepHHeader},
        };
        auto find = [&option](const auto& table) {
            for (const auto& entry : table) {
                if (entry.first == option)
                    return entry.second;
            }
            return decltype(table.first().second)();
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
        } else if (option == QLatin1String("--engine")) {
            job.setEngine(walker.value(option));
        } else if (takeOutputOption(option, walker, &outputOptions)) {
        } else if (const TextSetter setter = find(textOptions)) {
            texts.append({setter, walker.value(option)});
        } else if (const SwitchSetter setter = find(switchOptions)) {
            switches.append({setter, parseYesNo(option, walker.value(option))});
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
    for (const auto& table : tables)
        job.addTable(table.get());
    for (const auto& constant : qAsConst(constants))
        job.variables.addVariable(constant.first, constant.second);
    job.equation.setFormula(formula);
    for (const auto& text : qAsConst(texts))
        text.first(job.equation, text.second);
    for (const auto& state : qAsConst(switches))
        (job.equation.*state.first)(state.second);

    return job.computeAndWrite(output, outputOptions, save);
}

int runRun(const QStringList& arguments)
{
    QString equation, project = QDir::currentPath(), output;
    ComputeJob job;
    OutputOptions outputOptions;
    Arguments walker(arguments);
    QString option;
    bool plain = false;
    while (walker.take(&option, &plain)) {
        if (plain) {
            if (!equation.isEmpty())
                throw UsageError{QStringLiteral("run takes one equation file")};
            equation = option;
        } else if (option == QLatin1String("--lang")) {
            chooseLanguage(walker.value(option));
        } else if (option == QLatin1String("--project")) {
            project = walker.value(option);
        } else if (option == QLatin1String("--output")) {
            output = walker.value(option);
        } else if (option == QLatin1String("--engine")) {
            job.setEngine(walker.value(option));
        } else if (takeOutputOption(option, walker, &outputOptions)) {
        } else {
            throw UsageError{QStringLiteral("unknown option ") + option};
        }
    }
    if (equation.isEmpty())
        throw UsageError{QStringLiteral("run needs an equation file")};
    if (!QFileInfo(project).isDir()) {
        const int reason = QFileInfo::exists(project) ? ENOTDIR : ENOENT;
        throw KXExitStatus::Error{KXExitStatus::NoInput, QStringLiteral("cannot open the project folder %1: %2")
                                                             .arg(project, QString::fromLocal8Bit(std::strerror(reason)))};
    }
    ProjectMgrInterface::returnMe()->openProject(project);

    QString error;
    KXFileStatus status = KXFileStatus::Ok;
    if (!KXEquationDocument::load(&job.equation, &job.variables, equation, &job.tables, &error, &status))
        throw KXExitStatus::Error{KXExitStatus::forFile(status), error};
    checkUnreadableDatasets(job.variables, equation);
    return job.computeAndWrite(output, outputOptions);
}

}
