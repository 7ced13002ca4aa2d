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

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXCommandLine", english, french, -1);
}
QString unknownVersionMessage(const QString& file, const QString& element, const QString& version)
{
    return tr("%1: %2 is of version %3; this program reads version 1.0.",
              "%1 : %2 est en version %3 ; ce programme lit la version 1.0.")
        .arg(file, element, version);
}
QString noVersionMessage(const QString& file, const QString& element)
{
    return tr("%1: %2 has no version; this program reads version 1.0.",
              "%1 : %2 n'a pas de version ; ce programme lit la version 1.0.")
        .arg(file, element);
}
QString outsideProjectMessage(const QString& file, const QString& reference)
{
    return tr("%1: the dataset %2 is not a name dataset.subdataset inside the project folder.",
              "%1 : le tableau %2 n'est pas un nom tableau.sous-tableau dans le dossier de projet.")
        .arg(file, reference);
}
QString unreadableDatasetMessage(const QString& reference, const QString& folder, const QString& reason)
{
    return tr("The dataset %1 of the project folder %2 cannot be read: %3",
              "Le tableau %1 du dossier de projet %2 ne peut pas être lu : %3")
        .arg(reference, folder, reason);
}

bool isDatasetName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

/// Before the module loads the equation, which would drop a dataset variable whose table it
/// cannot open: a file of another version, a dataset reference that leaves the project folder and
/// a dataset that is missing or cannot be read each end the run, once, naming what failed.
void checkEquationFile(const QString& equation)
{
    QDomDocument document(QStringLiteral("Equation"));
    if (!TXMLMethod::load(&document, equation, true, true))
        return; // the module's loading says why
    const QDomElement root = document.documentElement();
    for (const char* tag : {"EquationModel", "EquationVariableModel"}) {
        const QDomElement element = root.elementsByTagName(QLatin1String(tag)).item(0).toElement();
        const QString version = TXMLMethod::getInfoString(element, QStringLiteral("Version"));
        if (!element.isNull() && version != QLatin1String("1.0"))
            throw KXExitStatus::Error{KXExitStatus::DataError,
                                      version.isEmpty() ? noVersionMessage(equation, QLatin1String(tag))
                                                        : unknownVersionMessage(equation, QLatin1String(tag), version)};
    }
    const QDomElement model = root.elementsByTagName(QStringLiteral("EquationVariableModel")).item(0).toElement();
    const QDomNodeList variables = TXMLMethod::getNodeChild(model, QStringLiteral("Variables"));
    const LodeDB::TDatabase* database = ProjectMgrInterface::returnMe()->database();
    for (int k = 0; database && k < variables.size(); ++k) {
        const QString reference = TXMLMethod::getInfoString(variables.at(k), QStringLiteral("Value"));
        bool numeric = false;
        reference.toDouble(&numeric);
        if (numeric || reference.isEmpty())
            continue;
        const QStringList parts = reference.split(QLatin1Char('.'));
        if (parts.size() != 2 || !isDatasetName(parts.at(0)) || !isDatasetName(parts.at(1)))
            throw KXExitStatus::Error{KXExitStatus::DataError, outsideProjectMessage(equation, reference)};
        KXDataModelGeneric table;
        QString error;
        KXFileStatus status = KXFileStatus::Ok;
        if (!KXCsv::readFile(database->filePath(parts.at(0), parts.at(1)), table, &error, &status))
            throw KXExitStatus::Error{KXExitStatus::forFile(status),
                                      unreadableDatasetMessage(reference, database->projectDirectory(), error)};
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
    bool hasSeed = false;
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
            output = outputPath(option, walker.value(option));
        } else if (option == QLatin1String("--save")) {
            save = outputPath(option, walker.value(option));
        } else if (option == QLatin1String("--engine")) {
            job.setEngine(walker.value(option));
        } else if (option == QLatin1String("--seed")) {
            job.equation.setSeed(parseSeed(option, walker.value(option)));
            hasSeed = true;
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
    QList<QPair<QString, QString>> inputs;
    for (const QString& path : qAsConst(datasets))
        inputs.append({QStringLiteral("--dataset"), path});
    requireDistinctFiles(namedOutputs(output, outputOptions, save), inputs);

    std::vector<std::unique_ptr<KXDataModelGeneric>> tables;
    for (const QString& path : qAsConst(datasets))
        tables.push_back(readTable(path));

    // Started from the first table, the others dropped on the variable tree, as a user does.
    for (const auto& table : tables)
        job.addTable(table.get());
    for (const auto& constant : qAsConst(constants))
        job.variables.addVariable(constant.first, constant.second);
    job.equation.setFormula(blanksAsEmpty(formula));
    for (const auto& text : qAsConst(texts))
        text.first(job.equation, text.second);
    for (const auto& state : qAsConst(switches))
        (job.equation.*state.first)(state.second);
    const QString header = job.equation.dataModelForHeader();
    if (!header.isEmpty() && !job.variables.getVariableModelList().contains(header))
        throw UsageError{QStringLiteral("--header-dataset: no dataset variable is named '%1' (the --dataset options give Input1, Input2, ...)")
                             .arg(header)};

    if (!hasSeed)
        noteFreshSeed({job.equation.getFormula(), job.equation.rowName(), job.equation.colName()}, job.equation.seed());
    return job.computeAndWrite(output, outputOptions, save);
}

int runRun(const QStringList& arguments)
{
    QString equation, project = QDir::currentPath(), output;
    ComputeJob job;
    bool hasSeed = false;
    quint64 seed = 0;
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
            output = outputPath(option, walker.value(option));
        } else if (option == QLatin1String("--engine")) {
            job.setEngine(walker.value(option));
        } else if (option == QLatin1String("--seed")) {
            seed = parseSeed(option, walker.value(option));
            hasSeed = true;
        } else if (takeOutputOption(option, walker, &outputOptions)) {
        } else {
            throw UsageError{QStringLiteral("unknown option ") + option};
        }
    }
    if (equation.isEmpty())
        throw UsageError{QStringLiteral("run needs an equation file")};
    requireDistinctFiles(namedOutputs(output, outputOptions), {{QStringLiteral("the equation file"), equation}});
    if (!QFileInfo(project).isDir()) {
        const int reason = QFileInfo::exists(project) ? ENOTDIR : ENOENT;
        throw KXExitStatus::Error{KXExitStatus::NoInput, QStringLiteral("cannot open the project folder %1: %2")
                                                             .arg(project, QString::fromLocal8Bit(std::strerror(reason)))};
    }
    ProjectMgrInterface::returnMe()->openProject(project);
    checkEquationFile(equation);

    QString error;
    KXFileStatus status = KXFileStatus::Ok;
    if (!KXEquationDocument::load(&job.equation, &job.variables, equation, &job.tables, &error, &status))
        throw KXExitStatus::Error{KXExitStatus::forFile(status), error};
    if (hasSeed)
        job.equation.setSeed(seed);
    else if (!job.equation.seedFromFile())
        noteFreshSeed({job.equation.getFormula(), job.equation.rowName(), job.equation.colName()}, job.equation.seed());
    // The equation file's own fields, not options of run, hold the working range.
    const QString file = QFileInfo(equation).fileName() + QStringLiteral(", ");
    job.setRangeFieldNames({file + QStringLiteral("RowStart"), file + QStringLiteral("RowEnd"),
                            file + QStringLiteral("ColStart"), file + QStringLiteral("ColEnd")});
    return job.computeAndWrite(output, outputOptions);
}

}
