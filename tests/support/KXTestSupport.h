#pragma once

#include "KXError.h"
#include "MainWindowInterface.h"
#include "TApplicationTranslator.h"
#include "TFileDialog.h"
#include "TMessageBox.h"

#include <QMutex>
#include <QSet>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

class KXDataModelGeneric;
class KXEquationModel;
class KXRibbonBar;
class ModuleLauncherInterface;
class RibbonInterface;
class TModuleCtrl;

namespace KXTest {

/// Equality of doubles that treats NaN as equal to NaN, keeps the sign of zero and infinities,
/// and compares other values with a relative tolerance (absolute near zero).
bool sameDouble(double actual, double expected);

/// Same kind and same value; doubles and floats through sameDouble, error values by message.
bool sameValue(const QVariant& actual, const QVariant& expected);
/// A readable form of a value, exact for doubles and floats: "double 3 bits 4008000000000000", "error ...".
QString describe(const QVariant& value);
/// An error value carrying message, as nodes return it.
QVariant errorValue(const QString& message);

/// A table of rows x columns whose cell (r, c) holds the double r * 10 + c, with row headers
/// "R<r>" and column headers "C<c>".
std::unique_ptr<KXDataModelGeneric> makeTable(int rows, int columns, const QString& dataset = QString(),
                                              const QString& subdataset = QString());

/// The contents of a file, empty when it cannot be read.
QByteArray contents(const QString& path);
/// Writes data to path, making its folder first.
bool writeFile(const QString& path, const QByteArray& data);
/// The formulas of the formula tests' tables: the first text of every row, once each.
QStringList formulasOfTestTables();

/// Sets an equation from {formula, "firstRow lastRow firstCol lastCol", row name, column name, header
/// dataset, "rows" or "columns"}: a header dataset keeps the input's headers, the last entry only one kind.
void configure(KXEquationModel* model, const QStringList& setup);

/// The program and arguments to start so that permissions bite: as nobody (setpriv) when the
/// tests run as root, as CI does, otherwise unchanged. The first element is the program.
QStringList unprivileged(const QString& program, const QStringList& arguments);
/// When running as root, runs the current test row again in a child process as nobody and
/// returns true; the caller then checks that the child passed (exit status 0).
bool rerunUnprivileged(int* exitStatus);

/// Collects every report made while it lives, from any thread; information() holds the notes alone.
class MessageCapture
{
public:
    MessageCapture();
    ~MessageCapture();
    QStringList messages() const;
    QStringList information() const;

private:
    mutable QMutex m_mutex;
    QStringList m_messages;
    QStringList m_information;
    KXMessageSink::Handler m_previous;
};

/// Installs the host translator in the given language while it lives.
class LanguageScope
{
public:
    explicit LanguageScope(TApplicationTranslator::Language language);
    /// French for a table's "french" column, English otherwise.
    explicit LanguageScope(bool french)
        : LanguageScope(french ? TApplicationTranslator::French : TApplicationTranslator::English) {}
    ~LanguageScope();

private:
    TApplicationTranslator m_translator;
};

/// Records the main window's module bar calls as "activate N" and "deactivate", per bar.
class RecordingMainWindow final : public MainWindowInterface
{
public:
    void activateModuleBar(KXRibbonBar* bar, int panels) override;
    void deactivateModuleBar(KXRibbonBar* bar) override;

    QStringList callsFor(const KXRibbonBar* bar) const;
    /// Calls made with a bar that had already been destroyed.
    int callsWithDestroyedBars = 0;

private:
    void record(KXRibbonBar* bar, const QString& call);

    QList<QPair<const KXRibbonBar*, QString>> m_calls;
    QSet<const KXRibbonBar*> m_watched;
    QSet<const KXRibbonBar*> m_destroyed;
};

/// A workspace that gives a fixed answer and counts the questions.
class AnsweringWorkspace final : public WorkspaceInterface
{
public:
    bool closeModule(TModuleCtrl*) override { ++questions; return answer; }

    bool answer = true;
    int questions = 0;
};

/// Answers every OK/Cancel question with answer and every Save/Discard/Cancel one with saveAnswer;
/// counts the questions.
class AnsweringMessageBox final : public TMessageBox
{
public:
    int askOKCancel(const QString&, const QString&, const QString&) override { return ++questions, answer; }
    int askSaveDiscardCancel(const QString&, const QString&) override { return ++questions, saveAnswer; }

    int answer = OK;
    int saveAnswer = Discard;
    int questions = 0;
};

/// Answers file dialogs without showing them: chosenPath, or a cancel when it is empty.
class ChoosingFileDialogs final : public TFileDialogRunner
{
public:
    int run(TFileDialog&) override;

    QString chosenPath;
    int shown = 0;
};

/// Installs fresh host singletons (ribbon, main window, workspace, data editors, file dialogs)
/// while it lives, and restores the built-in ones.
class HostScope
{
public:
    HostScope();
    ~HostScope();

    RibbonInterface& ribbon() { return *m_ribbon; }
    RecordingMainWindow mainWindow;
    AnsweringWorkspace workspace;
    ChoosingFileDialogs fileDialogs;
    ModuleLauncherInterface& launcher() { return *m_launcher; }

private:
    std::unique_ptr<RibbonInterface> m_ribbon;
    std::unique_ptr<ModuleLauncherInterface> m_launcher;
};

}
