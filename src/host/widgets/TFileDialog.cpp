#include "TFileDialog.h"

#include "LodeDB.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QHash>

#include <atomic>

namespace {
std::atomic<TFileDialogRunner*> runnerReplacement{nullptr};

/// The kinds of file the host's dialogs know by key: their filter and the suffix a new file gets.
struct FileKind
{
    const char* key;
    const char* english;
    const char* french;
    const char* suffix;
};
const FileKind FileKinds[] = {
    {"Equation", "Equation files (*.xml)", "Fichiers d'équation (*.xml)", "xml"},
};

QString projectFolder()
{
    const LodeDB::TDatabase* database = ProjectMgrInterface::returnMe()->database();
    return database ? database->projectDirectory() : QString();
}

// The folders remembered per key, for the life of the application (GUI thread only).
QHash<QString, QString>& rememberedDirs()
{
    static QHash<QString, QString> dirs;
    return dirs;
}
}

TFileDialogRunner::~TFileDialogRunner() = default;

TFileDialogRunner* TFileDialogRunner::returnMe()
{
    static TFileDialogRunner builtIn;
    TFileDialogRunner* instance = runnerReplacement.load();
    return instance ? instance : &builtIn;
}

void TFileDialogRunner::setInstance(TFileDialogRunner* instance)
{
    runnerReplacement.store(instance);
}

int TFileDialogRunner::run(TFileDialog& dialog)
{
    if (dialog.QFileDialog::exec() == QDialog::Rejected)
        return 0;
    dialog.setFileNameComplete(dialog.selectedFiles().value(0));
    return dialog.fileNameComplete().isEmpty() ? 0 : 1;
}

TFileDialog::TFileDialog(QWidget* parent, Qt::WindowFlags flags) : QFileDialog(parent, flags)
{
}

TFileDialog::~TFileDialog() = default;

void TFileDialog::setSpecifiedDir(const QString& key)
{
    m_key = key;
    for (const FileKind& kind : FileKinds) {
        if (key == QLatin1String(kind.key)) {
            setNameFilter(QCoreApplication::translate("TFileDialog", kind.english, kind.french, -1));
            setDefaultSuffix(QLatin1String(kind.suffix));
        }
    }
    // The folder last chosen under the key, else the open project's.
    QString dir = rememberedDir(key);
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = projectFolder();
    if (!dir.isEmpty() && QFileInfo(dir).isDir())
        setDirectory(dir);
}

void TFileDialog::setExtendedMode(bool extended)
{
    m_extended = extended;
    setViewMode(extended ? QFileDialog::Detail : QFileDialog::List);
}

int TFileDialog::exec()
{
    m_fileName.clear();
    const int result = TFileDialogRunner::returnMe()->run(*this);
    if (result == 0 || m_fileName.isEmpty())
        return 0;
    // A new file named without a suffix gets the kind's one, as the platform dialog does.
    if (acceptMode() == QFileDialog::AcceptSave && !defaultSuffix().isEmpty()
        && QFileInfo(m_fileName).suffix().isEmpty())
        m_fileName += QLatin1Char('.') + defaultSuffix();
    if (!m_key.isEmpty())
        rememberedDirs().insert(m_key, QFileInfo(m_fileName).absolutePath());
    return result;
}

QString TFileDialog::fileNameComplete() const
{
    return m_fileName;
}

void TFileDialog::setFileNameComplete(const QString& path)
{
    m_fileName = path.isEmpty() ? QString() : QFileInfo(path).absoluteFilePath();
}

QString TFileDialog::rememberedDir(const QString& key)
{
    return rememberedDirs().value(key);
}

TFileDialogSave::TFileDialogSave(QWidget* parent, Qt::WindowFlags flags) : TFileDialog(parent, flags)
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
}

TFileDialogOpen::TFileDialogOpen(QWidget* parent, Qt::WindowFlags flags) : TFileDialog(parent, flags)
{
    setAcceptMode(QFileDialog::AcceptOpen);
    setFileMode(QFileDialog::ExistingFile);
}
