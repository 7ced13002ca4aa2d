#pragma once

#include "KXHostGlobal.h"

#include <QList>
#include <QMap>
#include <QString>

class QAction;

/// Told by a module editor about the user's requests.
class KXHOSTUI_EXPORT ModuleObserver
{
public:
    virtual ~ModuleObserver();
    virtual void SaveRequested() {}
    virtual void actionTriggered(int actionId) {}
};

/// An editor of a running module; it tells its observers about the user's requests.
class KXHOSTUI_EXPORT ModuleEditorAbstract
{
public:
    virtual ~ModuleEditorAbstract();

    /// Adds an observer once; the observer must outlive the editor or unregister itself.
    void registerObserver(ModuleObserver* observer);
    void unregisterObserver(ModuleObserver* observer);
    QList<ModuleObserver*> observers() const { return m_observers; }

protected:
    void notifySaveRequested();
    void notifyActionTriggered(int actionId);

private:
    QList<ModuleObserver*> m_observers;
};

/// Base of every module the host runs.
class KXHOSTUI_EXPORT TModuleCtrl
{
public:
    explicit TModuleCtrl(const QString& moduleKey);
    virtual ~TModuleCtrl();

    QString moduleKey() const { return m_moduleKey; }

    virtual bool save() { return false; }
    virtual bool hasSomethingToSave() const { return false; }
    virtual bool load() { return false; }
    virtual bool close() { return true; }
    virtual int getIdForHelp() const { return 0; }

private:
    QString m_moduleKey;
};

/// The host's module frame: a module with the host's generic actions.
class KXHOSTUI_EXPORT KXModuleCtrl : public TModuleCtrl, public ModuleObserver
{
public:
    explicit KXModuleCtrl(const QString& moduleKey);
    ~KXModuleCtrl() override;

    virtual void initActions();
    /// The host's generic actions of this module, by id; owned by the module frame.
    QMap<int, QAction*> getActionList() const { return m_actions; }
    virtual void setActionEnabled(int actionId, bool enabled);
    virtual void initDataEditor() {}
    virtual void showDataEditor() {}
    virtual bool genericSave() { return save(); }
    virtual void help() {}

private:
    QMap<int, QAction*> m_actions;
};
