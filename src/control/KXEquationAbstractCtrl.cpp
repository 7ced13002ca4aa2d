#include "KXEquationAbstractCtrl.h"

#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationModel.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"
#include "KXMDLDynConfig.h"
#include "TMessageBox.h"
#include "TXMLMethod.h"

#include <QAbstractItemModel>
#include <QDomDocument>

#include <cmath>
#include <limits>
#include <memory>

namespace {
const char DOCUMENT_TYPE[] = "Equation";
const char INPUT_NAME[] = "Input%1";

// What each of the four working-range texts is called in its messages.
struct RangeMessages
{
    const char* errorPrefix;
    const char* errorPrefixFrench;
    const char* notInteger;
    const char* notIntegerFrench;
};

const RangeMessages RANGE_MESSAGES[4] = {
    {"Minimum number of lines is incorrect:", "Le nombre minimum de lignes est incorrect : ",
     "Minimum number of lines is incorrect", "Le nombre minimum de lignes est incorrect"},
    {"Maximum number of lines is incorrect: ", "Le nombre maximum de lignes est incorrect : ",
     "Maximum number of lines is incorrect", "Le nombre maximum de lignes est incorrect"},
    {"Minimum number of columns is incorrect: ", "Le nombre minimum de colonnes est incorrect : ",
     "Minimum number of columns is incorrect", "Le nombre minimum de colonnes est incorrect"},
    {"Maximum number of columns is incorrect: ", "Le nombre maximum de colonnes est incorrect : ",
     "Maximum number of columns is incorrect", "Le nombre maximum de colonnes est incorrect"},
};

// A range bound as an int: doubles are rounded, and those beyond the int range are refused.
bool toRangeNumber(const QVariant& value, int& number)
{
    const int type = value.userType();
    if (type == QMetaType::Double || type == QMetaType::Float) {
        const double real = value.toDouble();
        if (!std::isfinite(real) || real <= double(std::numeric_limits<int>::min()) - 0.5
            || real >= double(std::numeric_limits<int>::max()) + 0.5)
            return false;
    }
    bool ok = false;
    number = value.toInt(&ok);
    return ok;
}
}

KXEquationAbstractCtrl::KXEquationAbstractCtrl()
    : m_variableModel(new KXEquationVariableModel), m_equationModel(nullptr)
{
}

KXEquationAbstractCtrl::KXEquationAbstractCtrl(KXEquationAbstractModel* equationModel,
                                               KXEquationVariableModel* variableModel)
    : m_variableModel(variableModel), m_equationModel(equationModel)
{
}

KXEquationAbstractCtrl::~KXEquationAbstractCtrl()
{
    delete m_equationModel;
    delete m_variableModel;
}

void KXEquationAbstractCtrl::addVariable(QAbstractItemModel* dataModel, const QString& alias, bool setRange)
{
    int number = getVariableModelList().size() + 1;
    while (variableModelExist(QString::fromLatin1(INPUT_NAME).arg(number)))
        ++number;
    const QString name = QString::fromLatin1(INPUT_NAME).arg(number);
    m_variableModel->addVariable(name, dataModel, alias);
    if (setRange && m_equationModel && m_equationModel->rowEnd().isEmpty() && m_equationModel->colEnd().isEmpty()) {
        m_equationModel->setRowEnd(QStringLiteral("NR_%1").arg(name));
        m_equationModel->setColEnd(QStringLiteral("NC_%1").arg(name));
    }
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
    QDomDocument document{QString::fromLatin1(DOCUMENT_TYPE)};
    QDomElement root = document.createElement(QLatin1String(DOCUMENT_TYPE));
    document.appendChild(root);
    if (m_equationModel)
        m_equationModel->encode(root);
    if (m_variableModel)
        m_variableModel->encode(root);
    return TXMLMethod::save(&document, path, true, true);
}

bool KXEquationAbstractCtrl::loadModel(const QString& path)
{
    QDomDocument document{QString::fromLatin1(DOCUMENT_TYPE)};
    if (!TXMLMethod::load(&document, path, true, true))
        return false;
    QDomElement root = document.documentElement();
    if (!m_equationModel || !m_equationModel->decode(root))
        return false;
    if (!m_variableModel || !m_variableModel->decode(root))
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
    delete m_variableModel;
    m_variableModel = new KXEquationVariableModel;
    m_variableModel->setAliasEnabled(true);
}

void KXEquationAbstractCtrl::setVariableModel(KXEquationVariableModel* variableModel)
{
    m_variableModel = variableModel;
}

void KXEquationAbstractCtrl::setEquationModel(KXEquationAbstractModel* equationModel)
{
    m_equationModel = equationModel;
}

void KXEquationAbstractCtrl::fillWithDynamicProperties(KXMDLDynConfig* configuration)
{
    if (!m_variableModel || !configuration)
        return;
    const QList<QByteArray> names = configuration->dynamicPropertyNames();
    for (const QByteArray& name : names) {
        const QVariant value = configuration->property(name.constData());
        bool isNumber = false;
        const double number = value.toDouble(&isNumber);
        if (isNumber)
            m_variableModel->addVariable(QString::fromUtf8(name), number);
        else if (auto* table = qvariant_cast<KXDataModel*>(value))
            m_variableModel->addVariable(QString::fromUtf8(name), table, QString());
    }
}

void KXEquationAbstractCtrl::removeDynamicProperties(KXMDLDynConfig* configuration)
{
    if (!m_variableModel || !configuration)
        return;
    const QList<QByteArray> names = configuration->dynamicPropertyNames();
    for (const QByteArray& name : names) {
        const QVariant value = configuration->property(name.constData());
        bool isNumber = false;
        value.toDouble(&isNumber);
        if (isNumber || qvariant_cast<KXDataModel*>(value))
            m_variableModel->removeVariable(QString::fromUtf8(name));
    }
}

void KXEquationAbstractCtrl::getInterval(int& rowStart, int& rowEnd, int& colStart, int& colEnd)
{
    KXEquationInterpreter interpreter(m_variableModel);
    const KXEquationAbstractModel* model = m_equationModel;
    const QString texts[4] = {model ? model->rowStart() : QString(), model ? model->rowEnd() : QString(),
                              model ? model->colStart() : QString(), model ? model->colEnd() : QString()};
    // Owned here, so that a text that fails to read or evaluate releases the trees made before it.
    std::unique_ptr<KXEquationCommand> trees[4];
    for (int bound = 0; bound < 4; ++bound)
        trees[bound].reset(interpreter.interpret(texts[bound]));

    int* outputs[4] = {&rowStart, &rowEnd, &colStart, &colEnd};
    for (int bound = 0; bound < 4; ++bound) {
        const RangeMessages& messages = RANGE_MESSAGES[bound];
        const QVariant value = trees[bound]->evaluate();
        QString error;
        if (KXEquationCommand::getError(value, error))
            throw KXError(tr(messages.errorPrefix, messages.errorPrefixFrench) + error, QString(), QString());
        if (!toRangeNumber(value, *outputs[bound]))
            throw KXError(tr(messages.notInteger, messages.notIntegerFrench), QString(), QString());
    }
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
