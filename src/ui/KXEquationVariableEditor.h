#pragma once

#include "kxequation_global.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QTreeWidget>

class QAbstractItemModel;
class QLabel;
class QLineEdit;
class QToolButton;
class KXEquationVariableModel;
class KXRibbonBar;

namespace VRN::Kestrix::Wizard {
class WizardInterface;
}

/// The tree of an equation's variables: constants, and dataset variables with their derived
/// constants. It changes no model itself: every edit leaves as a signal.
class KXEQUATIONUI_EXPORT KXEquationVariableEditor : public QTreeWidget
{
    Q_OBJECT
public:
    explicit KXEquationVariableEditor(const KXEquationVariableModel* variableModel);
    ~KXEquationVariableEditor() override;

    void setModel(const KXEquationVariableModel* variableModel);
    void linkToRunningWizard(VRN::Kestrix::Wizard::WizardInterface* wizard);
    /// Adds the "Variables" group with the add and remove buttons to the bar.
    void initVariablesGroup(KXRibbonBar* bar);
    /// Builds the two branches, or refills them from the variable model.
    void updateVariables();
    /// The names of the selected variables, branch titles left out.
    QList<QString> getSelectedItems() const;
    void clear();
    void setReadOnly(bool readOnly);
    /// Tables opened for dropped datasets become children of owner (the controller whose variables
    /// point at them); until one is set, of this tree.
    void setTableOwner(QObject* owner) { m_tableOwner = owner; }

signals:
    void datasetDropped(QAbstractItemModel* dataModel);
    void variableNameChanged(const QString& oldName, const QString& newName);
    void variableValueChanged(const QString& name, const QString& value);
    void selectionChanged(const QList<QString>& names);
    void variableAdded(const QString& name, const QString& value);
    void variableRemovedClicked();

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private slots:
    void slotVariableDoubleClicked(QTreeWidgetItem* item, int column);
    void slotSelectionChanged();
    void slotAddVariableClicked();
    void slotRemoveVariableClicked();

private:
    /// Only a drag whose first object is a stored dataset is welcome.
    bool dragDropTester(QDropEvent* event);
    QTreeWidgetItem* createBranch(const QString& title);

    QToolButton* m_removeButton = nullptr;
    QTreeWidgetItem* m_constantItem = nullptr;
    QTreeWidgetItem* m_datasetItem = nullptr;
    bool m_readOnly = false;
    QObject* m_tableOwner = nullptr;
    const KXEquationVariableModel* m_variableModel;
};

/// Asks for a constant's name and value. Ok closes it only on a name that formulas can read (the
/// name it was given, or a new one that no variable of the model holds) and a number typed in the
/// interface language; otherwise it says why under the fields.
class KXEquationVariableDialog final : public QDialog
{
    Q_OBJECT
public:
    KXEquationVariableDialog();
    ~KXEquationVariableDialog() override;

    QString constantName() const;
    /// The number in the formulas' notation, every digit kept; a text that is none, unchanged.
    QString constantValue() const;
    /// The name the dialog opens with; it stays acceptable as it is.
    void setConstantName(const QString& name);
    void setConstantValue(const QString& value);
    /// The variables whose names a new name must not take; null checks only the name's form.
    void setVariableModel(const KXEquationVariableModel* variableModel) { m_variableModel = variableModel; }
    /// Why Ok is refused, or empty when the fields are acceptable.
    QString problem() const;

public slots:
    void accept() override;

private:
    QLineEdit* m_nameEdit;
    QLineEdit* m_valueEdit;
    QLabel* m_messageLabel;
    QString m_givenName;
    const KXEquationVariableModel* m_variableModel = nullptr;
};
