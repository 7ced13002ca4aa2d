#include "KXRecentProjects.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {
const char RecentKey[] = "projects/recent";
}

KXRecentProjects::KXRecentProjects(QSettings& settings) : m_settings(settings)
{
}

QStringList KXRecentProjects::folders() const
{
    QStringList existing;
    for (const QString& folder : m_settings.value(QLatin1String(RecentKey)).toStringList()) {
        if (QFileInfo(folder).isDir())
            existing.append(folder);
    }
    return existing;
}

void KXRecentProjects::add(const QString& folder)
{
    const QString path = QDir(folder).absolutePath();
    QStringList recent = m_settings.value(QLatin1String(RecentKey)).toStringList();
    recent.removeAll(path);
    recent.prepend(path);
    while (recent.size() > MaximumCount)
        recent.removeLast();
    m_settings.setValue(QLatin1String(RecentKey), recent);
}
