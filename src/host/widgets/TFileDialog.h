#pragma once

#include "KXHostGlobal.h"

#include <QFileDialog>

class TFileDialog;

/// Runs the host's file dialogs. Replaceable, so that tests answer the dialogs without a window.
class KXHOSTUI_EXPORT TFileDialogRunner
{
public:
    virtual ~TFileDialogRunner();

    static TFileDialogRunner* returnMe();
    /// Makes instance the one returnMe gives (null restores the built-in one); the caller keeps ownership.
    static void setInstance(TFileDialogRunner* instance);

    /// Shows the dialog modally; 0 when cancelled. A replacement chooses a path with setFileNameComplete.
    virtual int run(TFileDialog& dialog);
};

/// The host's file dialog: remembers one folder per key, and gives the chosen path whole.
class KXHOSTUI_EXPORT TFileDialog : public QFileDialog
{
    Q_OBJECT
public:
    TFileDialog(QWidget* parent, Qt::WindowFlags flags);
    ~TFileDialog() override;

    /// Opens the dialog in the folder last chosen under key (at first the open project's folder) and
    /// remembers the next choice there. A known key (Equation) also sets the file filter and the
    /// suffix given to a new file named without one.
    void setSpecifiedDir(const QString& key);
    QString specifiedDirKey() const { return m_key; }
    /// Extended mode lists the files with their sizes and dates.
    void setExtendedMode(bool extended);
    bool isExtendedMode() const { return m_extended; }

    /// Shows the dialog through the current runner; 0 when cancelled.
    int exec() override;
    /// The chosen file's absolute path; empty when nothing was chosen.
    QString fileNameComplete() const;
    void setFileNameComplete(const QString& path);

    /// The folder remembered under key; empty when none.
    static QString rememberedDir(const QString& key);

private:
    QString m_key;
    QString m_fileName;
    bool m_extended = false;
};

/// Chooses a file to write; asks before replacing one.
class KXHOSTUI_EXPORT TFileDialogSave final : public TFileDialog
{
    Q_OBJECT
public:
    explicit TFileDialogSave(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
};

/// Chooses an existing file to read.
class KXHOSTUI_EXPORT TFileDialogOpen final : public TFileDialog
{
    Q_OBJECT
public:
    explicit TFileDialogOpen(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
};
