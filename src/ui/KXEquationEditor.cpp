#include "KXEquationEditor.h"

#include "KXDataDisplayModel.h"
#include "KXDataModel.h"
#include "KXEquationReadHint.h"
#include "KXNumberFormat.h"

#include "KXEquationFormulaEdit.h"
#include "KXEquationInterpreter.h"
#include "KXEquationLaunch.h"
#include "KXEquationModel.h"
#include "KXEquationQuickHelp.h"
#include "KXEquationVariableEditor.h"
#include "KXEquationVariableModel.h"
#include "KXRibbon.h"
#include "TPixmapCache.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QTextCharFormat>
#include <QLocale>
#include <QProgressBar>
#include <QRegExpValidator>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableView>
#include <QTimer>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QToolButton>

using VRN::Kestrix::Wizard::RibbonWizard;
using VRN::Kestrix::Wizard::WizardInterface;
using VRN::Kestrix::Wizard::WizardItem;

namespace {
const char PAGE_TITLE[] = "Equation";
const int HELP_ID = 86;
const int WORKFLOW_HELP_ID = 105;
const QSize HELP_WINDOW_SIZE(700, 750);
const int OUTPUT_MINIMUM_WIDTH = 100;
const int VARIABLES_MINIMUM_WIDTH = 225;
const QSize VARIABLES_SIZE(255, 80);
// The preview waits for a pause in typing this long.
const int PREVIEW_DELAY = 300;
// From this width on, the page puts the variable tree and the output options side by side.
const int WIDE_PAGE_WIDTH = 860;

QSpacerItem* createSpacer()
{
    return new QSpacerItem(10, 10, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

// The ends of the range show a dataset's size constants, their usual text, whole in either language.
void fitRangeField(QLineEdit* edit)
{
    const QFontMetrics metrics = edit->fontMetrics();
    int text = 0;
    for (const char* sample : {"NR_Input1", "NC_Input1"})
        text = qMax(text, metrics.horizontalAdvance(QLatin1String(sample)));
    // The field's text margins, its frame and room for the caret around the text.
    const QMargins margins = edit->textMargins() + edit->contentsMargins();
    const int inside = text + margins.left() + margins.right() + 4 + metrics.horizontalAdvance(QLatin1Char(' '));
    QStyleOptionFrame option;
    option.initFrom(edit);
    option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
    edit->setMinimumWidth(
        edit->style()->sizeFromContents(QStyle::CT_LineEdit, &option, QSize(inside, metrics.height()), edit).width());
}
}

KXEquationEditor::KXEquationEditor(const KXEquationModel* model, const KXEquationVariableModel* variableModel)
    : ChildWizard(tr("Equation", "Equation")),
      m_variablesEditor(nullptr),
      m_model(model),
      m_variableModel(variableModel)
{
    initInterface();
}

KXEquationEditor::~KXEquationEditor() = default;

QString KXEquationEditor::quickHelpContent()
{
    return KXEquationQuickHelp::content();
}

QString KXEquationEditor::lineEditStyleSheet()
{
    return QStringLiteral("QLineEdit {background-color: rgba(0, 0, 150, 15)}");
}

QLineEdit* KXEquationEditor::createLineEdit(QWidget* parent, const QString& text)
{
    auto* edit = new QLineEdit(parent);
    edit->setStyleSheet(lineEditStyleSheet());
    edit->setText(text);
    connect(edit, &QLineEdit::textChanged, this, &KXEquationEditor::slotValueChanged);
    return edit;
}

void KXEquationEditor::initInterface()
{
    m_page = new WizardItem(nullptr, QLatin1String(PAGE_TITLE));
    m_page->setNextEnabled(true);

    // The formula
    m_formulaGroup = new QGroupBox(m_page);
    m_formulaFont = QFont(QStringLiteral("Times"), 12, QFont::Normal, false);
    m_formulaGroup->setFlat(true);
    m_formulaGroup->setTitle(tr("Calculation formula", "Formule de calcul"));
    m_page->boxLayout()->addWidget(m_formulaGroup);
    auto* formulaLayout = new QHBoxLayout(m_formulaGroup);

    m_formulaLabel = new QLabel(m_formulaGroup);
    m_formulaLabel->setText(tr("<b><i>Output(i, j)</i></b> = ", "<b><i>Sortie(i, j)</i></b> = "));
    m_formulaLabel->setObjectName(QStringLiteral("EquationFormula"));
    m_formulaLabel->setFont(m_formulaFont);
    formulaLayout->addWidget(m_formulaLabel, 0, Qt::AlignTop);

    m_formulaEdit = new KXEquationFormulaEdit(m_variableModel, m_page);
    m_formulaEdit->setStyleSheet(lineEditStyleSheet().replace(QLatin1String("QLineEdit"),
                                                              QLatin1String("KXEquationFormulaEdit")));
    m_formulaEdit->setHelp(quickHelpContent(), QIcon(TPixmapCache::find(QStringLiteral("quickHelp"))),
                           tr("Equation module functionalities", "Fonctionnalités du module d'équation"),
                           HELP_WINDOW_SIZE);
    m_formulaEdit->setText(m_model->getFormula());
    m_formulaEdit->setFont(m_formulaFont);
    connect(m_formulaEdit, &KXEquationFormulaEdit::formulaTextChanged, this, &KXEquationEditor::slotValueChanged);
    connect(m_formulaEdit, &KXEquationFormulaEdit::launchRequested, this, &KXEquationEditor::launchClicked);

    // Under the field, what went wrong in it.
    m_formulaMessage = new QLabel(m_formulaGroup);
    m_formulaMessage->setObjectName(QStringLiteral("EquationFormulaMessage"));
    m_formulaMessage->setStyleSheet(QStringLiteral("QLabel {color: #c01818}"));
    m_formulaMessage->setWordWrap(true);
    m_formulaMessage->setTextFormat(Qt::PlainText);
    m_formulaMessage->hide();
    connect(m_formulaEdit, &KXEquationFormulaEdit::formulaTextChanged, m_formulaMessage, &QWidget::hide);

    // A launch running off the user-interface thread: progress, time, speed and Cancel.
    m_launchRow = new QWidget(m_formulaGroup);
    m_launchRow->setObjectName(QStringLiteral("EquationLaunch"));
    auto* launchLayout = new QHBoxLayout(m_launchRow);
    launchLayout->setContentsMargins(0, 0, 0, 0);
    m_launchProgress = new QProgressBar(m_launchRow);
    // The elapsed time and the speed are written on the bar, which may not widen the page.
    m_launchProgress->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_cancelButton = new QPushButton(tr("Cancel", "Annuler"), m_launchRow);
    m_cancelButton->setObjectName(QStringLiteral("EquationCancel"));
    connect(m_cancelButton, &QPushButton::clicked, this, &KXEquationEditor::cancelClicked);
    launchLayout->addWidget(m_launchProgress, 1);
    launchLayout->addWidget(m_cancelButton);
    m_launchProgress->hide();
    m_cancelButton->hide();
    m_launchRow->hide();

    // What the formula gives: the output's top-left block, computed while the user types, shown
    // as the data editor shows the output. Its room stays reserved while it has nothing to show.
    m_previewStack = new QStackedWidget(m_formulaGroup);
    m_previewStack->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    m_previewTable = new QTableView(m_previewStack);
    m_previewTable->setObjectName(QStringLiteral("EquationPreview"));
    m_previewCells = new KXDataModelGeneric;
    m_previewCells->setParent(this);
    m_previewTable->setModel(new KXDataDisplayModel(m_previewTable));
    static_cast<KXDataDisplayModel*>(m_previewTable->model())->setSourceModel(m_previewCells);
    m_previewTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_previewTable->setFocusPolicy(Qt::NoFocus);
    m_previewTable->setSelectionMode(QAbstractItemView::NoSelection);
    m_previewTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_previewTable->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Whole values: a column too wide for the page is cut at the edge, never shortened to "9…".
    m_previewTable->setTextElideMode(Qt::ElideNone);
    QFont previewFont = m_previewTable->font();
    previewFont.setPointSizeF(previewFont.pointSizeF() * 0.9);
    m_previewTable->setFont(previewFont);
    m_previewTable->horizontalHeader()->setFont(previewFont);
    m_previewTable->verticalHeader()->setFont(previewFont);
    const int rowHeight = QFontMetrics(previewFont).height() + 2;
    m_previewTable->verticalHeader()->setMinimumSectionSize(rowHeight);
    m_previewTable->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_previewTable->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_previewTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_previewTable->horizontalHeader()->setStretchLastSection(true);
    m_previewTable->horizontalHeader()->setTextElideMode(Qt::ElideNone);
    m_previewTable->horizontalHeader()->setFixedHeight(rowHeight);
    const int rowsHeight = KXEquationPreview::Rows * m_previewTable->verticalHeader()->defaultSectionSize();
    m_previewStack->setFixedHeight(rowHeight + rowsHeight + 2 * m_previewTable->frameWidth() + 2);
    m_previewMessage = new QLabel(m_previewStack);
    m_previewMessage->setObjectName(QStringLiteral("EquationPreviewMessage"));
    m_previewMessage->setWordWrap(true);
    m_previewMessage->setTextFormat(Qt::PlainText);
    m_previewMessage->setAlignment(Qt::AlignTop | Qt::AlignLeft);
    m_previewStack->addWidget(new QWidget(m_previewStack));
    m_previewStack->addWidget(m_previewTable);
    m_previewStack->addWidget(m_previewMessage);

    auto* fieldColumn = new QVBoxLayout;
    fieldColumn->addWidget(m_formulaEdit);
    fieldColumn->addWidget(m_formulaMessage);
    fieldColumn->addWidget(m_launchRow);
    fieldColumn->addWidget(m_previewStack);
    formulaLayout->addLayout(fieldColumn, 1);

    m_preview = new KXEquationPreview(this);
    connect(m_preview, &KXEquationPreview::ready, this, [this](const KXEquationPreview::Block& block) {
        showPreviewBlock(block);
    });
    m_previewTimer = new QTimer(this);
    m_previewTimer->setSingleShot(true);
    m_previewTimer->setInterval(PREVIEW_DELAY);
    connect(m_previewTimer, &QTimer::timeout, this, &KXEquationEditor::requestPreview);
    m_previewTimer->start();

    // The output options
    auto* outputGroup = new QGroupBox(m_page);
    m_outputGroup = outputGroup;
    outputGroup->setMinimumWidth(OUTPUT_MINIMUM_WIDTH);
    outputGroup->setFlat(true);
    outputGroup->setTitle(tr("Output parameters", "Paramètres de sortie"));
    auto* grid = new QGridLayout(outputGroup);
    // Compact lines leave the height to the variable tree.
    grid->setVerticalSpacing(3);

    m_datasetNameLabel = new QLabel(tr("<b>Dataset name:</b>", "<b>Nom du tableau :</b>"));
    grid->addWidget(m_datasetNameLabel, 0, 0, 1, 2);
    m_datasetNameEdit = createLineEdit(outputGroup, m_model->getSubdatasetName());
    grid->addWidget(m_datasetNameEdit, 0, 3, 1, 3);

    m_linesLabel = new QLabel(tr("<b>Lines:</b>", "<b>Lignes :</b>"));
    grid->addWidget(m_linesLabel, 1, 0, 1, 2);
    m_rowFromLabel = new QLabel(tr("<i>i</i> from", "<i>i</i> de"));
    m_rowFromLabel->setObjectName(QStringLiteral("EquationRows"));
    grid->addWidget(m_rowFromLabel, 1, 2, 1, 1);
    m_rowStartEdit = createLineEdit(outputGroup, m_model->rowStart());
    grid->addWidget(m_rowStartEdit, 1, 3, 1, 1);
    m_rowToLabel = new QLabel(tr("to", "à"));
    grid->addWidget(m_rowToLabel, 1, 4, 1, 1);
    m_rowEndEdit = createLineEdit(outputGroup, m_model->rowEnd());
    grid->addWidget(m_rowEndEdit, 1, 5, 1, 1);

    m_columnsLabel = new QLabel(tr("<b>Columns:</b>", "<b>Colonnes :</b>"));
    grid->addWidget(m_columnsLabel, 2, 0, 1, 2);
    m_colFromLabel = new QLabel(tr("<i>j</i> from", "<i>j</i> de"));
    m_colFromLabel->setObjectName(QStringLiteral("EquationCols"));
    grid->addWidget(m_colFromLabel, 2, 2, 1, 1);
    m_colStartEdit = createLineEdit(outputGroup, m_model->colStart());
    grid->addWidget(m_colStartEdit, 2, 3, 1, 1);
    m_colToLabel = new QLabel(tr("to", "à"));
    grid->addWidget(m_colToLabel, 2, 4, 1, 1);
    m_colEndEdit = createLineEdit(outputGroup, m_model->colEnd());
    grid->addWidget(m_colEndEdit, 2, 5, 1, 1);
    for (QLineEdit* range : {m_rowEndEdit, m_colEndEdit})
        fitRangeField(range);

    grid->addItem(createSpacer(), 3, 0, 1, 5);
    // Under the range fields, what went wrong in one of them.
    m_rangeMessage = new QLabel(outputGroup);
    m_rangeMessage->setObjectName(QStringLiteral("EquationRangeMessage"));
    m_rangeMessage->setStyleSheet(QStringLiteral("QLabel {color: #c01818}"));
    m_rangeMessage->setWordWrap(true);
    m_rangeMessage->setTextFormat(Qt::PlainText);
    m_rangeMessage->hide();
    grid->addWidget(m_rangeMessage, 3, 0, 1, 6);
    for (QLineEdit* edit : {m_rowStartEdit, m_rowEndEdit, m_colStartEdit, m_colEndEdit})
        connect(edit, &QLineEdit::textEdited, this, &KXEquationEditor::clearRangeError);

    // The headers
    m_headerGroup = new QGroupBox(outputGroup);
    m_headerGroup->setObjectName(QStringLiteral("EquationHeader"));
    m_headerGroup->setCheckable(true);
    m_headerGroup->setChecked(m_model->keepHeader());
    m_headerGroup->setTitle(tr("Take headers into account", "Tenir compte des en-têtes"));
    connect(m_headerGroup, &QGroupBox::clicked, this, &KXEquationEditor::slotValueChanged);
    auto* headerLayout = new QFormLayout(m_headerGroup);
    headerLayout->setVerticalSpacing(2);
    headerLayout->setContentsMargins(6, 4, 6, 4);

    m_headerDatasetCombo = new QComboBox(m_headerGroup);
    fillHeaderDatasets();
    connect(m_headerDatasetCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &KXEquationEditor::slotValueChanged);

    m_lineHeadersCheck = new QCheckBox(m_headerGroup);
    m_lineHeadersCheck->setChecked(m_model->keepVHeader());
    m_lineHeadersCheck->setText(tr("Use line headers", "Utiliser les en-têtes des lignes"));
    connect(m_lineHeadersCheck, &QCheckBox::stateChanged, this, &KXEquationEditor::slotValueChanged);
    m_columnHeadersCheck = new QCheckBox(m_headerGroup);
    m_columnHeadersCheck->setChecked(m_model->keepHHeader());
    m_columnHeadersCheck->setText(tr("Use column headers", "Utiliser les en-têtes des colonnes"));
    connect(m_columnHeadersCheck, &QCheckBox::stateChanged, this, &KXEquationEditor::slotValueChanged);

    headerLayout->addRow(tr("Main dataset name:", "Nom du tableau principal :"), m_headerDatasetCombo);
    headerLayout->addRow(m_lineHeadersCheck);
    headerLayout->addRow(m_columnHeadersCheck);
    grid->addWidget(m_headerGroup, 4, 0, 1, 6);

    grid->addItem(createSpacer(), 5, 0, 1, 5);

    // The names of new rows and columns
    m_rowNameLabel = new QLabel(outputGroup);
    m_rowNameLabel->setText(tr("New rows name:", "Nom des nouvelles lignes : "));
    m_rowNameLabel->setObjectName(QStringLiteral("EquationRowName"));
    grid->addWidget(m_rowNameLabel, 6, 0, 1, 3);
    m_rowNameEdit = createLineEdit(outputGroup, m_model->rowName());
    grid->addWidget(m_rowNameEdit, 6, 3, 1, 4);
    m_colNameLabel = new QLabel(outputGroup);
    m_colNameLabel->setText(tr("New columns name: ", "Nom des nouvelles colonnes : "));
    m_colNameLabel->setObjectName(QStringLiteral("EquationColName"));
    grid->addWidget(m_colNameLabel, 7, 0, 1, 3);
    m_colNameEdit = createLineEdit(outputGroup, m_model->colName());
    grid->addWidget(m_colNameEdit, 7, 3, 1, 4);

    // What rand draws from: the same seed gives the same table.
    auto* seedLabel = new QLabel(tr("Seed:", "Graine :"), outputGroup);
    seedLabel->setObjectName(QStringLiteral("EquationSeed"));
    grid->addWidget(seedLabel, 8, 0, 1, 3);
    m_seedEdit = createLineEdit(outputGroup, QString::number(m_model->seed()));
    m_seedEdit->setValidator(new QRegExpValidator(QRegExp(QStringLiteral("[0-9]{1,20}")), m_seedEdit));
    grid->addWidget(m_seedEdit, 8, 3, 1, 3);
    auto* newSeed = new QPushButton(tr("New seed", "Nouvelle graine"), outputGroup);
    newSeed->setObjectName(QStringLiteral("EquationNewSeed"));
    connect(newSeed, &QPushButton::clicked, this,
            [this] { m_seedEdit->setText(QString::number(KXEquationModel::freshSeed())); });
    grid->addWidget(newSeed, 8, 6, 1, 1);

    m_page->boxLayout()->addWidget(outputGroup);
    m_page->installEventFilter(this);
}

void KXEquationEditor::fillHeaderDatasets()
{
    const QMap<QString, QString> datasets = m_variableModel->getVariableModelList();
    for (auto it = datasets.constBegin(); it != datasets.constEnd(); ++it)
        m_headerDatasetCombo->addItem(it.key(), QVariant());
    const int stored = m_headerDatasetCombo->findText(m_model->dataModelForHeader(), Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (stored >= 0)
        m_headerDatasetCombo->setCurrentIndex(stored);
}

void KXEquationEditor::updateInterface()
{
    refillFields();
    m_previewTimer->start();
    // A header dataset that is no longer listed gives way to the one the list now shows.
    if (m_headerDatasetCombo->currentText() != m_model->dataModelForHeader())
        emit dataModelForHeaderChanged(m_headerDatasetCombo->currentText());
}

void KXEquationEditor::refillFields()
{
    // Every field whose value changes reports it as usual; only the header list is refilled
    // silently, since clearing it would otherwise replace the model's header dataset.
    m_formulaEdit->setText(m_model->getFormula());
    m_datasetNameEdit->setText(m_model->getSubdatasetName());
    m_rowStartEdit->setText(m_model->rowStart());
    m_rowEndEdit->setText(m_model->rowEnd());
    m_colStartEdit->setText(m_model->colStart());
    m_colEndEdit->setText(m_model->colEnd());
    m_lineHeadersCheck->setChecked(m_model->keepVHeader());
    m_columnHeadersCheck->setChecked(m_model->keepHHeader());
    m_headerGroup->setChecked(m_model->keepHeader());
    m_rowNameEdit->setText(m_model->rowName());
    m_colNameEdit->setText(m_model->colName());
    m_seedEdit->setText(QString::number(m_model->seed()));
    const QSignalBlocker headerDataset(m_headerDatasetCombo);
    m_headerDatasetCombo->clear();
    fillHeaderDatasets();
}

void KXEquationEditor::showFormulaError(const KXEquationReadError& failure)
{
    showFormulaError(failure.message(), failure.start(), failure.length());
    showFormulaMessage(failure.message(), &failure);
}

void KXEquationEditor::showFormulaMessage(const QString& message, const KXEquationReadError* failure)
{
    const QString hint = failure ? KXEquationReadHint::hint(*failure, *m_variableModel) : QString();
    m_formulaMessage->setText(hint.isEmpty() ? message : message + QLatin1Char('\n') + hint);
    m_formulaMessage->show();
}

void KXEquationEditor::showFormulaError(const QString& message, int start, int length)
{
    m_formulaMessage->setText(message);
    m_formulaMessage->show();
    m_formulaEdit->markError(start, length);
    m_formulaEdit->setFocus();
}

QString KXEquationEditor::rangeFieldName(KXEquationDocument::RangeField field)
{
    switch (field) {
    case KXEquationDocument::RangeField::FirstRow:
        return tr("Lines from", "Lignes de");
    case KXEquationDocument::RangeField::LastRow:
        return tr("Lines to", "Lignes à");
    case KXEquationDocument::RangeField::FirstColumn:
        return tr("Columns from", "Colonnes de");
    case KXEquationDocument::RangeField::LastColumn:
        break;
    }
    return tr("Columns to", "Colonnes à");
}

namespace {
// A line edit draws character formats only as input-method formats, relative to its cursor.
void underline(QLineEdit* edit, int start, int length)
{
    QList<QInputMethodEvent::Attribute> attributes;
    if (length > 0) {
        QTextCharFormat format;
        format.setUnderlineStyle(QTextCharFormat::WaveUnderline);
        format.setUnderlineColor(QColor(0xc0, 0x18, 0x18));
        attributes.append(QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat,
                                                       start - edit->cursorPosition(), length, format));
    }
    QInputMethodEvent event(QString(), attributes);
    QCoreApplication::sendEvent(edit, &event);
}
}

void KXEquationEditor::showRangeError(KXEquationDocument::RangeField field, const QString& message,
                                      const KXError& failure, bool moveCaret)
{
    clearRangeError();
    QLineEdit* const edits[] = {m_rowStartEdit, m_rowEndEdit, m_colStartEdit, m_colEndEdit};
    m_markedRangeEdit = edits[int(field)];
    const auto* located = dynamic_cast<const KXEquationReadError*>(&failure);
    const int start = located && located->text() == m_markedRangeEdit->text() ? located->start() : 0;
    const int length = located && located->text() == m_markedRangeEdit->text() ? located->length()
                                                                                : m_markedRangeEdit->text().length();
    if (moveCaret) {
        m_markedRangeEdit->setCursorPosition(start);
        m_markedRangeEdit->setFocus(Qt::OtherFocusReason);
    }
    underline(m_markedRangeEdit, start, qMax(1, length));
    const QString hint = located ? KXEquationReadHint::hint(*located, *m_variableModel) : QString();
    m_rangeMessage->setText(hint.isEmpty() ? message : message + QLatin1Char('\n') + hint);
    m_rangeMessage->show();
}

void KXEquationEditor::clearRangeError()
{
    if (m_markedRangeEdit)
        underline(m_markedRangeEdit, 0, 0);
    m_markedRangeEdit = nullptr;
    m_rangeMessage->hide();
}

void KXEquationEditor::linkToRunningWizard(WizardInterface* wizard)
{
    if (!wizard)
        return;
    wizard->addPage(m_page);
    wizard->setPinState(true);
    wizard->setModuleDescription(TPixmapCache::find(QStringLiteral("stat_32")),
                                 tr("Solve an equation", "Résoudre une équation"));
    if (auto* bar = dynamic_cast<RibbonWizard*>(wizard)) {
        initModelGroup(bar);
        initExecutionGroup(bar);
    }
    wizard->addGenericActions(false, false);
    ChildWizard::linkToRunningWizard(wizard);
}

void KXEquationEditor::initModelGroup(KXRibbonBar* bar)
{
    if (!bar)
        return;
    auto* group = new KXRibbonGroup(tr("Model", "Modèle"), nullptr);
    QToolButton* save = group->insertButton(tr("Save...", "Sauvegarder..."),
                                            QIcon(TPixmapCache::find(QStringLiteral("save_generic"))), 0, 0);
    connect(save, &QToolButton::clicked, this, &KXEquationEditor::saveClicked);
    QToolButton* load = group->insertButton(tr("Load...", "Charger..."),
                                            QIcon(TPixmapCache::find(QStringLiteral("open_generic"))), 0, 0);
    connect(load, &QToolButton::clicked, this, &KXEquationEditor::loadClicked);
    KXRibbonGroup::setShortcut(load, QKeySequence(Qt::CTRL | Qt::Key_L));
    // The host's Save key saves the page in front: named here, not taken a second time.
    save->setToolTip(KXRibbonGroup::shortcutToolTip(save->text(), QKeySequence::Save));
    bar->addGroup(group);
}

void KXEquationEditor::initExecutionGroup(KXRibbonBar* bar)
{
    if (!bar)
        return;
    auto* group = new KXRibbonGroup(tr("Launch", "Exécution"), nullptr);
    QToolButton* launch =
        group->insertButton(tr("Launch", "Exécuter"), QIcon(TPixmapCache::find(QStringLiteral("launch"))), 0, 0);
    connect(launch, &QToolButton::clicked, this, &KXEquationEditor::launchClicked);
    KXRibbonGroup::setShortcut(launch, QKeySequence(Qt::CTRL | Qt::Key_Return));
    bar->addGroup(group);
}

bool KXEquationEditor::next(WizardItem*)
{
    return false;
}

int KXEquationEditor::getIdForHelp(WizardItem*) const
{
    return isWorkflowExecChildWizard() ? WORKFLOW_HELP_ID : HELP_ID;
}

void KXEquationEditor::setVariablesEditor(KXEquationVariableEditor* editor)
{
    if (!editor)
        return;
    m_variablesEditor = editor;
    auto* box = new QGroupBox(dynamic_cast<QWidget*>(m_wizard));
    box->setFlat(true);
    // The tree takes the height that the other boxes leave.
    box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    box->setTitle(tr("Variables editor", "Editeur de variables"));
    auto* layout = new QHBoxLayout(box);
    editor->setMinimumWidth(VARIABLES_MINIMUM_WIDTH);
    editor->resize(VARIABLES_SIZE);
    // Five variables stay in sight however little height the page has.
    const int row = qMax(editor->sizeHintForRow(0), editor->fontMetrics().height() + 4);
    editor->setMinimumHeight(editor->header()->sizeHint().height() + 5 * row + 2 * editor->frameWidth());
    editor->setObjectName(QStringLiteral("EquationVariable"));
    layout->addWidget(editor);

    QBoxLayout* pageLayout = m_page->boxLayout();
    const bool formulaFirst = pageLayout->count() > 0 && pageLayout->itemAt(0)->widget() == m_formulaGroup;
    pageLayout->insertWidget(formulaFirst ? 1 : 0, box);
    m_variablesBox = box;
    arrangeBoxes(m_page->width() >= WIDE_PAGE_WIDTH);
}

bool KXEquationEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_page && event->type() == QEvent::Resize)
        arrangeBoxes(m_page->width() >= WIDE_PAGE_WIDTH);
    return ChildWizard::eventFilter(watched, event);
}

void KXEquationEditor::arrangeBoxes(bool sideBySide)
{
    if (!m_variablesBox || sideBySide == (m_boxRow != nullptr))
        return;
    QBoxLayout* pageLayout = m_page->boxLayout();
    if (sideBySide) {
        const int index = pageLayout->indexOf(m_variablesBox);
        pageLayout->removeWidget(m_variablesBox);
        pageLayout->removeWidget(m_outputGroup);
        m_boxRow = new QHBoxLayout;
        m_boxRow->addWidget(m_variablesBox, 1);
        m_boxRow->addWidget(m_outputGroup, 1, Qt::AlignTop);
        pageLayout->insertLayout(index, m_boxRow, 1);
        return;
    }
    const int index = pageLayout->indexOf(m_boxRow);
    m_boxRow->removeWidget(m_variablesBox);
    m_boxRow->removeWidget(m_outputGroup);
    pageLayout->removeItem(m_boxRow);
    delete m_boxRow;
    m_boxRow = nullptr;
    pageLayout->insertWidget(index, m_variablesBox);
    pageLayout->insertWidget(index + 1, m_outputGroup);
}

void KXEquationEditor::requestPreview()
{
    // Nothing typed yet is no error worth showing.
    if (m_model->getFormula().trimmed().isEmpty()) {
        m_previewStack->setCurrentIndex(0);
        return;
    }
    m_preview->request(*m_model, *m_variableModel);
}

// The block in the grid, or in its place what went wrong: the message, and in the formula field
// where reading failed. The variables may have changed since the last mark: it is made again or
// taken away.
void KXEquationEditor::showPreviewBlock(const KXEquationPreview::Block& block)
{
    using State = KXEquationPreview::Block::State;
    const auto& failure = block.readingFailure;
    const bool formulaFailure = failure && failure->text() == m_formulaEdit->text();
    if (block.state != State::TooSlow && !formulaFailure && m_formulaEdit->hasError()) {
        m_formulaEdit->clearError();
        m_formulaMessage->hide();
    }
    if (block.state != State::TooSlow)
        clearRangeError();
    if (block.rangeFailure) {
        const QString message = tr("%1: %2", "%1 : %2").arg(rangeFieldName(block.rangeField), block.rangeFailure->message());
        showRangeError(block.rangeField, message, *block.rangeFailure, false);
        m_previewStack->setCurrentIndex(0);
        return;
    }
    if (block.state != State::Cells) {
        QString text = block.messages.join(QLatin1Char('\n'));
        if (block.state == State::TooSlow)
            text = tr("Preview too slow", "Aperçu trop lent");
        m_previewMessage->setText(text);
        m_previewMessage->setStyleSheet(block.state == State::TooSlow ? QString()
                                                                        : QStringLiteral("QLabel {color: #c01818}"));
        if (formulaFailure) {
            m_formulaEdit->markError(failure->start(), failure->length(), false);
            showFormulaMessage(failure->message(), failure.get());
        }
        // What the line under the field says is not said twice.
        m_previewStack->setCurrentIndex(formulaFailure ? 0 : 2);
        return;
    }
    QVector<QVariant> cells;
    for (const QVector<QVariant>& row : block.cells)
        cells += row;
    QVector<QVariant> rowHeaders, columnHeaders;
    for (const QString& header : block.rowHeaders)
        rowHeaders.append(header);
    for (const QString& header : block.columnHeaders)
        columnHeaders.append(header);
    m_previewCells->setContents(columnHeaders.size(), rowHeaders.size(), cells, rowHeaders, columnHeaders);
    // Room for any number shown with all its digits and for the header, from a bounded sample of
    // rows: never a measure of every cell.
    constexpr int SampleRows = 40;
    constexpr int Margin = 12;
    const QString widestNumber = KXNumberFormat::numberText(-123456789.012345, KXNumberFormat::interfaceLocale());
    const QFontMetrics cellMetrics = m_previewTable->fontMetrics();
    const QFontMetrics headerMetrics = m_previewTable->horizontalHeader()->fontMetrics();
    const QAbstractItemModel* shown = m_previewTable->model();
    const int sampled = qMin(shown->rowCount(), SampleRows);
    for (int c = 0; c < columnHeaders.size(); ++c) {
        int width = qMax(cellMetrics.horizontalAdvance(widestNumber),
                         headerMetrics.horizontalAdvance(columnHeaders.at(c).toString()));
        for (int r = 0; r < sampled; ++r)
            width = qMax(width, cellMetrics.horizontalAdvance(shown->index(r, c).data().toString()));
        m_previewTable->setColumnWidth(c, width + Margin);
    }
    m_previewStack->setCurrentIndex(1);
}

void KXEquationEditor::setLaunchRunning(bool running)
{
    m_launchRow->setVisible(true);
    m_launchProgress->setVisible(running);
    m_cancelButton->setVisible(running);
    if (running) {
        m_launchProgress->setRange(0, 1000);
        m_launchProgress->setValue(0);
        m_launchProgress->setFormat(tr("Starting...", "Démarrage..."));
    } else {
        m_launchRow->hide();
    }
}

void KXEquationEditor::showLaunchProgress(qint64 done, qint64 total, qint64 elapsedMilliseconds)
{
    if (total > 0) {
        // A bar counts in ints: per thousand of the total.
        m_launchProgress->setRange(0, 1000);
        m_launchProgress->setValue(int(done * 1000 / total));
    }
    const double seconds = elapsedMilliseconds / 1000.0;
    const QLocale locale;
    const QString speed = seconds > 0 ? locale.toString(qRound64(done / seconds)) : QStringLiteral("-");
    const QString text = tr("%1 s, %2 cells/s", "%1 s, %2 cellules/s").arg(locale.toString(seconds, 'f', 1), speed);
    m_launchProgress->setFormat(text);
}

void KXEquationEditor::showLaunchMessage(const QString& message)
{
    m_formulaMessage->setText(message);
    m_formulaMessage->show();
}

void KXEquationEditor::focusFormula()
{
    m_formulaEdit->setFocus(Qt::OtherFocusReason);
}

void KXEquationEditor::slotValueChanged()
{
    // Every edit may change what the formula gives.
    m_previewTimer->start();
    const QObject* source = sender();
    if (source == m_formulaEdit)
        emit formulaChanged(m_formulaEdit->text());
    else if (source == m_datasetNameEdit)
        emit subdatasetNameChanged(m_datasetNameEdit->text());
    else if (source == m_rowStartEdit)
        emit rowStartChanged(m_rowStartEdit->text());
    else if (source == m_colStartEdit)
        emit colStartChanged(m_colStartEdit->text());
    else if (source == m_rowEndEdit)
        emit rowEndChanged(m_rowEndEdit->text());
    else if (source == m_colEndEdit)
        emit colEndChanged(m_colEndEdit->text());
    else if (source == m_lineHeadersCheck)
        emit stateVHeaderChanged(m_lineHeadersCheck->isChecked());
    else if (source == m_columnHeadersCheck)
        emit stateHHeaderChanged(m_columnHeadersCheck->isChecked());
    else if (source == m_headerDatasetCombo)
        emit dataModelForHeaderChanged(m_headerDatasetCombo->currentText());
    else if (source == m_headerGroup)
        emit keepHeaderChanged(m_headerGroup->isChecked());
    else if (source == m_rowNameEdit)
        emit rowNameChanged(m_rowNameEdit->text());
    else if (source == m_colNameEdit)
        emit colNameChanged(m_colNameEdit->text());
    else if (source == m_seedEdit) {
        quint64 seed = 0;
        // 2^64 and beyond have 20 digits too: they are not reported.
        if (KXEquationModel::readSeed(m_seedEdit->text(), seed))
            emit seedChanged(seed);
    }
}
