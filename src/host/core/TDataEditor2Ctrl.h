#pragma once

#include "KXHostGlobal.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

class KXDataModel;
class KXDataModelGeneric;

/// The host's data editor: shows computed tables and owns the ones it keeps.
class KXHOST_EXPORT TDataEditor2Ctrl : public QObject
{
    Q_OBJECT
public:
    explicit TDataEditor2Ctrl(QObject* parent = nullptr);
    ~TDataEditor2Ctrl() override;

    /// Shows the table; returns the editor that shows it (this host shows all tables in one editor).
    /// A table named like one already shown or stored in the project gets the next free suffix
    /// (sales.q1_2 becomes sales.q1_3), so that no two tables share a name.
    TDataEditor2Ctrl* addGenericModel(KXDataModelGeneric* model);
    /// Takes ownership of the table.
    void keepModel(KXDataModel* model);

    QList<KXDataModelGeneric*> shownModels() const { return m_shown; }
    bool keeps(const KXDataModel* model) const;

    /// Stops showing the table and, when kept, frees it (its cells on a worker thread).
    void releaseModel(KXDataModel* model);

    /// Records that the table was saved into the project.
    void markSaved(const KXDataModel* model);
    /// Shown tables that were never saved into the project.
    int unsavedCount() const;
    /// Whether the table is shown here and was never saved into the project.
    bool isUnsaved(const KXDataModel* model) const;

signals:
    void modelAdded(KXDataModelGeneric* model);

private:
    bool isNameTaken(const QString& dataset, const QString& subdataset) const;

    QList<KXDataModelGeneric*> m_shown;
    QList<const KXDataModel*> m_saved;
    std::vector<std::unique_ptr<KXDataModel>> m_kept;
};

/// Reaches the host's data editors. Replaceable, so that tests and programs choose the instance.
class KXHOST_EXPORT ModuleLauncherInterface
{
public:
    virtual ~ModuleLauncherInterface();

    static ModuleLauncherInterface* returnMe();
    /// Makes instance the one returnMe gives (null restores the built-in one); the caller keeps ownership.
    static void setInstance(ModuleLauncherInterface* instance);

    /// The data editor of the given index; this host has one, index 0.
    virtual TDataEditor2Ctrl* dataEditor(int index);

private:
    std::unique_ptr<TDataEditor2Ctrl> m_editor;
};
