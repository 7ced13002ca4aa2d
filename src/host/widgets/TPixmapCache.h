#pragma once

#include "KXHostGlobal.h"

#include <QPixmap>
#include <QString>

/// The host's pixmaps by key, drawn on first use and kept until the application ends.
class KXHOSTUI_EXPORT TPixmapCache
{
public:
    /// The pixmap for key; a null pixmap for an unknown key. GUI thread only.
    static const QPixmap& find(const QString& key);
};
