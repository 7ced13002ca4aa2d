#pragma once

#include <QtGlobal>

#if defined(KXHOST_LIBRARY)
#  define KXHOST_EXPORT Q_DECL_EXPORT
#else
#  define KXHOST_EXPORT Q_DECL_IMPORT
#endif

#if defined(KXHOSTUI_LIBRARY)
#  define KXHOSTUI_EXPORT Q_DECL_EXPORT
#else
#  define KXHOSTUI_EXPORT Q_DECL_IMPORT
#endif
