// kxequation-desktop: the equation module inside a small desktop host.

#include "KXDesktopPanels.h"
#include "KXDesktopWindow.h"
#include "KXEquationCtrl.h"
#include "KXEquationFormulaEdit.h"
#include "KXEquationModel.h"
#include "KXError.h"
#include "KXScreenFit.h"
#include "TApplicationTranslator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QScreen>
#include <QTimer>

#include <cstdio>

namespace {

// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("KXDesktop", english, french, -1);
}
QString description()
{
    return tr("The equation module in a desktop window. A project folder holds datasets as "
              "<dataset>/<subdataset>.csv files.",
              "Le module d'équation dans une fenêtre. Un dossier de projet contient les tableaux sous la forme de "
              "fichiers <tableau>/<sous-tableau>.csv.");
}
QString unknownLanguageMessage(const QString& code)
{
    return tr("Unknown language %1: choose en or fr.", "Langue %1 inconnue : choisissez en ou fr.").arg(code);
}
QString noDatasetMessage(const QString& name)
{
    return tr("The project holds no dataset %1.", "Le projet ne contient pas de tableau %1.").arg(name);
}
QString screenshotFailedMessage(const QString& file)
{
    return tr("Cannot write the picture %1.", "Impossible d'écrire l'image %1.").arg(file);
}

struct Options
{
    QString project;
    QString dataset;
    QString formula;
    QString range[4];
    QString rowName;
    QString colName;
    bool compute = false;
    QString screenshot;
    QString settings;
    QString helpSearch;
    bool closeQuestion = false;
    QString chartAction; // "hover" or "zoom", before the picture
    QSize size;
};

// The language comes first: every other text of the program depends on it.
QString languageArgument(const QStringList& arguments)
{
    for (int k = 1; k < arguments.size(); ++k) {
        if (arguments[k] == QLatin1String("--lang") && k + 1 < arguments.size())
            return arguments[k + 1];
        if (arguments[k].startsWith(QLatin1String("--lang=")))
            return arguments[k].mid(7);
    }
    return QStringLiteral("en");
}

Options parse(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(description());
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("project"), tr("Project folder to open.", "Dossier de projet à ouvrir."),
                                 QStringLiteral("[PROJECT]"));
    const QCommandLineOption lang(QStringLiteral("lang"), tr("Language: en or fr.", "Langue : en ou fr."),
                                  QStringLiteral("en|fr"));
    const QCommandLineOption dataset(QStringLiteral("dataset"),
                                     tr("Dataset to select, as dataset.subdataset.",
                                        "Tableau à sélectionner, sous la forme tableau.sous-tableau."),
                                     QStringLiteral("NAME"));
    const QCommandLineOption formula(QStringLiteral("formula"),
                                     tr("Start an equation on the selected dataset with this formula.",
                                        "Démarrer une équation sur le tableau sélectionné avec cette formule."),
                                     QStringLiteral("F"));
    const QCommandLineOption firstRow(QStringLiteral("first-row"), tr("First row of the range.", "Première ligne."),
                                      QStringLiteral("T"));
    const QCommandLineOption lastRow(QStringLiteral("last-row"), tr("Last row of the range.", "Dernière ligne."),
                                     QStringLiteral("T"));
    const QCommandLineOption firstCol(QStringLiteral("first-col"),
                                      tr("First column of the range.", "Première colonne."), QStringLiteral("T"));
    const QCommandLineOption lastCol(QStringLiteral("last-col"), tr("Last column of the range.", "Dernière colonne."),
                                     QStringLiteral("T"));
    const QCommandLineOption rowName(QStringLiteral("row-name"),
                                     tr("Formula of the new rows' names.", "Formule du nom des nouvelles lignes."),
                                     QStringLiteral("F"));
    const QCommandLineOption colName(QStringLiteral("col-name"),
                                     tr("Formula of the new columns' names.", "Formule du nom des nouvelles colonnes."),
                                     QStringLiteral("F"));
    const QCommandLineOption compute(QStringLiteral("compute"),
                                     tr("Launch the equation at once.", "Exécuter l'équation aussitôt."));
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        tr("Save a picture of the window in FILE, then quit.",
                                           "Enregistrer une image de la fenêtre dans FICHIER, puis quitter."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption size(QStringLiteral("size"), tr("Window size.", "Taille de la fenêtre."),
                                  QStringLiteral("WxH"));
    const QCommandLineOption settings(QStringLiteral("settings"),
                                      tr("Keep the window layout and the recent projects in FILE.",
                                         "Garder la disposition de la fenêtre et les projets récents dans FICHIER."),
                                      QStringLiteral("FILE"));
    const QCommandLineOption helpSearch(QStringLiteral("help-search"),
                                        tr("Open the formula's help window and search it for TEXT; the picture "
                                           "of --screenshot is then that of the help window.",
                                           "Ouvrir l'aide de la formule et y chercher TEXTE ; l'image de "
                                           "--screenshot est alors celle de l'aide."),
                                        QStringLiteral("TEXT"));
    const QCommandLineOption closeQuestion(QStringLiteral("close-question"),
                                           tr("Close the window, which asks about unsaved work; the picture of "
                                              "--screenshot is then that of the question, answered Cancel.",
                                              "Fermer la fenêtre, qui pose la question du travail non "
                                              "enregistré ; l'image de --screenshot est alors celle de la "
                                              "question, à laquelle Annuler répond."));
    const QCommandLineOption chartAction(QStringLiteral("chart"),
                                         tr("Before the picture, point at the chart's first value (hover) or turn the "
                                            "wheel three notches over it (zoom).",
                                            "Avant l'image, pointer la première valeur du graphique (hover) ou "
                                            "tourner la molette de trois crans dessus (zoom)."),
                                         QStringLiteral("hover|zoom"));
    parser.addOptions({lang, dataset, formula, firstRow, lastRow, firstCol, lastCol, rowName, colName, compute,
                       screenshot, size, settings, helpSearch, closeQuestion, chartAction});
    parser.process(arguments);

    Options options;
    options.project = parser.positionalArguments().value(0);
    options.dataset = parser.value(dataset);
    options.formula = parser.value(formula);
    options.range[0] = parser.value(firstRow);
    options.range[1] = parser.value(lastRow);
    options.range[2] = parser.value(firstCol);
    options.range[3] = parser.value(lastCol);
    options.rowName = parser.value(rowName);
    options.colName = parser.value(colName);
    options.compute = parser.isSet(compute);
    options.screenshot = parser.value(screenshot);
    options.settings = parser.value(settings);
    options.helpSearch = parser.value(helpSearch);
    options.closeQuestion = parser.isSet(closeQuestion);
    options.chartAction = parser.value(chartAction);
    const QStringList sizes = parser.value(size).split(QLatin1Char('x'));
    if (sizes.size() == 2 && sizes[0].toInt() > 0 && sizes[1].toInt() > 0)
        options.size = QSize(sizes[0].toInt(), sizes[1].toInt());
    return options;
}

// What a user would type into the page, given on the command line.
void fillEquation(KXEquationCtrl* controller, const Options& options)
{
    KXEquationModel* model = controller->model();
    if (!options.formula.isEmpty())
        model->setFormula(options.formula);
    void (KXEquationModel::*setters[4])(QString) = {&KXEquationModel::setRowStart, &KXEquationModel::setRowEnd,
                                                    &KXEquationModel::setColStart, &KXEquationModel::setColEnd};
    for (int bound = 0; bound < 4; ++bound) {
        if (!options.range[bound].isEmpty())
            (model->*setters[bound])(options.range[bound]);
    }
    // Names given by formula win over the input table's headers.
    if (!options.rowName.isEmpty()) {
        model->setRowName(options.rowName);
        model->setKeepVHeader(false);
    }
    if (!options.colName.isEmpty()) {
        model->setColName(options.colName);
        model->setKeepHHeader(false);
    }
    controller->updateInterface();
}

}

/// Points at the first value met along lines across the chart, from low to high, then turns the wheel there when
/// asked to zoom: what a user does before the picture.
static void askChart(KXChartView* view, const QString& action)
{
    if (!view)
        return;
    QPoint at;
    for (int k = 0; k < view->width() * 3 && view->hoverText().isEmpty(); k += 2) {
        at = QPoint(k % view->width(), view->height() * (3 - k / view->width()) / 5);
        QMouseEvent move(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    }
    if (action == QLatin1String("zoom")) {
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, 360), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
    }
}

/// A window no larger than the screen, nor than 16384 pixels a side (beyond which painting fails);
/// the offscreen platform, used for pictures, has no screen to fit.
static QSize fittedSize(const QSize& asked)
{
    QSize limit(16384, 16384);
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen && QGuiApplication::platformName() != QLatin1String("offscreen"))
        limit = limit.boundedTo(screen->availableVirtualSize());
    const QSize fitted = asked.boundedTo(limit);
    if (fitted != asked)
        KXMessageSink::printToStandardError(
            KXMessageSink::Origin::Log,
            tr("The window size %1x%2 does not fit: %3x%4 is used.", "La taille de fenêtre %1x%2 ne tient pas : %3x%4 est utilisée.")
                .arg(asked.width())
                .arg(asked.height())
                .arg(fitted.width())
                .arg(fitted.height()));
    return fitted;
}

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kxequation-desktop"));
    QApplication::setOrganizationName(QStringLiteral("kxequation"));
    const QString language = languageArgument(QApplication::arguments());
    if (!TApplicationTranslator::install(language)) {
        KXMessageSink::printToStandardError(KXMessageSink::Origin::Log, unknownLanguageMessage(language));
        return 64;
    }
    const Options options = parse(QApplication::arguments());

    KXDesktopWindow window(options.settings);
    if (options.size.isValid())
        window.resize(fittedSize(options.size));
    else if (!window.restoreLayout())
        window.resize(1280, 900);
    window.show();
    // Frame included; the offscreen platform, used for pictures, has no screen to fit.
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        KXScreenFit::keepInsideOnceFramed(&window);
    // Without a project named, the one of the last session comes back.
    const QString project = options.project.isEmpty() ? window.lastProject() : options.project;
    if (!project.isEmpty())
        window.openProject(project);
    if (!options.dataset.isEmpty() && !window.selectDataset(options.dataset)) {
        // Computing on another dataset than the one asked for would hide the mistake.
        KXMessageSink::printToStandardError(KXMessageSink::Origin::Log, noDatasetMessage(options.dataset));
        return 66;
    }
    if (!options.formula.isEmpty() || options.compute) {
        // Once the selected dataset is read and bound.
        window.newEquation([&options](KXEquationCtrl* controller) {
            fillEquation(controller, options);
            // The same road as the page's Launch button.
            if (options.compute)
                QMetaObject::invokeMethod(controller, "slotCompute");
        });
    }
    KXEquationHelpWindow* help = nullptr;
    if (auto* field = window.findChild<KXEquationFormulaEdit*>(); field && !options.helpSearch.isEmpty()) {
        field->showHelp();
        help = field->helpWindow();
        help->searchField()->setText(options.helpSearch);
    }

    int status = 0;
    if (!options.screenshot.isEmpty()) {
        // Once the window has been laid out and painted.
        const auto takePicture = [&] {
            QWidget* question = options.closeQuestion ? QApplication::activeModalWidget() : nullptr;
            QWidget* pictured = question ? question : help ? static_cast<QWidget*>(help) : &window;
            if (!pictured->grab().save(options.screenshot)) {
                KXMessageSink::printToStandardError(KXMessageSink::Origin::Log,
                                                    screenshotFailedMessage(options.screenshot));
                status = 1;
            }
            // Quit without closing the window: a picture asks no question about unsaved work. A
            // question on the screen is left unanswered, which is Cancel.
            QApplication::quit();
        };
        // takePicture goes out of scope before the timer fires: the lambda keeps its own copy.
        QTimer::singleShot(700, &window, [&, takePicture] {
            if (!options.chartAction.isEmpty()) {
                // The zoomed chart is drawn again on its worker before the picture.
                askChart(window.findChild<KXChartView*>(), options.chartAction);
                QTimer::singleShot(500, &window, takePicture);
                return;
            }
            if (!options.closeQuestion) {
                takePicture();
                return;
            }
            // The question is modal: it is pictured from inside its own event loop.
            QTimer::singleShot(300, &window, takePicture);
            window.close();
        });
    }
    const int result = QApplication::exec();
    return status ? status : result;
}
