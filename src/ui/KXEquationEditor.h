#pragma once

#include "kxequation_global.h"

#include "KXEquationDocument.h"
#include "KXEquationLaunch.h"
#include "Wizard.h"

#include <QFont>
#include <QString>

class QBoxLayout;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QTableView;
class KXDataModelGeneric;
class QTimer;
class KXEquationModel;
class KXEquationVariableEditor;
class KXEquationVariableModel;
class KXEquationFormulaEdit;
class KXRibbonBar;

/// The module's wizard page: shows one equation model and reports every edit as a signal; it
/// reads the models and never writes to them.
class KXEQUATIONUI_EXPORT KXEquationEditor : public VRN::Kestrix::Wizard::ChildWizard
{
    Q_OBJECT
public:
    KXEquationEditor(const KXEquationModel* model, const KXEquationVariableModel* variableModel);
    ~KXEquationEditor() override;

    /// Refills every field from the models without reporting the new values; only a header dataset
    /// that is no longer listed is reported, replaced by the one the list shows.
    void updateInterface();
    void initExecutionGroup(KXRibbonBar* bar);
    void initModelGroup(KXRibbonBar* bar);

    void linkToRunningWizard(VRN::Kestrix::Wizard::WizardInterface* wizard) override;
    /// The wizard never moves past this page.
    bool next(VRN::Kestrix::Wizard::WizardItem* page) override;
    int getIdForHelp(VRN::Kestrix::Wizard::WizardItem* page) const override;
    /// Places the variable tree on the page, between the formula and the output options.
    virtual void setVariablesEditor(KXEquationVariableEditor* editor);

    /// Shows a reading failure of the formula: its characters start to start + length underlined,
    /// the caret there and the message under the field, until the formula is edited.
    void showFormulaError(const QString& message, int start, int length);
    /// The same from the reader's failure, with a hint at its cause when the variables tell.
    void showFormulaError(const KXEquationReadError& failure);
    /// Marks a working-range field that failed: the failing characters underlined (all of them when
    /// failure is no reading error), the message under the fields, and with moveCaret the caret there.
    void showRangeError(KXEquationDocument::RangeField field, const QString& message, const KXError& failure,
                        bool moveCaret = true);
    void clearRangeError();
    /// The name of a working-range field as the page shows it: "Lines to" and the like.
    static QString rangeFieldName(KXEquationDocument::RangeField field);
    /// Shows a computation running off the user-interface thread, with its Cancel button, or
    /// hides it; a message, such as a refused launch, is shown in its line.
    void showLaunchProgress(qint64 done, qint64 total, qint64 elapsedMilliseconds);
    void setLaunchRunning(bool running);
    void showLaunchMessage(const QString& message);
    /// Puts the keyboard focus in the formula field, so that typing goes there.
    void focusFormula();
    /// The live preview, for tests and hosts that tune its budget.
    KXEquationPreview* preview() const { return m_preview; }

    static QString quickHelpContent();
    static QString lineEditStyleSheet();

signals:
    void formulaChanged(const QString& formula);
    /// Declared for the host; the page's "Dataset name:" field reports through subdatasetNameChanged.
    void datasetNameChanged(const QString& name);
    void subdatasetNameChanged(const QString& name);
    void rowStartChanged(const QString& text);
    void colStartChanged(const QString& text);
    void rowEndChanged(const QString& text);
    void colEndChanged(const QString& text);
    void launchClicked();
    void saveClicked();
    void loadClicked();
    void stateHHeaderChanged(bool state);
    void stateVHeaderChanged(bool state);
    void dataModelForHeaderChanged(const QString& name);
    void keepHeaderChanged(bool state);
    void rowNameChanged(const QString& formula);
    void colNameChanged(const QString& formula);
    /// The user asked to stop the running computation.
    void cancelClicked();
    /// The seed field holds a new whole number (typed, or drawn by "New seed").
    void seedChanged(quint64 seed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

protected slots:
    /// Turns the change of one field into its one signal.
    virtual void slotValueChanged();

private:
    void initInterface();
    void refillFields();
    QLineEdit* createLineEdit(QWidget* parent, const QString& text);
    /// One item per dataset variable, the model's header dataset current when it is listed.
    void fillHeaderDatasets();
    /// On a wide page the variable tree and the output options sit side by side under the formula.
    void arrangeBoxes(bool sideBySide);
    void requestPreview();
    void showPreviewBlock(const KXEquationPreview::Block& block);
    /// Under the formula field: the message, then a line naming the likely cause when there is one.
    void showFormulaMessage(const QString& message, const KXEquationReadError* failure);

    KXEquationVariableEditor* m_variablesEditor;
    VRN::Kestrix::Wizard::WizardItem* m_page;
    QLineEdit* m_datasetNameEdit;
    QLabel* m_datasetNameLabel;
    QComboBox* m_headerDatasetCombo;
    QCheckBox* m_lineHeadersCheck;
    QCheckBox* m_columnHeadersCheck;
    QGroupBox* m_headerGroup;
    QLabel* m_linesLabel;
    QLabel* m_rowFromLabel;
    QLabel* m_rowToLabel;
    QLineEdit* m_rowStartEdit;
    QLineEdit* m_colStartEdit;
    QLabel* m_columnsLabel;
    QLabel* m_colFromLabel;
    QLabel* m_colToLabel;
    QLineEdit* m_rowEndEdit;
    QLineEdit* m_colEndEdit;
    QLabel* m_formulaLabel;
    KXEquationFormulaEdit* m_formulaEdit;
    QLabel* m_rowNameLabel;
    QLineEdit* m_rowNameEdit;
    QLabel* m_colNameLabel;
    QLineEdit* m_colNameEdit;
    QLineEdit* m_seedEdit;
    const KXEquationModel* m_model;
    QGroupBox* m_formulaGroup;
    QFont m_formulaFont;
    const KXEquationVariableModel* m_variableModel;
    QLabel* m_formulaMessage;
    QLabel* m_rangeMessage;
    QLineEdit* m_markedRangeEdit = nullptr;
    QGroupBox* m_outputGroup = nullptr;
    QGroupBox* m_variablesBox = nullptr;
    QBoxLayout* m_boxRow = nullptr;
    QWidget* m_launchRow;
    QProgressBar* m_launchProgress;
    QPushButton* m_cancelButton;
    QStackedWidget* m_previewStack;
    QTableView* m_previewTable;
    KXDataModelGeneric* m_previewCells;
    QLabel* m_previewMessage;
    QTimer* m_previewTimer;
    KXEquationPreview* m_preview;
};
