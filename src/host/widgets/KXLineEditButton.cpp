#include "KXLineEditButton.h"

#include <QAction>
#include <QTextBrowser>

KXLineEditButton::KXLineEditButton(QWidget* parent) : QLineEdit(parent)
{
}

KXLineEditButton::~KXLineEditButton() = default;

void KXLineEditButton::setHelp(const QString& html, const QIcon& icon, const QString& title, const QSize& size)
{
    m_helpHtml = html;
    m_helpTitle = title;
    m_helpSize = size;
    if (!m_helpAction) {
        m_helpAction = addAction(icon, QLineEdit::TrailingPosition);
        m_helpAction->setObjectName(QStringLiteral("helpAction"));
        connect(m_helpAction, &QAction::triggered, this, &KXLineEditButton::showHelp);
    }
    m_helpAction->setIcon(icon);
    m_helpAction->setToolTip(title);
    if (m_helpWindow) {
        m_helpWindow->setHtml(html);
        m_helpWindow->setWindowTitle(title);
        m_helpWindow->resize(size);
    }
}

void KXLineEditButton::showHelp()
{
    if (!m_helpWindow) {
        // A window of its own, deleted with the line edit.
        m_helpWindow = new QTextBrowser(this);
        m_helpWindow->setWindowFlags(Qt::Window);
        m_helpWindow->setObjectName(QStringLiteral("helpWindow"));
        m_helpWindow->setOpenExternalLinks(false);
        m_helpWindow->setHtml(m_helpHtml);
        m_helpWindow->setWindowTitle(m_helpTitle);
        m_helpWindow->resize(m_helpSize);
    }
    m_helpWindow->show();
    m_helpWindow->raise();
    m_helpWindow->activateWindow();
}
