#include "KXEquationVariableEditor.h"

#include "ApplicationInterface.h"
#include "KXDataModel.h"
#include "KXDatasetReader.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXNumberFormat.h"
#include "KXObject2.h"
#include "KXRibbon.h"
#include "TPixmapCache.h"

#include <QCoreApplication>
#include <QDoubleValidator>
#include <QDropEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QPointer>
#include <QPushButton>
#include <QToolButton>

#include <memory>

namespace {
const int NAME_COLUMN = 0;
const int VALUE_COLUMN = 1;
const int NAME_COLUMN_WIDTH = 140;
const Qt::ItemFlags VARIABLE_FLAGS = Qt::ItemIsSelectable | Qt::ItemIsEnabled;

QBrush branchBrush()
{
    QLinearGradient gradient(0, 0, 1, 1);
    gradient.setColorAt(0, QColor(231, 239, 253, 255));
    gradient.setColorAt(1, QColor(203, 218, 241, 255));
    return QBrush(gradient);
}

QTreeWidgetItem* createVariableItem(QTreeWidgetItem* parent, const char* iconKey, const QString& name,
                                    const QString& value)
{
    auto* item = new QTreeWidgetItem(parent);
    item->setFlags(VARIABLE_FLAGS);
    item->setIcon(NAME_COLUMN, QIcon(TPixmapCache::find(QLatin1String(iconKey))));
    item->setText(NAME_COLUMN, name);
    item->setText(VALUE_COLUMN, value);
    return item;
}

void deleteChildren(QTreeWidgetItem* item)
{
    qDeleteAll(item->takeChildren());
}

/// Lets any text be typed, so that Ok can say what is wrong with it; only a number read strictly
/// in the interface language (or the formulas' notation) is acceptable.
class TypedNumberValidator final : public QDoubleValidator
{
public:
    explicit TypedNumberValidator(QObject* parent) : QDoubleValidator(parent) {}
    State validate(QString& input, int&) const override
    {
        return KXNumberFormat::readNumber(input, KXNumberFormat::interfaceLocale(), nullptr) ? Acceptable
                                                                                             : Intermediate;
    }
};

// Messages
QString nameProblemMessage(const QString& reason)
{
    return KXEquationVariableDialog::tr("Constant name: %1.", "Nom de la constante : %1.").arg(reason);
}
QString noValueMessage()
{
    return KXEquationVariableDialog::tr("Constant value: type a number, such as 1234.5 or -2.5e-3.",
                                        "Valeur de la constante : saisissez un nombre, comme 1234,5 ou -2,5e-3.");
}
QString badValueMessage(const QString& text)
{
    return KXEquationVariableDialog::tr(
               "Constant value: %1 is not a number; type it like 1234.5 or -2.5e-3, without group separators.",
               "Valeur de la constante : %1 n'est pas un nombre ; saisissez-le comme 1234,5 (ou 1234.5) ou "
               "-2,5e-3, sans séparateur de milliers.")
        .arg(text);
}

/// The stored objects of a drag, deleted with the list.
struct DecodedObjects
{
    explicit DecodedObjects(const QMimeData* data) : objects(KXObject2Decoder::decodeObject(data)) {}
    ~DecodedObjects() { qDeleteAll(objects); }
    DecodedObjects(const DecodedObjects&) = delete;
    DecodedObjects& operator=(const DecodedObjects&) = delete;

    QList<KXObject2*> objects;
};
}

KXEquationVariableEditor::KXEquationVariableEditor(const KXEquationVariableModel* variableModel)
    : QTreeWidget(nullptr), m_variableModel(variableModel)
{
    setColumnCount(2);
    setHeaderLabels({tr("Name", "Nom"), tr("Value", "Valeur")});
    setColumnWidth(NAME_COLUMN, NAME_COLUMN_WIDTH);
    setAcceptDrops(true);
    setRootIsDecorated(false);
    connect(this, &QTreeWidget::itemDoubleClicked, this, &KXEquationVariableEditor::slotVariableDoubleClicked);
    connect(this, &QTreeWidget::itemSelectionChanged, this, &KXEquationVariableEditor::slotSelectionChanged);
    updateVariables();
}

KXEquationVariableEditor::~KXEquationVariableEditor() = default;

void KXEquationVariableEditor::setModel(const KXEquationVariableModel* variableModel)
{
    m_variableModel = variableModel;
    updateVariables();
}

void KXEquationVariableEditor::linkToRunningWizard(VRN::Kestrix::Wizard::WizardInterface*)
{
}

void KXEquationVariableEditor::initVariablesGroup(KXRibbonBar* bar)
{
    auto* group = new KXRibbonGroup(tr("Variables", "Variables"), nullptr);
    QToolButton* addButton = group->addButton(tr("Add a constant", "Ajouter une constante"),
                                              QIcon(TPixmapCache::find(QStringLiteral("add"))), 0);
    connect(addButton, &QToolButton::clicked, this, &KXEquationVariableEditor::slotAddVariableClicked);
    m_removeButton = group->addButton(tr("Delete a variable", "Supprimer une variable"),
                                      QIcon(TPixmapCache::find(QStringLiteral("delete"))), 0);
    connect(m_removeButton, &QToolButton::clicked, this, &KXEquationVariableEditor::slotRemoveVariableClicked);
    // The keys of a list: they act on the tree while it has the focus.
    KXRibbonGroup::setShortcut(addButton, QKeySequence(Qt::Key_Insert), this);
    KXRibbonGroup::setShortcut(m_removeButton, QKeySequence(QKeySequence::Delete), this);
    m_removeButton->setEnabled(false);
    bar->addGroup(group);
}

QTreeWidgetItem* KXEquationVariableEditor::createBranch(const QString& title)
{
    const QBrush brush = branchBrush();
    auto* item = new QTreeWidgetItem(this);
    item->setFlags(Qt::ItemIsEnabled);
    item->setText(NAME_COLUMN, title);
    item->setBackground(NAME_COLUMN, brush);
    item->setBackground(VALUE_COLUMN, brush);
    item->setExpanded(true);
    // A branch title uses the whole row, so that a long one is not cut at the name column.
    item->setFirstColumnSpanned(true);
    return item;
}

void KXEquationVariableEditor::updateVariables()
{
    if (!m_variableModel)
        return;
    // The tree may have been emptied through QTreeWidget::clear, which knows nothing of the branches.
    if (m_constantItem && indexOfTopLevelItem(m_constantItem) < 0)
        m_constantItem = nullptr;
    if (m_datasetItem && indexOfTopLevelItem(m_datasetItem) < 0)
        m_datasetItem = nullptr;

    if (!m_constantItem)
        m_constantItem = createBranch(tr("Constant", "Constante"));
    deleteChildren(m_constantItem);
    const QMap<QString, QString> constants = m_variableModel->getVariableConstantList();
    for (auto it = constants.constBegin(); it != constants.constEnd(); ++it)
        createVariableItem(m_constantItem, "constant_16", it.key(), it.value());

    if (!m_datasetItem)
        m_datasetItem = createBranch(tr("Data matrix", "Tableaux de données"));
    deleteChildren(m_datasetItem);
    const QMap<QString, QString> datasets = m_variableModel->getVariableModelList();
    for (auto it = datasets.constBegin(); it != datasets.constEnd(); ++it) {
        QTreeWidgetItem* dataset = createVariableItem(m_datasetItem, "dataset", it.key(), it.value());
        dataset->setExpanded(true);
        const QMap<QString, QString> related = m_variableModel->getVariableModelRelatedList(it.key());
        for (auto constant = related.constBegin(); constant != related.constEnd(); ++constant) {
            // -1 stands for the size of a variable without table: shown as no value.
            const QString value = constant.value() == QLatin1String("-1") ? QString() : constant.value();
            createVariableItem(dataset, "constant_16", constant.key(), value);
        }
    }
}

QList<QString> KXEquationVariableEditor::getSelectedItems() const
{
    QList<QString> names;
    const QList<QTreeWidgetItem*> selected = selectedItems();
    for (const QTreeWidgetItem* item : selected) {
        if (item->parent())
            names.append(item->text(NAME_COLUMN));
    }
    return names;
}

void KXEquationVariableEditor::clear()
{
    QTreeWidget::clear();
    m_constantItem = nullptr;
    m_datasetItem = nullptr;
}

void KXEquationVariableEditor::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
}

void KXEquationVariableEditor::dragEnterEvent(QDragEnterEvent* event)
{
    if (dragDropTester(event))
        event->acceptProposedAction();
}

void KXEquationVariableEditor::dragMoveEvent(QDragMoveEvent* event)
{
    if (dragDropTester(event))
        event->acceptProposedAction();
}

void KXEquationVariableEditor::dropEvent(QDropEvent* event)
{
    {
        const DecodedObjects decoded(event->mimeData());
        if (decoded.objects.isEmpty())
            return;
        QList<const KXObject2Dataset*> datasets;
        for (const KXObject2* object : decoded.objects) {
            if (object->type() == KXObject2::Dataset)
                datasets.append(static_cast<const KXObject2Dataset*>(object));
        }
        // Read off the interface thread where the host can: the tables arrive later, or not at
        // all when the user cancels. Each is emitted whether or not it could be read, as the drop
        // asked for it.
        QPointer<KXEquationVariableEditor> self(this);
        KXDatasetReader::returnMe()->read(datasets, m_tableOwner ? m_tableOwner : this,
                                          [self](const QList<KXDataModelDataset*>& tables, bool) {
                                              for (KXDataModelDataset* table : tables) {
                                                  if (self)
                                                      emit self->datasetDropped(table);
                                              }
                                          });
    }
    QTreeWidget::dropEvent(event);
}

bool KXEquationVariableEditor::dragDropTester(QDropEvent* event)
{
    const DecodedObjects decoded(event->mimeData());
    if (!decoded.objects.isEmpty() && dynamic_cast<const KXObject2Dataset*>(decoded.objects.first()))
        return true;
    event->setAccepted(false);
    return false;
}

void KXEquationVariableEditor::slotVariableDoubleClicked(QTreeWidgetItem* item, int)
{
    if (m_readOnly || !item || item->childCount() > 0 || !item->parent())
        return;
    KXEquationVariableDialog dialog;
    dialog.setWindowTitle(tr("Modify constant", "Modifier une constante"));
    dialog.setVariableModel(m_variableModel);
    dialog.setConstantName(item->text(NAME_COLUMN));
    // The tree shows six digits; the dialog edits the value itself.
    const QString exactValue = m_variableModel ? m_variableModel->getVariableConstantExactList().value(
                                                     item->text(NAME_COLUMN), item->text(VALUE_COLUMN))
                                               : item->text(VALUE_COLUMN);
    dialog.setConstantValue(exactValue);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString oldName = item->text(NAME_COLUMN);
    const QString name = dialog.constantName();
    if (oldName != name)
        emit variableNameChanged(oldName, name);
    emit variableValueChanged(name, dialog.constantValue());
}

void KXEquationVariableEditor::slotSelectionChanged()
{
    if (m_removeButton)
        m_removeButton->setEnabled(!getSelectedItems().isEmpty());
}

void KXEquationVariableEditor::slotAddVariableClicked()
{
    KXEquationVariableDialog dialog;
    dialog.setVariableModel(m_variableModel);
    if (dialog.exec() == QDialog::Accepted)
        emit variableAdded(dialog.constantName(), dialog.constantValue());
}

void KXEquationVariableEditor::slotRemoveVariableClicked()
{
    emit variableRemovedClicked();
}

KXEquationVariableDialog::KXEquationVariableDialog()
    : QDialog(ApplicationInterface::returnMe()->mainWidget(), Qt::WindowSystemMenuHint),
      m_nameEdit(new QLineEdit(this)),
      m_valueEdit(new QLineEdit(this)),
      m_messageLabel(new QLabel(this))
{
    setWindowTitle(tr("Add a constant", "Ajouter une constante"));
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_valueEdit->setObjectName(QStringLiteral("valueEdit"));
    // Numbers are typed in the interface language's notation (0,2 in French).
    m_valueEdit->setValidator(new TypedNumberValidator(m_valueEdit));
    m_messageLabel->setObjectName(QStringLiteral("messageLabel"));
    m_messageLabel->setWordWrap(true);
    m_messageLabel->setStyleSheet(QStringLiteral("color: #b00020"));
    m_messageLabel->hide();

    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(tr("Constant name", "Nom de la constante"), this), 0, 0);
    layout->addWidget(m_nameEdit, 0, 1);
    layout->addWidget(new QLabel(tr("Constant value", "Valeur de la constante"), this), 1, 0);
    layout->addWidget(m_valueEdit, 1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* okButton = new QPushButton(QStringLiteral("Ok"), this);
    connect(okButton, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(okButton);
    auto* cancelButton = new QPushButton(tr("Cancel", "Annuler"), this);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    buttons->addWidget(cancelButton);
    layout->addWidget(m_messageLabel, 2, 0, 1, 2);
    layout->addLayout(buttons, 3, 1);
}

KXEquationVariableDialog::~KXEquationVariableDialog() = default;

QString KXEquationVariableDialog::constantName() const
{
    return m_nameEdit->text();
}

QString KXEquationVariableDialog::constantValue() const
{
    // The controller reads the formulas' notation; any other text is given unchanged.
    const QString text = m_valueEdit->text();
    double number = 0.0;
    if (!KXNumberFormat::readNumber(text, KXNumberFormat::interfaceLocale(), &number))
        return text;
    return KXNumberFormat::numberText(number, QLocale::c(), KXNumberFormat::Precision::Full);
}

void KXEquationVariableDialog::setConstantName(const QString& name)
{
    m_givenName = name;
    m_nameEdit->setText(name);
}

QString KXEquationVariableDialog::problem() const
{
    const QString name = m_nameEdit->text();
    if (name != m_givenName || name.isEmpty()) {
        const KXEquationVariableModel noVariables;
        const QString reason =
            KXEquationInterpreter::constantNameProblem(name, m_variableModel ? *m_variableModel : noVariables);
        if (!reason.isEmpty())
            return nameProblemMessage(reason);
    }
    const QString value = m_valueEdit->text().trimmed();
    if (value.isEmpty())
        return noValueMessage();
    if (!KXNumberFormat::readNumber(value, KXNumberFormat::interfaceLocale(), nullptr))
        return badValueMessage(value);
    return QString();
}

void KXEquationVariableDialog::accept()
{
    const QString message = problem();
    if (message.isEmpty()) {
        QDialog::accept();
        return;
    }
    m_messageLabel->setText(message);
    m_messageLabel->show();
}

void KXEquationVariableDialog::setConstantValue(const QString& value)
{
    // Shown in the interface language's notation, so that it can be edited as typed.
    const QLocale locale = KXNumberFormat::interfaceLocale();
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (isNumber && locale.decimalPoint() != QLatin1Char('.'))
        m_valueEdit->setText(KXNumberFormat::numberText(number, locale, KXNumberFormat::Precision::Full));
    else
        m_valueEdit->setText(value);
}
