#pragma once

#include "KXHostGlobal.h"

#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <memory>

class KXDataModelGeneric;
class KXObject2Dataset;

namespace LodeDB {

/// The project's technical database: a project is a folder, and the dataset
/// "dataset.subdataset" is the CSV file <project>/<dataset>/<subdataset>.csv.
class KXHOST_EXPORT TDatabase
{
public:
    explicit TDatabase(const QString& projectDirectory);
    ~TDatabase();

    QString projectDirectory() const { return m_projectDirectory; }
    /// Where dataset.subdataset is stored, whether or not the file exists.
    QString filePath(const QString& dataset, const QString& subdataset) const;
    /// The stored dataset, or null when the project holds no such file. The database owns it.
    const KXObject2Dataset* getDataset(const QString& dataset, const QString& subdataset) const;
    /// Every stored dataset, sorted by dataset then subdataset.
    QList<const KXObject2Dataset*> datasets() const;
    /// Writes a table into the project as dataset.subdataset; never leaves a half-written file.
    bool storeDataset(const QString& dataset, const QString& subdataset, const KXDataModelGeneric& table,
                      QString* error);

private:
    QString m_projectDirectory;
    mutable QMap<QPair<QString, QString>, std::shared_ptr<KXObject2Dataset>> m_objects;
};

}

/// Reaches the current project. Replaceable, so that tests and programs choose the instance.
class KXHOST_EXPORT ProjectMgrInterface
{
public:
    virtual ~ProjectMgrInterface();

    static ProjectMgrInterface* returnMe();
    /// Makes instance the one returnMe gives (null restores the built-in one); the caller keeps ownership.
    static void setInstance(ProjectMgrInterface* instance);

    /// The current project's database; null when no project is open.
    virtual LodeDB::TDatabase* database() const;
    /// Opens the project folder; false when it does not exist.
    virtual bool openProject(const QString& directory);
    virtual void closeProject();

private:
    std::unique_ptr<LodeDB::TDatabase> m_database;
};
