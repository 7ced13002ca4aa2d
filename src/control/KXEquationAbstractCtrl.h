#pragma once

#include "KXFileStatus.h"
#include "kxequation_global.h"

#include <QMap>
#include <QObject>
#include <QString>

#include <memory>

class QAbstractItemModel;
class KXEquationAbstractModel;
class KXEquationVariableEditor;
class KXEquationVariableModel;
class KXMDLDynConfig;

/// Base of the module controller: owns the equation's two models and changes them for the views;
/// every change of variables ends with updateInterface(). As a QObject it also owns, as children,
/// the tables opened for its dataset variables; they are deleted after the variable model.
class KXEQUATIONUI_EXPORT KXEquationAbstractCtrl : public QObject
{
    Q_OBJECT
public:
    KXEquationAbstractCtrl();
    /// Takes ownership of both models.
    KXEquationAbstractCtrl(KXEquationAbstractModel* equationModel, KXEquationVariableModel* variableModel);
    ~KXEquationAbstractCtrl() override;

    /// A dataset variable under the first free name "Input%1"; with setRange, the first table also
    /// ends the working range when its end texts are empty.
    virtual void addVariable(QAbstractItemModel* dataModel, const QString& alias, bool setRange);
    virtual void addVariable(const QString& name, double value);
    virtual bool removeVariable(QAbstractItemModel* dataModel);
    virtual bool removeVariable(const QString& name);
    /// Writes the equation file; a failed save leaves a previous file untouched.
    virtual bool saveModel(const QString& path);
    /// Adds the file's settings and variables to the current ones; false when the file is unusable.
    virtual bool loadModel(const QString& path);
    /// Why the last saveModel or loadModel failed: the file and the reason; empty after a success.
    QString fileError() const { return m_fileError; }
    KXFileStatus fileStatus() const { return m_fileStatus; }
    virtual bool variableModelExist(const QString& name);
    /// Refreshes the views after a change of variables.
    virtual void updateInterface() = 0;

    QMap<QString, QString> getVariableModelList() const;
    /// A fresh variable model, with alias mode on, replaces (and deletes) the current one.
    void resetVariableModel();
    /// Take ownership of the new model. The previous one is given up, neither deleted nor touched:
    /// whoever kept a pointer to it keeps it alive or deletes it.
    void setVariableModel(KXEquationVariableModel* variableModel);
    void setEquationModel(KXEquationAbstractModel* equationModel);
    /// The owned models; null only for an equation model never set.
    KXEquationVariableModel* variableModel() const { return m_variableModel.get(); }
    KXEquationAbstractModel* equationModel() const { return m_equationModel.get(); }

    /// Numbers and tables among the configuration's dynamic properties become variables.
    void fillWithDynamicProperties(KXMDLDynConfig* configuration);
    void removeDynamicProperties(KXMDLDynConfig* configuration);

public slots:
    virtual void slotUpdateModelRowStart(const QString& text);
    virtual void slotUpdateModelRowEnd(const QString& text);
    virtual void slotUpdateModelColStart(const QString& text);
    virtual void slotUpdateModelColEnd(const QString& text);
    virtual void updateModelVariableName(const QString& oldName, const QString& newName);
    virtual void updateModelVariableValue(const QString& name, const QString& value);
    virtual void slotVariableAdded(const QString& name, const QString& value);
    /// Removes the variables selected in the tree once the user confirms; always false.
    virtual bool slotVariableRemoved();
    virtual void slotDatasetDropped(QAbstractItemModel* dataModel);

protected:
    /// Evaluates the four working-range texts; throws KXError when one cannot be read or is no integer.
    void getInterval(int& rowStart, int& rowEnd, int& colStart, int& colEnd);

    std::unique_ptr<KXEquationVariableModel> m_variableModel;
    KXEquationVariableEditor* m_variableEditor = nullptr; // not owned
    std::unique_ptr<KXEquationAbstractModel> m_equationModel;

private:
    QString m_fileError;
    KXFileStatus m_fileStatus = KXFileStatus::Ok;
};
