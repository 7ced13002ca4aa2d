#pragma once

#include <QtGlobal>

#if defined(KXEQUATION_LIBRARY)
#  define KXEQUATION_EXPORT Q_DECL_EXPORT
#else
#  define KXEQUATION_EXPORT Q_DECL_IMPORT
#endif

#if defined(KXEQUATIONUI_LIBRARY)
#  define KXEQUATIONUI_EXPORT Q_DECL_EXPORT
#else
#  define KXEQUATIONUI_EXPORT Q_DECL_IMPORT
#endif
