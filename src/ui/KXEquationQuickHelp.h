#pragma once

#include "kxequation_global.h"

#include <QString>

/// The help text of the formula field: every function, operator and predefined variable of the
/// formula language, as HTML, in the host's current language.
class KXEQUATIONUI_EXPORT KXEquationQuickHelp final
{
public:
    KXEquationQuickHelp() = delete;

    /// Builds the text anew on each call, so that it follows a change of language.
    static QString content();
    /// Number of section titles and of entries in the text.
    static int titleCount();
    static int entryCount();
    /// The entry of a function as one line of plain text, "sqrt(expr): Returns ..."; empty for a
    /// name that is no function.
    static QString functionDescription(const QString& name);
};
