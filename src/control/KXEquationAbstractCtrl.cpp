#include "KXEquationAbstractCtrl.h"

#include "KXDataModel.h"
#include "KXEquationDocument.h"
#include "KXEquationModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXMDLDynConfig.h"
#include "TMessageBox.h"

#include <QAbstractItemModel>

KXEquationAbstractCtrl::KXEquationAbstractCtrl() : m_variableModel(std::make_unique<KXEquationVariableModel>())
{
}

KXEquationAbstractCtrl::KXEquationAbstractCtrl(KXEquationAbstractModel* equationModel,
                                               KXEquationVariableModel* variableModel)
    : m_variableModel(variableModel), m_equationModel(equationModel)
{
}

// The models go first; the tables their variables point at are children, deleted by ~QObject.
KXEquationAbstractCtrl::~KXEquationAbstractCtrl()
{
    m_equationModel.reset();
    m_variableModel.reset();
}

void KXEquationAbstractCtrl::addVariable(QAbstractItemModel* dataModel, const QString& alias, bool setRange)
{
    KXEquationDocument::addDataset(m_equationModel.get(), m_variableModel.get(), dataModel, alias, setRange,
                                   [this](const QString& name) { return variableModelExist(name); });
    updateInterface();
}

void KXEquationAbstractCtrl::addVariable(const QString& name, double value)
{
    m_variableModel->addVariable(name, value);
    updateInterface();
}

bool KXEquationAbstractCtrl::removeVariable(QAbstractItemModel* dataModel)
{
    if (!m_variableModel->removeVariable(dataModel))
        return false;
    updateInterface();
    return true;
}

bool KXEquationAbstractCtrl::removeVariable(const QString& name)
{
    if (!m_variableModel->removeVariable(name))
        return false;
    updateInterface();
    return true;
}

bool KXEquationAbstractCtrl::saveModel(const QString& path)
{
    m_fileError.clear();
    return KXEquationDocument::save(m_equationModel.get(), m_variableModel.get(), path, &m_fileError,
                                    &m_fileStatus);
}

bool KXEquationAbstractCtrl::loadModel(const QString& path)
{
    m_fileError.clear();
    if (!KXEquationDocument::load(m_equationModel.get(), m_variableModel.get(), path, this, &m_fileError,
                                  &m_fileStatus))
        return false;
    updateInterface();
    return true;
}

bool KXEquationAbstractCtrl::variableModelExist(const QString& name)
{
    return m_variableModel->variableModelExist(name);
}

QMap<QString, QString> KXEquationAbstractCtrl::getVariableModelList() const
{
    return m_variableModel->getVariableModelList();
}

void KXEquationAbstractCtrl::resetVariableModel()
{
    m_variableModel = std::make_unique<KXEquationVariableModel>();
    m_variableModel->setAliasEnabled(true);
}

void KXEquationAbstractCtrl::setVariableModel(KXEquationVariableModel* variableModel)
{
    // Given up, not deleted: the caller may still use the previous model.
    (void)m_variableModel.release();
    m_variableModel.reset(variableModel);
}

void KXEquationAbstractCtrl::setEquationModel(KXEquationAbstractModel* equationModel)
{
    (void)m_equationModel.release();
    m_equationModel.reset(equationModel);
}

namespace {
// Each dynamic property that names a variable, in order: a number (table null) or a table.
template <class Visit>
void forEachVariableProperty(const KXMDLDynConfig& configuration, Visit visit)
{
    const QList<QByteArray> names = configuration.dynamicPropertyNames();
    for (const QByteArray& name : names) {
        const QVariant value = configuration.property(name.constData());
        bool isNumber = false;
        const double number = value.toDouble(&isNumber);
        if (isNumber)
            visit(QString::fromUtf8(name), number, nullptr);
        else if (auto* table = qvariant_cast<KXDataModel*>(value))
            visit(QString::fromUtf8(name), 0.0, table);
    }
}
}

void KXEquationAbstractCtrl::fillWithDynamicProperties(KXMDLDynConfig* configuration)
{
    if (!m_variableModel || !configuration)
        return;
    forEachVariableProperty(*configuration, [this](const QString& name, double number, KXDataModel* table) {
        if (table)
            m_variableModel->addVariable(name, table, QString());
        else
            m_variableModel->addVariable(name, number);
    });
}

void KXEquationAbstractCtrl::removeDynamicProperties(KXMDLDynConfig* configuration)
{
    if (!m_variableModel || !configuration)
        return;
    forEachVariableProperty(*configuration, [this](const QString& name, double, KXDataModel*) {
        m_variableModel->removeVariable(name);
    });
}

void KXEquationAbstractCtrl::getInterval(int& rowStart, int& rowEnd, int& colStart, int& colEnd)
{
    KXEquationDocument::evaluateRange(m_equationModel.get(), m_variableModel.get(), rowStart, rowEnd, colStart, colEnd);
}

void KXEquationAbstractCtrl::slotUpdateModelRowStart(const QString& text)
{
    if (m_equationModel)
        m_equationModel->setRowStart(text);
}

void KXEquationAbstractCtrl::slotUpdateModelRowEnd(const QString& text)
{
    if (m_equationModel)
        m_equationModel->setRowEnd(text);
}

void KXEquationAbstractCtrl::slotUpdateModelColStart(const QString& text)
{
    if (m_equationModel)
        m_equationModel->setColStart(text);
}

void KXEquationAbstractCtrl::slotUpdateModelColEnd(const QString& text)
{
    if (m_equationModel)
        m_equationModel->setColEnd(text);
}

void KXEquationAbstractCtrl::updateModelVariableName(const QString& oldName, const QString& newName)
{
    m_variableModel->updateVariableName(oldName, newName);
    updateInterface();
}

void KXEquationAbstractCtrl::updateModelVariableValue(const QString& name, const QString& value)
{
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (isNumber)
        m_variableModel->updateVariableValue(name, number);
    updateInterface();
}

void KXEquationAbstractCtrl::slotVariableAdded(const QString& name, const QString& value)
{
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (isNumber && !name.isEmpty())
        addVariable(name, number);
}

bool KXEquationAbstractCtrl::slotVariableRemoved()
{
    if (!m_variableEditor)
        return false;
    const QList<QString> selected = m_variableEditor->getSelectedItems();
    if (selected.isEmpty())
        return false;
    const int answer = TMessageBox::questionOKCancel(
        tr("Delete a variable", "Supprimer une variable"),
        tr("You are about to delete selected variables. Do you want to proceed?",
           "Vous êtes sur le point de supprimer les variables sélectionnées. Voulez-vous continuer ?"),
        QString());
    if (answer != TMessageBox::OK)
        return false;
    for (const QString& name : selected) {
        if (!name.isEmpty())
            removeVariable(name);
    }
    return false;
}

void KXEquationAbstractCtrl::slotDatasetDropped(QAbstractItemModel* dataModel)
{
    addVariable(dataModel, QString(), true);
}
