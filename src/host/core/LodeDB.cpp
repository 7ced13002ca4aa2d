#include "LodeDB.h"

#include "KXCsv.h"
#include "KXDatasetReader.h"
#include "KXDataModel.h"
#include "KXObject2.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <atomic>

namespace {

const char FileSuffix[] = ".csv";

// Messages
QString translated(const char* english, const char* french)
{
    return QCoreApplication::translate("LodeDB::TDatabase", english, french, -1);
}
QString invalidNameMessage(const QString& dataset, const QString& subdataset)
{
    return translated("%1.%2 is not a valid dataset name.", "%1.%2 n'est pas un nom de tableau de données valide.")
        .arg(dataset, subdataset);
}
QString cannotCreateFolderMessage(const QString& folder)
{
    return translated("Cannot create the folder %1.", "Impossible de créer le dossier %1.").arg(folder);
}

/// A name that stays one path component inside the project.
bool isValidName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..")
           && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

QStringList sorted(QStringList names)
{
    // Code-point order, so that the listing does not depend on the locale.
    std::sort(names.begin(), names.end());
    return names;
}

std::atomic<ProjectMgrInterface*> replacementInstance{nullptr};

}

namespace LodeDB {

TDatabase::TDatabase(const QString& projectDirectory) : m_projectDirectory(QDir(projectDirectory).absolutePath())
{
}

TDatabase::~TDatabase() = default;

QString TDatabase::filePath(const QString& dataset, const QString& subdataset) const
{
    return m_projectDirectory + QLatin1Char('/') + dataset + QLatin1Char('/') + subdataset + QLatin1String(FileSuffix);
}

const KXObject2Dataset* TDatabase::getDataset(const QString& dataset, const QString& subdataset) const
{
    if (!isValidName(dataset) || !isValidName(subdataset))
        return nullptr;
    const QString path = filePath(dataset, subdataset);
    if (!QFileInfo(path).isFile())
        return nullptr;
    // Handed-out objects stay valid for the database's lifetime.
    std::shared_ptr<KXObject2Dataset>& object = m_objects[qMakePair(dataset, subdataset)];
    if (!object)
        object = std::make_shared<KXObject2Dataset>(dataset, subdataset, path);
    return object.get();
}

QList<const KXObject2Dataset*> TDatabase::datasets() const
{
    QList<const KXObject2Dataset*> objects;
    const QDir project(m_projectDirectory);
    for (const QString& dataset : sorted(project.entryList(QDir::Dirs | QDir::NoDotAndDotDot))) {
        const QDir folder(project.filePath(dataset));
        for (const QString& fileName : sorted(folder.entryList(QDir::Files))) {
            if (!fileName.endsWith(QLatin1String(FileSuffix)))
                continue;
            if (const KXObject2Dataset* object = getDataset(dataset, fileName.chopped(int(qstrlen(FileSuffix)))))
                objects.append(object);
        }
    }
    return objects;
}

bool TDatabase::storeDataset(const QString& dataset, const QString& subdataset, const KXDataModelGeneric& table,
                             QString* error)
{
    if (!isValidName(dataset) || !isValidName(subdataset)) {
        if (error)
            *error = invalidNameMessage(dataset, subdataset);
        return false;
    }
    const QString folder = m_projectDirectory + QLatin1Char('/') + dataset;
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = cannotCreateFolderMessage(folder);
        return false;
    }
    return KXCsv::writeFile(filePath(dataset, subdataset), table, error);
}

}

ProjectMgrInterface::~ProjectMgrInterface() = default;

ProjectMgrInterface* ProjectMgrInterface::returnMe()
{
    if (ProjectMgrInterface* replacement = replacementInstance.load())
        return replacement;
    static ProjectMgrInterface builtIn;
    return &builtIn;
}

void ProjectMgrInterface::setInstance(ProjectMgrInterface* instance)
{
    replacementInstance.store(instance);
}

LodeDB::TDatabase* ProjectMgrInterface::database() const
{
    return m_database.get();
}

bool ProjectMgrInterface::openProject(const QString& directory)
{
    if (directory.isEmpty() || !QFileInfo(directory).isDir())
        return false;
    m_database = std::make_unique<LodeDB::TDatabase>(directory);
    return true;
}

void ProjectMgrInterface::closeProject()
{
    m_database.reset();
}

// Tables bound to stored datasets
bool KXDataModelDataset::open(const KXObject2* object)
{
    return open(object, KXCsvReadControl());
}

bool KXDataModelDataset::open(const KXObject2* object, const KXCsvReadControl& control)
{
    const auto* stored = object && object->type() == KXObject2::Dataset ? dynamic_cast<const KXObject2Dataset*>(object)
                                                                          : nullptr;
    if (!stored) {
        m_errorString =
            tr("The object is not a stored dataset.", "L'objet n'est pas un tableau de données enregistré.");
        return false;
    }
    QString error;
    if (!KXCsv::readFile(stored->filePath(), *this, &error, nullptr, control)) {
        m_errorString = error;
        return false;
    }
    setName(stored->dataset(), stored->subdataset());
    m_errorString.clear();
    return true;
}

KXDataModelDataset* openDatasetForVariable(const KXObject2* stored, QObject* owner, bool* opened)
{
    if (KXDataModelDataset* readAhead = KXReadAheadTables::take(stored)) {
        readAhead->setParent(owner);
        if (opened)
            *opened = readAhead->errorString().isEmpty();
        return readAhead;
    }
    auto* table = new KXDataModelDataset(owner);
    const bool read = table->open(stored);
    if (opened)
        *opened = read;
    return table;
}
