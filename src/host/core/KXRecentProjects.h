#pragma once

#include "KXHostGlobal.h"

#include <QStringList>

class QSettings;

/// The project folders opened last, most recent first, kept in the application's settings.
class KXHOST_EXPORT KXRecentProjects
{
public:
    static constexpr int MaximumCount = 8;

    explicit KXRecentProjects(QSettings& settings);

    /// The remembered folders that still exist.
    QStringList folders() const;
    /// Puts folder first (once), dropping the oldest beyond MaximumCount.
    void add(const QString& folder);

private:
    QSettings& m_settings;
};
