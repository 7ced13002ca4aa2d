#include "KXEquationQuickHelp.h"
#include "KXTestSupport.h"

#include <QtTest>

namespace {
struct Bilingual
{
    const char* english;
    const char* french;
};

const Bilingual expectedTitles[] = {
    {"<b>Mathematical functions:</b><br><br>", "<b>Fonctions mathématiques :</b><br><br>"},
    {"<br><b>Calculation functions: </b><br><br>", "<br><b>Fonctions de calculs : </b><br><br>"},
    {"<br><b>Data access functions:</b><br><br>", "<br><b>Fonctions d'accès aux données :</b><br><br>"},
    {"<br><b>Tools functions: </b><br><br>", "<br><b>Fonctions outils : </b><br><br>"},
    {"<br><b>Condition function: </b><br><br>", "<br><b>Fonctions de condition : </b><br><br>"},
    {"<br><b>Mathematical operations:</b><br><br>", "<br><b>Opérateurs :</b><br><br>"},
    {"<br><b>Condition operator:</b><br><br>", "<br><b>Opérateurs de condition :</b><br><br>"},
    {"<br><b>Numerical variables:</b><br><br>", "<br><b>Variables numériques :</b><br><br>"},
};

const Bilingual expectedEntries[] = {
    /*  1 */ {"&nbsp;&nbsp;<b>sqrt</b>(<i>expr</i>): Returns the square root of the expression<br>",
            "&nbsp;&nbsp;<b>sqrt</b>(<i>expr</i>) : Retourne la racine carré de l'expression<br>"},
    /*  2 */ {"&nbsp;&nbsp;<b>sin</b>(<i>expr</i>): Returns the sine of the expression<br>",
            "&nbsp;&nbsp;<b>sin</b>(<i>expr</i>) : Retourne le sinus de l'expression<br>"},
    /*  3 */ {"&nbsp;&nbsp;<b>asin</b>(<i>expr</i>): Returns the arcsine of the expression<br>",
            "&nbsp;&nbsp;<b>asin</b>(<i>expr</i>) : Retourne l'arcsinus  de l'expression<br>"},
    /*  4 */ {"&nbsp;&nbsp;<b>cos</b>(<i>expr</i>): Returns the cosine of the expression<br>",
            "&nbsp;&nbsp;<b>cos</b>(<i>expr</i>) : Retourne le cosinus de l'expression<br>"},
    /*  5 */ {"&nbsp;&nbsp;<b>acos</b>(<i>expr</i>): Returns the arccosine of the expression<br>",
            "&nbsp;&nbsp;<b>acos</b>(<i>expr</i>) : Retourne l'arccosinus  de l'expression<br>"},
    /*  6 */ {"&nbsp;&nbsp;<b>tan</b>(<i>expr</i>): Returns the tangent of the expression<br>",
            "&nbsp;&nbsp;<b>tan</b>(<i>expr</i>) : Retourne la tangente de l'expression<br>"},
    /*  7 */ {"&nbsp;&nbsp;<b>atan</b>(<i>expr</i>): Returns the arctangent of the expression<br>",
            "&nbsp;&nbsp;<b>atan</b>(<i>expr</i>) : Retourne l'arctangente de l'expression<br>"},
    /*  8 */ {"&nbsp;&nbsp;<b>log</b>(<i>expr</i>): Returns the base-10 logarithm of the expression<br>",
            "&nbsp;&nbsp;<b>log</b>(<i>expr</i>) : Retourne le logarithme de l'expression<br>"},
    /*  9 */ {"&nbsp;&nbsp;<b>ln</b>(<i>expr</i>): Returns the natural logarithm of the expression<br>",
            "&nbsp;&nbsp;<b>ln</b>(<i>expr</i>) : Retourne le logarithme népérien de l'expression<br>"},
    /* 10 */ {"&nbsp;&nbsp;<b>abs</b>(<i>expr</i>): Returns the absolute value of the expression<br>",
            "&nbsp;&nbsp;<b>abs</b>(<i>expr</i>) : Retourne la valeur absolue de l'expression<br>"},
    /* 11 */ {"&nbsp;&nbsp;<b>floor</b>(<i>expr</i>): Returns the rounded downwards to the nearest integer of the expression<br>",
            "&nbsp;&nbsp;<b>floor</b>(<i>expr</i>) : Retourne le plus grand entier inférieur ou égal à l'expression<br>"},
    /* 12 */ {"&nbsp;&nbsp;<b>ceil</b>(<i>expr</i>): Returns the rounded upwards to the nearest integer of the expression<br>",
            "&nbsp;&nbsp;<b>ceil</b>(<i>expr</i>) : Retourne le plus petit entier supérieur ou égal à l'expression<br>"},
    /* 13 */ {"&nbsp;&nbsp;<b>exp</b>(<i>expr</i>): Returns the exponential fo the expression<br>",
            "&nbsp;&nbsp;<b>exp</b>(<i>expr</i>) : Retourne l'exponentielle de l'expression<br>"},
    /* 14 */ {"&nbsp;&nbsp;<b>round</b>(<i>expr</i>): Returns the nearest integer of the expression<br>",
            "&nbsp;&nbsp;<b>round</b>(<i>expr</i>) : Retourne l'arrondi de l'expression<br>"},
    /* 15 */ {"&nbsp;&nbsp;<b>sign</b>(<i>expr</i>): Returns the sign of the expression<br>",
            "&nbsp;&nbsp;<b>sign</b>(<i>expr</i>) : Retourne le signe de l'expression<br>"},
    /* 16 */ {"<br>&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>expr</i> must be a numerical value<br>",
            "<br>&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>expr</i> doit être une valeur numérique<br>"},
    /* 17 */ {"&nbsp;&nbsp;<b>sum</b>(<i>var, start, end, expr</i>): Returns the sum of the selection<br>",
            "&nbsp;&nbsp;<b>sum</b>(<i>var, start, end, expr</i>) : Retourne la somme de la sélection<br>"},
    /* 18 */ {"&nbsp;&nbsp;<b>prod</b>(<i>var, start, end, expr</i>): Return the product of the selection<br>",
            "&nbsp;&nbsp;<b>prod</b>(<i>var, start, end, expr</i>) : Retourne le produit de la sélection<br>"},
    /* 19 */ {"&nbsp;&nbsp;<b>average</b>(<i>var, start, end, expr</i>): Returns the average value of the selection<br>",
            "&nbsp;&nbsp;<b>average</b>(<i>var, start, end, expr</i>) : Retourne la valeur moyenne de la sélection<br>"},
    /* 20 */ {"&nbsp;&nbsp;<b>min</b>(<i>var, start, end, expr</i>): Returns the smallest number value of the selection<br>",
            "&nbsp;&nbsp;<b>min</b>(<i>var, start, end, expr</i>) : Retourne la valeur minimum de la sélection<br>"},
    /* 21 */ {"&nbsp;&nbsp;<b>max</b>(<i>var, start, end, expr</i>): Returns the highest value of the selection<br>",
            "&nbsp;&nbsp;<b>max</b>(<i>var, start, end, expr</i>) : Retourne la valeur maximum de la sélection<br>"},
    /* 22 */ {"&nbsp;&nbsp;<b>stdDev</b>(<i>var, start, end, expr</i>): Returns the standard deviation of the selection<br>",
            "&nbsp;&nbsp;<b>stdDev</b>(<i>var, start, end, expr</i>) : Retourne l'écart type de la sélection<br>"},
    /* 23 */ {"&nbsp;&nbsp;<b>var</b>(<i>var, start, end, expr</i>): Returns the variance of the selection<br>",
            "&nbsp;&nbsp;<b>var</b>(<i>var, start, end, expr</i>) : Retourne la variance de la sélection<br>"},
    /* 24 */ {"<br>&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>var</i> defines the variable name<br>",
            "<br>&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>var</i> définit le nom de la variable<br>"},
    /* 25 */ {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>start</i> defines the starting interval<br>",
            "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>start</i> définit l'intervalle de départ<br>"},
    /* 26 */ {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>end</i> defines end of range<br>",
            "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>end</i> définit l'intervalle de fin<br>"},
    /* 27 */ {"&nbsp;&nbsp;<font color='#006633'><b>Parameters: </b></font><i>expr</i> has to be a numerical value<br>",
            "&nbsp;&nbsp;<font color='#006633'><b>Paramètres : </b></font><i>expr</i> doit être une valeur numérique<br>"},
    /* 28 */ {"<br>&nbsp;&nbsp;<font color='#CC9933'><b>Examples: </b></font><i>sum(x, 1, 10, x)</i> defines the sum of integer from 1 to 10<br>",
            "<br>&nbsp;&nbsp;<font color='#CC9933'><b>Exemples : </b></font><i>sum(x, 1, 10, x)</i> définit la somme des entiers allant de 1 à 10<br>"},
    /* 29 */ {"&nbsp;&nbsp;<b>data</b>(<i>i, j</i>): Returns the value of the cell located at row <i>i</i> and column <i>j</i> of the dataset <i>data</i><br>",
            "&nbsp;&nbsp;<b>data</b>(<i>i, j</i>) : Retourne la valeur de la cellule à la ligne <i>i</i> et colonne <i>j</i> du tableau <i>data</i><br>"},
    /* 30 */ {"&nbsp;&nbsp;<b>colName</b>(<i>data, index</i>): Returns the value of the horizontal header of the dataset called <i>name</i> at the index <i>index</i><br>",
            "&nbsp;&nbsp;<b>colName</b>(<i>data, index</i>) : Retourne la valeur de l'entête horizontale du tableau <i>nom</i> à l'index <i>index</i><br>"},
    /* 31 */ {"&nbsp;&nbsp;<b>rowName</b>(<i>data, index</i>) : Returns vertical header value from dataset named <i>data</i> at index <i>index</i><br>",
            "&nbsp;&nbsp;<b>rowName</b>(<i>data, index</i>) : Retourne la valeur de l'entête verticale du tableau <i>nom</i> à l'index <i>index</i><br>"},
    /* 32 */ {"<br>&nbsp;&nbsp;<font color='#CC9933'><b>Examples: </b></font><i>data(1,1)</i> Returns the value of the cell indexed 1,1 of the dataset called 'data'<br>",
            "<br>&nbsp;&nbsp;<font color='#CC9933'><b>Exemples : </b></font><i>data(1,1)</i> Retourne la valeur de la cellule d'indice 1,1 du tableau 'data'<br>"},
    /* 33 */ {"&nbsp;&nbsp;<b>rand</b>(<i>[start, end]</i>): Returns a random value between <i>start</i> et <i>end</i>, if no interval is provided, it returns a random value<br>",
            "&nbsp;&nbsp;<b>rand</b>(<i>[start, end]</i>) : Retourne une valeur aléatoire comprise entre <i>start</i> et <i>end</i>, retourne une valeur aléatoire si aucun intervalle n'est donné<br>"},
    /* 34 */ {"&nbsp;&nbsp;<b>if</b>(<i>condition; formulaTrue; formulaFalse</i>): Returns the value of the expression <i>formulaTrue</i> if the condition is fulfilled and <i>formulaFalse</i> if not<br>",
            "&nbsp;&nbsp;<b>if</b>(<i>condition; formulaTrue; formulaFalse</i>) : Retourne la valeur de l'expression <i>formulaTrue</i> si la condition est vérifiée et celle de <i>formulaFalse</i> sinon<br>"},
    /* 35 */ {"&nbsp;&nbsp;<b>+</b>: addition operator<br>",
            "&nbsp;&nbsp;<b>+</b> : Opérateur d'addition<br>"},
    /* 36 */ {"&nbsp;&nbsp;<b>-</b>: subtraction operator<br>",
            "&nbsp;&nbsp;<b>-</b> : Opérateur de soustraction<br>"},
    /* 37 */ {"&nbsp;&nbsp;<b>*</b>: multiplication operator<br>",
            "&nbsp;&nbsp;<b>*</b> : Opérateur de multiplication<br>"},
    /* 38 */ {"&nbsp;&nbsp;<b>/</b>: division operator<br>",
            "&nbsp;&nbsp;<b>/</b> : Opérateur de division<br>"},
    /* 39 */ {"&nbsp;&nbsp;<b>^</b>: power operator<br>",
            "&nbsp;&nbsp;<b>^</b> : Opérateur de puissance<br>"},
    /* 40 */ {"&nbsp;&nbsp;<b>%</b>: modulo operator<br>",
            "&nbsp;&nbsp;<b>%</b> : Opérateur modulo<br>"},
    /* 41 */ {"&nbsp;&nbsp;<b>AND</b>: logical AND operator<br>",
            "&nbsp;&nbsp;<b>AND</b> : Opérateur logique ET<br>"},
    /* 42 */ {"&nbsp;&nbsp;<b>OR</b>: logical OR operator<br>",
            "&nbsp;&nbsp;<b>OR</b> : Opérateur logique OU<br>"},
    /* 43 */ {"&nbsp;&nbsp;<b> != </b>: inequality operator<br>",
            "&nbsp;&nbsp;<b> != </b> : Opérateur d'inégalité<br>"},
    /* 44 */ {"&nbsp;&nbsp;<b> = </b>: equality operator<br>",
            "&nbsp;&nbsp;<b> = </b> : Opérateur d'égalité<br>"},
    /* 45 */ {"&nbsp;&nbsp;<b> &lt; </b>: Less than operator<br>",
            "&nbsp;&nbsp;<b> &lt; </b> : Opérateur d'infériorité<br>"},
    /* 46 */ {"&nbsp;&nbsp;<b> &lt; = </b> : less than or equal to operator<br>",
            "&nbsp;&nbsp;<b> &lt; = </b> : Opérateur d'infériorité ou d'égalité<br>"},
    /* 47 */ {"&nbsp;&nbsp;<b> > </b>: greater than operator<br>",
            "&nbsp;&nbsp;<b> > </b> : Opérateur de supériorité<br>"},
    /* 48 */ {"&nbsp;&nbsp;<b>>= </b>: Greater or equal to operator<br>",
            "&nbsp;&nbsp;<b> >= </b> : Opérateur de supériorité ou d'égalité<br>"},
    /* 49 */ {"&nbsp;&nbsp;<b>NO_VALUE</b> : Variable representing an empty cell in a matrix<br>",
            "&nbsp;&nbsp;<b>NO_VALUE</b> : Variable représentant une case vide d'un tableau numérique<br>"},
};

// Number of the first entry of each section.
const int firstEntryOfSection[] = {1, 17, 29, 33, 34, 35, 41, 49};

const char OPENING[] = "<font face=\"Verdana\" size=4>";
const char CLOSING[] = "</font>";

QString pick(const Bilingual& text, bool french)
{
    return QString::fromUtf8(french ? text.french : text.english);
}

QString wrappedTitle(int section, bool french)
{
    return QStringLiteral("<font COLOR=\"#336699\">") + pick(expectedTitles[section - 1], french)
        + QStringLiteral("</font>");
}

// What the text must hold right before the section's title: the opening, or the last entry before it.
QString beforeTitle(int section, bool french)
{
    if (section == 1)
        return QString::fromLatin1(OPENING);
    return pick(expectedEntries[firstEntryOfSection[section - 1] - 2], french);
}

// What the text must hold right before the entry: its section's title, or the previous entry.
QString beforeEntry(int number, bool french)
{
    for (int section = 1; section <= int(std::size(firstEntryOfSection)); ++section) {
        if (firstEntryOfSection[section - 1] == number)
            return wrappedTitle(section, french);
    }
    return pick(expectedEntries[number - 2], french);
}

TApplicationTranslator::Language language(bool french)
{
    return french ? TApplicationTranslator::French : TApplicationTranslator::English;
}

void addLanguageRows()
{
    QTest::addColumn<bool>("french");
    QTest::newRow("en") << false;
    QTest::newRow("fr") << true;
}
}

class TestQuickHelp : public QObject
{
    Q_OBJECT
private slots:
    void frame_data() { addLanguageRows(); }
    void frame();
    void counts_data() { addLanguageRows(); }
    void counts();
    void titles_data();
    void titles();
    void entries_data();
    void entries();
    void followsLanguageChange();
};

void TestQuickHelp::frame()
{
    QFETCH(bool, french);
    KXTest::LanguageScope scope(language(french));
    const QString text = KXEquationQuickHelp::content();
    QVERIFY(text.startsWith(QString::fromLatin1(OPENING) + wrappedTitle(1, french)));
    QVERIFY(text.endsWith(pick(expectedEntries[48], french) + QString::fromLatin1(CLOSING)));
}

void TestQuickHelp::counts()
{
    QFETCH(bool, french);
    KXTest::LanguageScope scope(language(french));
    const QString text = KXEquationQuickHelp::content();
    QCOMPARE(KXEquationQuickHelp::titleCount(), int(std::size(expectedTitles)));
    QCOMPARE(KXEquationQuickHelp::entryCount(), int(std::size(expectedEntries)));
    QCOMPARE(text.count(QStringLiteral("<font COLOR=\"#336699\">")), int(std::size(expectedTitles)));
    QCOMPARE(text.count(QStringLiteral("&nbsp;&nbsp;")), int(std::size(expectedEntries)));
}

void TestQuickHelp::titles_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<int>("section");
    for (int section = 1; section <= int(std::size(expectedTitles)); ++section) {
        QTest::addRow("en-%d", section) << false << section;
        QTest::addRow("fr-%d", section) << true << section;
    }
}

void TestQuickHelp::titles()
{
    QFETCH(bool, french);
    QFETCH(int, section);
    KXTest::LanguageScope scope(language(french));
    const QString text = KXEquationQuickHelp::content();
    QVERIFY(text.contains(beforeTitle(section, french) + wrappedTitle(section, french)));
    QVERIFY(!text.contains(pick(expectedTitles[section - 1], !french)));
}

void TestQuickHelp::entries_data()
{
    QTest::addColumn<bool>("french");
    QTest::addColumn<int>("number");
    for (int number = 1; number <= int(std::size(expectedEntries)); ++number) {
        QTest::addRow("en-%d", number) << false << number;
        QTest::addRow("fr-%d", number) << true << number;
    }
}

void TestQuickHelp::entries()
{
    QFETCH(bool, french);
    QFETCH(int, number);
    KXTest::LanguageScope scope(language(french));
    const QString text = KXEquationQuickHelp::content();
    const QString entry = pick(expectedEntries[number - 1], french);
    QVERIFY2(text.contains(entry), qPrintable(entry));
    QVERIFY2(text.contains(beforeEntry(number, french) + entry), "not right after the previous piece");
    QVERIFY(!text.contains(pick(expectedEntries[number - 1], !french)));
}

// Each call reads the current language: English, then French, then English again.
void TestQuickHelp::followsLanguageChange()
{
    KXTest::LanguageScope englishScope(TApplicationTranslator::English);
    const QString english = KXEquationQuickHelp::content();
    QString french;
    {
        KXTest::LanguageScope frenchScope(TApplicationTranslator::French);
        french = KXEquationQuickHelp::content();
    }
    QVERIFY(english.contains(pick(expectedTitles[0], false)));
    QVERIFY(french.contains(pick(expectedTitles[0], true)));
    QCOMPARE(KXEquationQuickHelp::content(), english);
}

QTEST_GUILESS_MAIN(TestQuickHelp)
#include "tst_quickhelp.moc"
