#include "KXEquationQuickHelp.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <iterator>

namespace {

// Markup around the translated pieces; nothing separates the pieces, each carries its own line breaks.
const char FONT_OPEN[] = "<font face=\"Verdana\" size=4>";
const char TITLE_OPEN[] = "<font COLOR=\"#336699\">";
const char FONT_CLOSE[] = "</font>";

struct Message
{
    const char* english;
    const char* french;
};

struct Section
{
    Message title;
    const Message* begin;
    const Message* end;
};

const Message mathematicalFunctions[] = {
    {"&nbsp;&nbsp;<b>sqrt</b>(<i>expr</i>): Returns the square root of the expression<br>",
     "&nbsp;&nbsp;<b>sqrt</b>(<i>expr</i>) : Retourne la racine carré de l'expression<br>"},
    {"&nbsp;&nbsp;<b>sin</b>(<i>expr</i>): Returns the sine of the expression<br>",
     "&nbsp;&nbsp;<b>sin</b>(<i>expr</i>) : Retourne le sinus de l'expression<br>"},
    {"&nbsp;&nbsp;<b>asin</b>(<i>expr</i>): Returns the arcsine of the expression<br>",
     "&nbsp;&nbsp;<b>asin</b>(<i>expr</i>) : Retourne l'arcsinus  de l'expression<br>"},
    {"&nbsp;&nbsp;<b>cos</b>(<i>expr</i>): Returns the cosine of the expression<br>",
     "&nbsp;&nbsp;<b>cos</b>(<i>expr</i>) : Retourne le cosinus de l'expression<br>"},
    {"&nbsp;&nbsp;<b>acos</b>(<i>expr</i>): Returns the arccosine of the expression<br>",
     "&nbsp;&nbsp;<b>acos</b>(<i>expr</i>) : Retourne l'arccosinus  de l'expression<br>"},
    {"&nbsp;&nbsp;<b>tan</b>(<i>expr</i>): Returns the tangent of the expression<br>",
     "&nbsp;&nbsp;<b>tan</b>(<i>expr</i>) : Retourne la tangente de l'expression<br>"},
    {"&nbsp;&nbsp;<b>atan</b>(<i>expr</i>): Returns the arctangent of the expression<br>",
     "&nbsp;&nbsp;<b>atan</b>(<i>expr</i>) : Retourne l'arctangente de l'expression<br>"},
    {"&nbsp;&nbsp;<b>log</b>(<i>expr</i>): Returns the base-10 logarithm of the expression<br>",
     "&nbsp;&nbsp;<b>log</b>(<i>expr</i>) : Retourne le logarithme de l'expression<br>"},
    {"&nbsp;&nbsp;<b>ln</b>(<i>expr</i>): Returns the natural logarithm of the expression<br>",
     "&nbsp;&nbsp;<b>ln</b>(<i>expr</i>) : Retourne le logarithme népérien de l'expression<br>"},
    {"&nbsp;&nbsp;<b>abs</b>(<i>expr</i>): Returns the absolute value of the expression<br>",
     "&nbsp;&nbsp;<b>abs</b>(<i>expr</i>) : Retourne la valeur absolue de l'expression<br>"},
    {"&nbsp;&nbsp;<b>floor</b>(<i>expr</i>): Returns the rounded downwards to the nearest integer of the expression<br>",
     "&nbsp;&nbsp;<b>floor</b>(<i>expr</i>) : Retourne le plus grand entier inférieur ou égal à l'expression<br>"},
    {"&nbsp;&nbsp;<b>ceil</b>(<i>expr</i>): Returns the rounded upwards to the nearest integer of the expression<br>",
     "&nbsp;&nbsp;<b>ceil</b>(<i>expr</i>) : Retourne le plus petit entier supérieur ou égal à l'expression<br>"},
    {"&nbsp;&nbsp;<b>exp</b>(<i>expr</i>): Returns the exponential fo the expression<br>",
     "&nbsp;&nbsp;<b>exp</b>(<i>expr</i>) : Retourne l'exponentielle de l'expression<br>"},
    {"&nbsp;&nbsp;<b>round</b>(<i>expr</i>): Returns the nearest integer of the expression<br>",
     "&nbsp;&nbsp;<b>round</b>(<i>expr</i>) : Retourne l'arrondi de l'expression<br>"},
    {"&nbsp;&nbsp;<b>sign</b>(<i>expr</i>): Returns the sign of the expression<br>",
     "&nbsp;&nbsp;<b>sign</b>(<i>expr</i>) : Retourne le signe de l'expression<br>"},
    {"<br>&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>expr</i> must be a numerical value<br>",
     "<br>&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>expr</i> doit être une valeur numérique<br>"},
};

const Message calculationFunctions[] = {
    {"&nbsp;&nbsp;<b>sum</b>(<i>var, start, end, expr</i>): Returns the sum of the selection<br>",
     "&nbsp;&nbsp;<b>sum</b>(<i>var, start, end, expr</i>) : Retourne la somme de la sélection<br>"},
    {"&nbsp;&nbsp;<b>prod</b>(<i>var, start, end, expr</i>): Return the product of the selection<br>",
     "&nbsp;&nbsp;<b>prod</b>(<i>var, start, end, expr</i>) : Retourne le produit de la sélection<br>"},
    {"&nbsp;&nbsp;<b>average</b>(<i>var, start, end, expr</i>): Returns the average value of the selection<br>",
     "&nbsp;&nbsp;<b>average</b>(<i>var, start, end, expr</i>) : Retourne la valeur moyenne de la sélection<br>"},
    {"&nbsp;&nbsp;<b>min</b>(<i>var, start, end, expr</i>): Returns the smallest number value of the selection<br>",
     "&nbsp;&nbsp;<b>min</b>(<i>var, start, end, expr</i>) : Retourne la valeur minimum de la sélection<br>"},
    {"&nbsp;&nbsp;<b>max</b>(<i>var, start, end, expr</i>): Returns the highest value of the selection<br>",
     "&nbsp;&nbsp;<b>max</b>(<i>var, start, end, expr</i>) : Retourne la valeur maximum de la sélection<br>"},
    {"&nbsp;&nbsp;<b>stdDev</b>(<i>var, start, end, expr</i>): Returns the standard deviation of the selection<br>",
     "&nbsp;&nbsp;<b>stdDev</b>(<i>var, start, end, expr</i>) : Retourne l'écart type de la sélection<br>"},
    {"&nbsp;&nbsp;<b>var</b>(<i>var, start, end, expr</i>): Returns the variance of the selection<br>",
     "&nbsp;&nbsp;<b>var</b>(<i>var, start, end, expr</i>) : Retourne la variance de la sélection<br>"},
    {"<br>&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>var</i> defines the variable name<br>",
     "<br>&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>var</i> définit le nom de la variable<br>"},
    {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>start</i> defines the starting interval<br>",
     "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>start</i> définit l'intervalle de départ<br>"},
    {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>end</i> defines end of range<br>",
     "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>end</i> définit l'intervalle de fin<br>"},
    {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>expr</i> has to be a numerical value<br>",
     "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>expr</i> doit être une valeur numérique<br>"},
    {"<br>&nbsp;&nbsp;<font color='#CC9933'><b>Examples: </b></font><i>sum(x, 1, 10, x)</i> defines the sum of integer from 1 to 10<br>",
     "<br>&nbsp;&nbsp;<font color='#CC9933'><b>Exemples : </b></font><i>sum(x, 1, 10, x)</i> définit la somme des entiers allant de 1 à 10<br>"},
};

const Message dataAccessFunctions[] = {
    {"&nbsp;&nbsp;<b>data</b>(<i>i, j</i>): Returns the value of the cell located at row <i>i</i> and column <i>j</i> of the dataset <i>data</i><br>",
     "&nbsp;&nbsp;<b>data</b>(<i>i, j</i>) : Retourne la valeur de la cellule à la ligne <i>i</i> et colonne <i>j</i> du tableau <i>data</i><br>"},
    {"&nbsp;&nbsp;<b>colName</b>(<i>data, index</i>): Returns the value of the horizontal header of the dataset called <i>name</i> at the index <i>index</i><br>",
     "&nbsp;&nbsp;<b>colName</b>(<i>data, index</i>) : Retourne la valeur de l'entête horizontale du tableau <i>nom</i> à l'index <i>index</i><br>"},
    {"&nbsp;&nbsp;<b>rowName</b>(<i>data, index</i>) : Returns vertical header value from dataset named <i>data</i> at index <i>index</i><br>",
     "&nbsp;&nbsp;<b>rowName</b>(<i>data, index</i>) : Retourne la valeur de l'entête verticale du tableau <i>nom</i> à l'index <i>index</i><br>"},
    {"<br>&nbsp;&nbsp;<font color='#CC9933'><b>Examples: </b></font><i>data(1,1)</i> Returns the value of the cell indexed 1,1 of the dataset called 'data'<br>",
     "<br>&nbsp;&nbsp;<font color='#CC9933'><b>Exemples : </b></font><i>data(1,1)</i> Retourne la valeur de la cellule d'indice 1,1 du tableau 'data'<br>"},
};

const Message toolFunctions[] = {
    {"&nbsp;&nbsp;<b>rand</b>(<i>[start, end]</i>): Returns a random value between <i>start</i> et <i>end</i>, if no interval is provided, it returns a random value<br>",
     "&nbsp;&nbsp;<b>rand</b>(<i>[start, end]</i>) : Retourne une valeur aléatoire comprise entre <i>start</i> et <i>end</i>, retourne une valeur aléatoire si aucun intervalle n'est donné<br>"},
};

const Message conditionFunctions[] = {
    {"&nbsp;&nbsp;<b>if</b>(<i>condition; formulaTrue; formulaFalse</i>): Returns the value of the expression <i>formulaTrue</i> if the condition is fulfilled and <i>formulaFalse</i> if not<br>",
     "&nbsp;&nbsp;<b>if</b>(<i>condition; formulaTrue; formulaFalse</i>) : Retourne la valeur de l'expression <i>formulaTrue</i> si la condition est vérifiée et celle de <i>formulaFalse</i> sinon<br>"},
};

const Message operators[] = {
    {"&nbsp;&nbsp;<b>+</b>: addition operator<br>",
     "&nbsp;&nbsp;<b>+</b> : Opérateur d'addition<br>"},
    {"&nbsp;&nbsp;<b>-</b>: subtraction operator<br>",
     "&nbsp;&nbsp;<b>-</b> : Opérateur de soustraction<br>"},
    {"&nbsp;&nbsp;<b>*</b>: multiplication operator<br>",
     "&nbsp;&nbsp;<b>*</b> : Opérateur de multiplication<br>"},
    {"&nbsp;&nbsp;<b>/</b>: division operator<br>",
     "&nbsp;&nbsp;<b>/</b> : Opérateur de division<br>"},
    {"&nbsp;&nbsp;<b>^</b>: power operator<br>",
     "&nbsp;&nbsp;<b>^</b> : Opérateur de puissance<br>"},
    {"&nbsp;&nbsp;<b>%</b>: modulo operator<br>",
     "&nbsp;&nbsp;<b>%</b> : Opérateur modulo<br>"},
};

const Message conditionOperators[] = {
    {"&nbsp;&nbsp;<b>AND</b>: logical AND operator<br>",
     "&nbsp;&nbsp;<b>AND</b> : Opérateur logique ET<br>"},
    {"&nbsp;&nbsp;<b>OR</b>: logical OR operator<br>",
     "&nbsp;&nbsp;<b>OR</b> : Opérateur logique OU<br>"},
    {"&nbsp;&nbsp;<b> != </b>: inequality operator<br>",
     "&nbsp;&nbsp;<b> != </b> : Opérateur d'inégalité<br>"},
    {"&nbsp;&nbsp;<b> = </b>: equality operator<br>",
     "&nbsp;&nbsp;<b> = </b> : Opérateur d'égalité<br>"},
    {"&nbsp;&nbsp;<b> &lt; </b>: Less than operator<br>",
     "&nbsp;&nbsp;<b> &lt; </b> : Opérateur d'infériorité<br>"},
    {"&nbsp;&nbsp;<b> &lt; = </b> : less than or equal to operator<br>",
     "&nbsp;&nbsp;<b> &lt; = </b> : Opérateur d'infériorité ou d'égalité<br>"},
    {"&nbsp;&nbsp;<b> > </b>: greater than operator<br>",
     "&nbsp;&nbsp;<b> > </b> : Opérateur de supériorité<br>"},
    {"&nbsp;&nbsp;<b>>= </b>: Greater or equal to operator<br>",
     "&nbsp;&nbsp;<b> >= </b> : Opérateur de supériorité ou d'égalité<br>"},
};

const Message numericalVariables[] = {
    {"&nbsp;&nbsp;<b>NO_VALUE</b> : Variable representing an empty cell in a matrix<br>",
     "&nbsp;&nbsp;<b>NO_VALUE</b> : Variable représentant une case vide d'un tableau numérique<br>"},
};

const Section sections[] = {
    {{"<b>Mathematical functions:</b><br><br>", "<b>Fonctions mathématiques :</b><br><br>"},
     std::begin(mathematicalFunctions), std::end(mathematicalFunctions)},
    {{"<br><b>Calculation functions: </b><br><br>", "<br><b>Fonctions de calculs : </b><br><br>"},
     std::begin(calculationFunctions), std::end(calculationFunctions)},
    {{"<br><b>Data access functions:</b><br><br>", "<br><b>Fonctions d'accès aux données :</b><br><br>"},
     std::begin(dataAccessFunctions), std::end(dataAccessFunctions)},
    {{"<br><b>Tools functions: </b><br><br>", "<br><b>Fonctions outils : </b><br><br>"},
     std::begin(toolFunctions), std::end(toolFunctions)},
    {{"<br><b>Condition function: </b><br><br>", "<br><b>Fonctions de condition : </b><br><br>"},
     std::begin(conditionFunctions), std::end(conditionFunctions)},
    {{"<br><b>Mathematical operations:</b><br><br>", "<br><b>Opérateurs :</b><br><br>"},
     std::begin(operators), std::end(operators)},
    {{"<br><b>Condition operator:</b><br><br>", "<br><b>Opérateurs de condition :</b><br><br>"},
     std::begin(conditionOperators), std::end(conditionOperators)},
    {{"<br><b>Numerical variables:</b><br><br>", "<br><b>Variables numériques :</b><br><br>"},
     std::begin(numericalVariables), std::end(numericalVariables)},
};

// A function that the reader knows but the help text leaves out.
const Message valFunction = {"&nbsp;&nbsp;<b>val</b>(<i>name</i>): Returns the value of the constant called <i>name</i><br>",
                             "&nbsp;&nbsp;<b>val</b>(<i>name</i>) : Retourne la valeur de la constante nommée <i>name</i><br>"};

QString translated(const Message& message)
{
    return QCoreApplication::translate("KXEquationEditor", message.english, message.french, -1);
}

QString plainLine(const QString& html)
{
    QString text = html;
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    return text.replace(QLatin1String("&nbsp;"), QLatin1String(" ")).replace(QLatin1String("&lt;"), QLatin1String("<")).trimmed();
}

}

QString KXEquationQuickHelp::content()
{
    QString text = QLatin1String(FONT_OPEN);
    for (const Section& section : sections) {
        text += QLatin1String(TITLE_OPEN) + translated(section.title) + QLatin1String(FONT_CLOSE);
        for (const Message* entry = section.begin; entry != section.end; ++entry)
            text += translated(*entry);
    }
    return text + QLatin1String(FONT_CLOSE);
}

int KXEquationQuickHelp::titleCount()
{
    return int(std::size(sections));
}

int KXEquationQuickHelp::entryCount()
{
    int count = 0;
    for (const Section& section : sections)
        count += int(section.end - section.begin);
    return count;
}

QString KXEquationQuickHelp::functionDescription(const QString& name)
{
    const QByteArray opening = "<b>" + name.toUtf8() + "</b>(";
    if (name == QLatin1String("val"))
        return plainLine(translated(valFunction));
    for (const Section& section : sections) {
        for (const Message* entry = section.begin; entry != section.end; ++entry) {
            if (QByteArray(entry->english).contains(opening))
                return plainLine(translated(*entry));
        }
    }
    return QString();
}
