// kxdemo PROJECT [--lang en|fr]: opens a project folder, binds each stored dataset to a dataset
// variable Input1, Input2, ... and prints the constants and dataset variables of the variable model.

#include "KXDataModel.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXObject2.h"
#include "LodeDB.h"
#include "TApplicationTranslator.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXDemo", english, french, -1);
}
QString usageMessage()
{
    return tr("Usage: kxdemo PROJECT_FOLDER [--lang en|fr]", "Usage : kxdemo DOSSIER_DU_PROJET [--lang en|fr]");
}
QString unknownLanguageMessage(const QString& code)
{
    return tr("Unknown language %1: choose en or fr.", "Langue %1 inconnue : choisissez en ou fr.").arg(code);
}
QString noProjectMessage(const QString& folder)
{
    return tr("The project folder %1 does not exist.", "Le dossier de projet %1 n'existe pas.").arg(folder);
}
QString projectLine(const QString& folder, int count)
{
    return tr("Project %1, stored datasets: %2", "Projet %1, tableaux de données enregistrés : %2")
        .arg(folder)
        .arg(count);
}
QString constantsTitle()
{
    return tr("Constants:", "Constantes :");
}
QString datasetVariablesTitle()
{
    return tr("Dataset variables:", "Variables tableaux de données :");
}

// Whole lines in UTF-8, whatever the locale.
void print(FILE* stream, const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QStringList arguments = QCoreApplication::arguments().mid(1);
    const int languageOption = arguments.indexOf(QStringLiteral("--lang"));
    if (languageOption >= 0) {
        const QString code = arguments.value(languageOption + 1);
        if (!TApplicationTranslator::install(code)) {
            MessageLoggerInterface::Error(unknownLanguageMessage(code), nullptr);
            return 2;
        }
        arguments.erase(arguments.begin() + languageOption,
                        arguments.begin() + qMin(languageOption + 2, arguments.size()));
    }
    if (arguments.size() != 1) {
        print(stderr, usageMessage());
        return 2;
    }

    const QString folder = QDir::cleanPath(arguments.first());
    ProjectMgrInterface* projects = ProjectMgrInterface::returnMe();
    if (!projects->openProject(folder)) {
        MessageLoggerInterface::Error(noProjectMessage(folder), nullptr);
        return 1;
    }
    const QList<const KXObject2Dataset*> stored = projects->database()->datasets();

    // The variable model refers to the tables without owning them.
    std::vector<std::unique_ptr<KXDataModelDataset>> tables;
    KXEquationVariableModel variables;
    QStringList names;
    int status = 0;
    for (const KXObject2Dataset* object : stored) {
        auto table = std::make_unique<KXDataModelDataset>();
        if (!table->open(object)) {
            MessageLoggerInterface::Error(table->errorString(), nullptr);
            status = 1;
            continue;
        }
        const QString name = QStringLiteral("Input%1").arg(names.size() + 1);
        variables.addVariable(name, table.get(), QString());
        names << name;
        tables.push_back(std::move(table));
    }

    print(stdout, projectLine(folder, stored.size()));
    print(stdout, constantsTitle());
    const QMap<QString, QString> constants = variables.getVariableConstantList();
    for (auto it = constants.constBegin(); it != constants.constEnd(); ++it)
        print(stdout, QStringLiteral("  %1 = %2").arg(it.key(), it.value()));
    print(stdout, datasetVariablesTitle());
    const QMap<QString, QString> datasets = variables.getVariableModelList();
    for (const QString& name : names) {
        QStringList related;
        const QMap<QString, QString> derived = variables.getVariableModelRelatedList(name);
        for (auto it = derived.constBegin(); it != derived.constEnd(); ++it)
            related << QStringLiteral("%1 = %2").arg(it.key(), it.value());
        print(stdout,
              QStringLiteral("  %1 = %2  (%3)").arg(name, datasets.value(name), related.join(QStringLiteral(", "))));
    }
    std::fflush(stdout);
    return status;
}
