#pragma once

#include "KXHostGlobal.h"

#include <QIcon>
#include <QLineEdit>
#include <QPointer>
#include <QSize>
#include <QTextBrowser>

class QAction;

/// A line edit with a help button at its end; the button opens an HTML help text in a window.
class KXHOSTUI_EXPORT KXLineEditButton : public QLineEdit
{
    Q_OBJECT
public:
    explicit KXLineEditButton(QWidget* parent = nullptr);
    ~KXLineEditButton() override;

    /// The help button shows html in a window titled title, of the given size.
    void setHelp(const QString& html, const QIcon& icon, const QString& title, const QSize& size);

    QAction* helpAction() const { return m_helpAction; }
    /// The help window once it has been opened; null before.
    QTextBrowser* helpWindow() const { return m_helpWindow.data(); }

public slots:
    void showHelp();

private:
    QAction* m_helpAction = nullptr;
    QPointer<QTextBrowser> m_helpWindow;
    QString m_helpHtml;
    QString m_helpTitle;
    QSize m_helpSize;
};
