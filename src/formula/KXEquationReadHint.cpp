#include "KXEquationReadHint.h"

#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"

#include <QRegularExpression>
#include <QVector>

#include <algorithm>

namespace {
// At most this many names are offered.
const int MaximumSuggestions = 3;

int editDistance(const QString& a, const QString& b)
{
    QVector<int> previous(b.length() + 1), current(b.length() + 1);
    for (int k = 0; k <= b.length(); ++k)
        previous[k] = k;
    for (int i = 1; i <= a.length(); ++i) {
        current[0] = i;
        for (int k = 1; k <= b.length(); ++k) {
            const int change = a.at(i - 1).toCaseFolded() == b.at(k - 1).toCaseFolded() ? 0 : 1;
            current[k] = std::min({previous[k] + 1, current[k - 1] + 1, previous[k - 1] + change});
        }
        std::swap(previous, current);
    }
    return previous[b.length()];
}

// Short names are too close to too many others to guess at.
int allowedDistance(const QString& name)
{
    return std::min(2, (name.length() - 1) / 2);
}

QString quoted(const QString& name)
{
    return QLatin1Char('`') + name + QLatin1Char('`');
}

QString didYouMean(const QStringList& names)
{
    if (names.isEmpty())
        return QString();
    QStringList marked;
    for (const QString& name : names)
        marked.append(quoted(name));
    const QString last = marked.takeLast();
    const QString choice = marked.isEmpty()
                               ? last
                               : KXEquationInterpreter::tr("%1 or %2", "%1 ou %2").arg(marked.join(QLatin1String(", ")), last);
    return KXEquationInterpreter::tr("; did you mean %1?", " ; vouliez-vous dire %1 ?").arg(choice);
}
}

namespace KXEquationReadHint {

QStringList closestNames(const QString& name, const QStringList& known)
{
    int best = allowedDistance(name);
    QStringList closest;
    for (const QString& candidate : known) {
        const int distance = editDistance(name, candidate);
        if (candidate == name || distance > best)
            continue;
        if (distance < best) {
            best = distance;
            closest.clear();
        }
        if (distance == best && !closest.contains(candidate))
            closest.append(candidate);
    }
    closest.sort();
    return closest.mid(0, MaximumSuggestions);
}

QString hint(const KXEquationReadError& error, const KXEquationVariableModel& variables)
{
    static const QRegularExpression namePattern(QStringLiteral("^([A-Za-z_]\\w*)(\\(.*\\))?$"),
                                                QRegularExpression::DotMatchesEverythingOption);
    const QString marked = error.text().mid(error.start(), error.length()).simplified().remove(QLatin1Char(' '));
    const QRegularExpressionMatch match = namePattern.match(marked);
    if (!match.hasMatch())
        return QString();
    const QString name = match.captured(1);
    const bool call = !match.captured(2).isEmpty();
    const QStringList functions = KXEquationInterpreter::functionNames();
    const QStringList datasets = variables.getVariableModelList().keys();
    if (functions.contains(name) || datasets.contains(name))
        return QString();
    if (call)
        return KXEquationInterpreter::tr("%1 is not a function or dataset", "%1 n'est ni une fonction ni un tableau")
                   .arg(quoted(name))
               + didYouMean(closestNames(name, functions + datasets));
    QStringList constants = variables.getVariableConstantList().keys();
    for (const QString& dataset : datasets)
        constants += variables.getVariableModelRelatedList(dataset).keys();
    if (constants.contains(name))
        return QString();
    // The cell's row and column are constants while a formula is read.
    constants << QStringLiteral("i") << QStringLiteral("j");
    return KXEquationInterpreter::tr("%1 is not a constant, dataset or function",
                                     "%1 n'est ni une constante, ni un tableau, ni une fonction")
               .arg(quoted(name))
           + didYouMean(closestNames(name, constants + datasets + functions));
}

}
