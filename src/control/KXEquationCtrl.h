#pragma once

#include "KXEquationAbstractCtrl.h"
#include "KXEquationComputation.h"
#include "KXEquationDocument.h"
#include "KXModuleCtrl.h"

#include <QList>
#include <QVariant>

#include <memory>

class QAbstractItemModel;
class KXDataModelGeneric;
class KXEquationEditor;
class KXEquationModel;
class KXEquationLaunch;
class KXEquationReadError;
class QTimer;
class KXRibbonBar;
class KXRibbonEquation;

namespace VRN::Kestrix::Wizard {
class RibbonWizard;
}

/// The object the host creates for one running equation module: owns the models, computes the
/// output table and answers the user's commands.
class KXEQUATIONUI_EXPORT KXEquationCtrl : public KXEquationAbstractCtrl, public KXModuleCtrl
{
    Q_OBJECT
public:
    KXEquationCtrl();
    /// Unregisters and deletes the bar, and with it the page and the variable tree.
    ~KXEquationCtrl() override;

    /// Builds the module's bar, variable tree and page, wires them and registers the bar with the
    /// host's ribbon; the argument is not used (the module makes its own bar). Always true.
    bool initView(VRN::Kestrix::Wizard::RibbonWizard* wizard);
    /// Brings the module's bar to the front of the host's ribbon.
    void activeRibbon();
    /// Makes a host table the module's input: the dataset variable Input1 and the output's name.
    void setCurrentDataModel(QAbstractItemModel* dataModel);
    KXEquationModel* model() const;
    /// The module's bar, by which the host knows that its page is in front.
    KXRibbonBar* ribbonBar() const;
    void updateInterface() override;

    /// Whether the equation or its variables changed since the module started on its table, or
    /// since the last save or load.
    bool isModified() const;
    /// Before the module closes: asks Save, Discard or Cancel when the equation is modified; true
    /// when closing may go on (saved, discarded or nothing to save).
    bool confirmClose();
    /// Asks for a file and writes the equation there; false when cancelled or failed (the failure
    /// is then reported in the log and on the page).
    bool saveEquation();
    /// Asks for a file and adds its equation; false when cancelled or failed (reported likewise).
    /// The datasets that the file names are read first, on a worker where the host reads so: true
    /// then means under way, and the page changes once they are read (not at all when cancelled).
    bool loadEquation();
    /// Puts the keyboard focus in the page's formula field.
    void focusFormula();

    /// The whole computation; the caller owns the table. Null when it failed (the failure has
    /// then been reported).
    KXDataModelGeneric* compute();
    /// Where the last compute() could not read the formula or a name formula; null when it could.
    const KXEquationReadError* readingFailure() const { return m_readingFailure.get(); }
    /// The same on a chosen engine; null too when *cancel became true (nothing reported as error).
    KXDataModelGeneric* compute(KXEquationComputation::Engine engine, const std::atomic<bool>* cancel = nullptr);

protected slots:
    void slotCompute();
    /// Closes the module once the host's workspace agrees; the controller is then deleted.
    void slotClose();
    /// Writes or reads an equation file chosen in a file dialog.
    void slotSave();
    void slotLoad();
    void updateModelFormula(const QString& formula);
    void updateModelDatasetName(const QString& name);
    void updateModelSubdatasetName(const QString& name);
    void updateModelHHeader(bool state);
    void updateModelVHeader(bool state);
    void updateModelHeader(bool state);
    void updateModelRowName(const QString& name);
    void updateModelColName(const QString& name);
    void updateModelSeed(quint64 seed);
    void updateModelDataModelForName(const QString& name);

private:
    void reportReadingFailure(const KXEquationReadError& failure);
    /// A working-range text that failed, named by its field: marked on the page and logged once.
    void reportRangeFailure(KXEquationDocument::RangeField field, const KXError& failure);
    /// Hands a computed table to the host's data editor, which owns it from then on.
    void handOver(KXDataModelGeneric* table);
    void finishLaunch();
    /// The equation as its file would hold it, to tell whether it changed.
    QString equationText() const;
    void markUnmodified();
    /// Reports the last file failure in the log and on the page.
    void reportFileFailure();
    /// The end of loadEquation once the file's datasets are read (see KXReadAheadTables).
    bool loadRead(const QString& path, bool cancelled);

    KXEquationEditor* m_editor = nullptr;
    KXRibbonEquation* m_ribbon = nullptr;
    std::shared_ptr<const KXEquationReadError> m_readingFailure;
    /// The computation that the page's Launch runs off the user-interface thread; null when none runs.
    KXEquationLaunch* m_launch = nullptr;
    QTimer* m_launchTimer = nullptr;
    QString m_unmodifiedText;
};
