#include "KXEquationQuickHelp.h"
#include "KXTestSupport.h"

#include <QtTest>

namespace {
// English and French of each title and entry, in the order the help shows them.
const char* const titles[][2] = {
    {"<b>Mathematical functions:</b><br><br>", "<b>Fonctions mathématiques :</b><br><br>"},
    {"<br><b>Calculation functions: </b><br><br>", "<br><b>Fonctions de calculs : </b><br><br>"},
    {"<br><b>Data access functions:</b><br><br>", "<br><b>Fonctions d'accès aux données :</b><br><br>"},
    {"<br><b>Tools functions: </b><br><br>", "<br><b>Fonctions outils : </b><br><br>"},
    {"<br><b>Condition function: </b><br><br>", "<br><b>Fonctions de condition : </b><br><br>"},
    {"<br><b>Mathematical operations:</b><br><br>", "<br><b>Opérateurs :</b><br><br>"},
    {"<br><b>Condition operator:</b><br><br>", "<br><b>Opérateurs de condition :</b><br><br>"},
    {"<br><b>Numerical variables:</b><br><br>", "<br><b>Variables numériques :</b><br><br>"},
};

const char* const entries[][2] = {
    {"&nbsp;&nbsp;<b>sqrt</b>(<i>expr</i>): Returns the square root of the expression<br>", "&nbsp;&nbsp;<b>sqrt</b>(<i>expr</i>) : Retourne la racine carré de l'expression<br>"},
    {"&nbsp;&nbsp;<b>sin</b>(<i>expr</i>): Returns the sine of the expression<br>", "&nbsp;&nbsp;<b>sin</b>(<i>expr</i>) : Retourne le sinus de l'expression<br>"},
    {"&nbsp;&nbsp;<b>asin</b>(<i>expr</i>): Returns the arcsine of the expression<br>", "&nbsp;&nbsp;<b>asin</b>(<i>expr</i>) : Retourne l'arcsinus  de l'expression<br>"},
    {"&nbsp;&nbsp;<b>cos</b>(<i>expr</i>): Returns the cosine of the expression<br>", "&nbsp;&nbsp;<b>cos</b>(<i>expr</i>) : Retourne le cosinus de l'expression<br>"},
    {"&nbsp;&nbsp;<b>acos</b>(<i>expr</i>): Returns the arccosine of the expression<br>", "&nbsp;&nbsp;<b>acos</b>(<i>expr</i>) : Retourne l'arccosinus  de l'expression<br>"},
    {"&nbsp;&nbsp;<b>tan</b>(<i>expr</i>): Returns the tangent of the expression<br>", "&nbsp;&nbsp;<b>tan</b>(<i>expr</i>) : Retourne la tangente de l'expression<br>"},
    {"&nbsp;&nbsp;<b>atan</b>(<i>expr</i>): Returns the arctangent of the expression<br>", "&nbsp;&nbsp;<b>atan</b>(<i>expr</i>) : Retourne l'arctangente de l'expression<br>"},
    {"&nbsp;&nbsp;<b>log</b>(<i>expr</i>): Returns the base-10 logarithm of the expression<br>", "&nbsp;&nbsp;<b>log</b>(<i>expr</i>) : Retourne le logarithme de l'expression<br>"},
    {"&nbsp;&nbsp;<b>ln</b>(<i>expr</i>): Returns the natural logarithm of the expression<br>", "&nbsp;&nbsp;<b>ln</b>(<i>expr</i>) : Retourne le logarithme népérien de l'expression<br>"},
    {"&nbsp;&nbsp;<b>abs</b>(<i>expr</i>): Returns the absolute value of the expression<br>", "&nbsp;&nbsp;<b>abs</b>(<i>expr</i>) : Retourne la valeur absolue de l'expression<br>"},
    {"&nbsp;&nbsp;<b>floor</b>(<i>expr</i>): Returns the rounded downwards to the nearest integer of the expression<br>", "&nbsp;&nbsp;<b>floor</b>(<i>expr</i>) : Retourne le plus grand entier inférieur ou égal à l'expression<br>"},
    {"&nbsp;&nbsp;<b>ceil</b>(<i>expr</i>): Returns the rounded upwards to the nearest integer of the expression<br>", "&nbsp;&nbsp;<b>ceil</b>(<i>expr</i>) : Retourne le plus petit entier supérieur ou égal à l'expression<br>"},
    {"&nbsp;&nbsp;<b>exp</b>(<i>expr</i>): Returns the exponential fo the expression<br>", "&nbsp;&nbsp;<b>exp</b>(<i>expr</i>) : Retourne l'exponentielle de l'expression<br>"},
    {"&nbsp;&nbsp;<b>round</b>(<i>expr</i>): Returns the nearest integer of the expression<br>", "&nbsp;&nbsp;<b>round</b>(<i>expr</i>) : Retourne l'arrondi de l'expression<br>"},
    {"&nbsp;&nbsp;<b>sign</b>(<i>expr</i>): Returns the sign of the expression<br>", "&nbsp;&nbsp;<b>sign</b>(<i>expr</i>) : Retourne le signe de l'expression<br>"},
    {"<br>&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>expr</i> must be a numerical value<br>", "<br>&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>expr</i> doit être une valeur numérique<br>"},
    {"&nbsp;&nbsp;<b>sum</b>(<i>var, start, end, expr</i>): Returns the sum of the selection<br>", "&nbsp;&nbsp;<b>sum</b>(<i>var, start, end, expr</i>) : Retourne la somme de la sélection<br>"},
    {"&nbsp;&nbsp;<b>prod</b>(<i>var, start, end, expr</i>): Return the product of the selection<br>", "&nbsp;&nbsp;<b>prod</b>(<i>var, start, end, expr</i>) : Retourne le produit de la sélection<br>"},
    {"&nbsp;&nbsp;<b>average</b>(<i>var, start, end, expr</i>): Returns the average value of the selection<br>", "&nbsp;&nbsp;<b>average</b>(<i>var, start, end, expr</i>) : Retourne la valeur moyenne de la sélection<br>"},
    {"&nbsp;&nbsp;<b>min</b>(<i>var, start, end, expr</i>): Returns the smallest number value of the selection<br>", "&nbsp;&nbsp;<b>min</b>(<i>var, start, end, expr</i>) : Retourne la valeur minimum de la sélection<br>"},
    {"&nbsp;&nbsp;<b>max</b>(<i>var, start, end, expr</i>): Returns the highest value of the selection<br>", "&nbsp;&nbsp;<b>max</b>(<i>var, start, end, expr</i>) : Retourne la valeur maximum de la sélection<br>"},
    {"&nbsp;&nbsp;<b>stdDev</b>(<i>var, start, end, expr</i>): Returns the standard deviation of the selection<br>", "&nbsp;&nbsp;<b>stdDev</b>(<i>var, start, end, expr</i>) : Retourne l'écart type de la sélection<br>"},
    {"&nbsp;&nbsp;<b>var</b>(<i>var, start, end, expr</i>): Returns the variance of the selection<br>", "&nbsp;&nbsp;<b>var</b>(<i>var, start, end, expr</i>) : Retourne la variance de la sélection<br>"},
    {"<br>&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>var</i> defines the variable name<br>", "<br>&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>var</i> définit le nom de la variable<br>"},
    {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>start</i> defines the starting interval<br>", "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>start</i> définit l'intervalle de départ<br>"},
    {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>end</i> defines end of range<br>", "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>end</i> définit l'intervalle de fin<br>"},
    {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>expr</i> has to be a numerical value<br>", "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>expr</i> doit être une valeur numérique<br>"},
    {"<br>&nbsp;&nbsp;<font color='#CC9933'><b>Examples: </b></font><i>sum(x, 1, 10, x)</i> defines the sum of integer from 1 to 10<br>", "<br>&nbsp;&nbsp;<font color='#CC9933'><b>Exemples : </b></font><i>sum(x, 1, 10, x)</i> définit la somme des entiers allant de 1 à 10<br>"},
    {"&nbsp;&nbsp;<b>data</b>(<i>i, j</i>): Returns the value of the cell located at row <i>i</i> and column <i>j</i> of the dataset <i>data</i><br>", "&nbsp;&nbsp;<b>data</b>(<i>i, j</i>) : Retourne la valeur de la cellule à la ligne <i>i</i> et colonne <i>j</i> du tableau <i>data</i><br>"},
    {"&nbsp;&nbsp;<b>colName</b>(<i>data, index</i>): Returns the value of the horizontal header of the dataset called <i>name</i> at the index <i>index</i><br>", "&nbsp;&nbsp;<b>colName</b>(<i>data, index</i>) : Retourne la valeur de l'entête horizontale du tableau <i>nom</i> à l'index <i>index</i><br>"},
    {"&nbsp;&nbsp;<b>rowName</b>(<i>data, index</i>) : Returns vertical header value from dataset named <i>data</i> at index <i>index</i><br>", "&nbsp;&nbsp;<b>rowName</b>(<i>data, index</i>) : Retourne la valeur de l'entête verticale du tableau <i>nom</i> à l'index <i>index</i><br>"},
    {"<br>&nbsp;&nbsp;<font color='#CC9933'><b>Examples: </b></font><i>data(1,1)</i> Returns the value of the cell indexed 1,1 of the dataset called 'data'<br>", "<br>&nbsp;&nbsp;<font color='#CC9933'><b>Exemples : </b></font><i>data(1,1)</i> Retourne la valeur de la cellule d'indice 1,1 du tableau 'data'<br>"},
    {"&nbsp;&nbsp;<b>rand</b>(<i>[start, end]</i>): Returns a random value between <i>start</i> et <i>end</i>, if no interval is provided, it returns a random value<br>", "&nbsp;&nbsp;<b>rand</b>(<i>[start, end]</i>) : Retourne une valeur aléatoire comprise entre <i>start</i> et <i>end</i>, retourne une valeur aléatoire si aucun intervalle n'est donné<br>"},
    {"&nbsp;&nbsp;<b>if</b>(<i>condition; formulaTrue; formulaFalse</i>): Returns the value of the expression <i>formulaTrue</i> if the condition is fulfilled and <i>formulaFalse</i> if not<br>", "&nbsp;&nbsp;<b>if</b>(<i>condition; formulaTrue; formulaFalse</i>) : Retourne la valeur de l'expression <i>formulaTrue</i> si la condition est vérifiée et celle de <i>formulaFalse</i> sinon<br>"},
    {"&nbsp;&nbsp;<b>+</b>: addition operator<br>", "&nbsp;&nbsp;<b>+</b> : Opérateur d'addition<br>"},
    {"&nbsp;&nbsp;<b>-</b>: subtraction operator<br>", "&nbsp;&nbsp;<b>-</b> : Opérateur de soustraction<br>"},
    {"&nbsp;&nbsp;<b>*</b>: multiplication operator<br>", "&nbsp;&nbsp;<b>*</b> : Opérateur de multiplication<br>"},
    {"&nbsp;&nbsp;<b>/</b>: division operator<br>", "&nbsp;&nbsp;<b>/</b> : Opérateur de division<br>"},
    {"&nbsp;&nbsp;<b>^</b>: power operator<br>", "&nbsp;&nbsp;<b>^</b> : Opérateur de puissance<br>"},
    {"&nbsp;&nbsp;<b>%</b>: modulo operator<br>", "&nbsp;&nbsp;<b>%</b> : Opérateur modulo<br>"},
    {"&nbsp;&nbsp;<b>AND</b>: logical AND operator<br>", "&nbsp;&nbsp;<b>AND</b> : Opérateur logique ET<br>"},
    {"&nbsp;&nbsp;<b>OR</b>: logical OR operator<br>", "&nbsp;&nbsp;<b>OR</b> : Opérateur logique OU<br>"},
    {"&nbsp;&nbsp;<b> != </b>: inequality operator<br>", "&nbsp;&nbsp;<b> != </b> : Opérateur d'inégalité<br>"},
    {"&nbsp;&nbsp;<b> = </b>: equality operator<br>", "&nbsp;&nbsp;<b> = </b> : Opérateur d'égalité<br>"},
    {"&nbsp;&nbsp;<b> &lt; </b>: Less than operator<br>", "&nbsp;&nbsp;<b> &lt; </b> : Opérateur d'infériorité<br>"},
    {"&nbsp;&nbsp;<b> &lt; = </b> : less than or equal to operator<br>", "&nbsp;&nbsp;<b> &lt; = </b> : Opérateur d'infériorité ou d'égalité<br>"},
    {"&nbsp;&nbsp;<b> > </b>: greater than operator<br>", "&nbsp;&nbsp;<b> > </b> : Opérateur de supériorité<br>"},
    {"&nbsp;&nbsp;<b>>= </b>: Greater or equal to operator<br>", "&nbsp;&nbsp;<b> >= </b> : Opérateur de supériorité ou d'égalité<br>"},
    {"&nbsp;&nbsp;<b>NO_VALUE</b> : Variable representing an empty cell in a matrix<br>", "&nbsp;&nbsp;<b>NO_VALUE</b> : Variable représentant une case vide d'un tableau numérique<br>"},
};

// Index of the first entry under each title.
const int sectionStarts[] = {0, 16, 28, 32, 33, 34, 40, 48};
}

class TestQuickHelp : public QObject
{
    Q_OBJECT
private slots:
    void content_data();
    void content();
};

void TestQuickHelp::content_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("en") << int(TApplicationTranslator::English);
    QTest::newRow("fr") << int(TApplicationTranslator::French);
}

// Every piece in place, one after the other; each call reads the current language.
void TestQuickHelp::content()
{
    QFETCH(int, language);
    KXTest::LanguageScope scope{TApplicationTranslator::Language(language)};
    const int french = language == TApplicationTranslator::French;
    QCOMPARE(KXEquationQuickHelp::titleCount(), int(std::size(titles)));
    QCOMPARE(KXEquationQuickHelp::entryCount(), int(std::size(entries)));
    QStringList pieces{"<font face=\"Verdana\" size=4>"};
    for (int entry = 0, section = 0; entry < int(std::size(entries)); ++entry) {
        if (section < int(std::size(sectionStarts)) && sectionStarts[section] == entry)
            pieces << "<font COLOR=\"#336699\">" + QString::fromUtf8(titles[section++][french]) + "</font>";
        pieces << QString::fromUtf8(entries[entry][french]);
    }
    pieces << "</font>";
    const QString text = KXEquationQuickHelp::content();
    int position = 0;
    for (const QString& piece : qAsConst(pieces)) {
        QVERIFY2(text.midRef(position).startsWith(piece), qPrintable("missing here: " + piece));
        position += piece.size();
    }
    QCOMPARE(position, text.size());
}

QTEST_GUILESS_MAIN(TestQuickHelp)
#include "tst_quickhelp.moc"
