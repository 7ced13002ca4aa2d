#pragma once

#include "KXFileStatus.h"
#include "kxequation_global.h"

#include <QList>
#include <QString>

#include <functional>

class QAbstractItemModel;
class QObject;
class KXEquationAbstractModel;
class KXEquationModel;
class KXEquationVariableModel;
class KXObject2Dataset;

/// What the controller base does to an equation without any widget: naming dataset variables,
/// evaluating the working range and the equation file. The controller and the command-line tool
/// both go through these.
namespace KXEquationDocument {

/// Whether a dataset variable name is taken; the controller asks its own (virtual) question.
using NameTaken = std::function<bool(const QString& name)>;

/// Adds the table as a dataset variable under the first free name "Input%1", counting from the
/// number of dataset variables plus one; with setRange, it ends the working range when both end
/// texts are empty. Returns the name.
KXEQUATION_EXPORT QString addDataset(KXEquationAbstractModel* equation, KXEquationVariableModel* variables,
                                     QAbstractItemModel* table, const QString& alias, bool setRange,
                                     const NameTaken& taken = NameTaken());
/// The module started from a table: its name gives the output's (sub-dataset + "_2"), and it
/// becomes the first dataset variable.
KXEQUATION_EXPORT void startFromTable(KXEquationModel* equation, KXEquationVariableModel* variables,
                                      QAbstractItemModel* table, const NameTaken& taken = NameTaken());
/// The working-range texts, in the order in which they are read and then evaluated.
enum class RangeField { FirstRow, LastRow, FirstColumn, LastColumn };

/// Reads the four working-range texts in order on the variable model, then evaluates them in order;
/// throws KXError (KXEquationReadError for a text that cannot be read) when one fails, after
/// setting failed, when given, to that text's field.
KXEQUATION_EXPORT void evaluateRange(const KXEquationAbstractModel* equation, KXEquationVariableModel* variables,
                                     int& rowStart, int& rowEnd, int& colStart, int& colEnd,
                                     RangeField* failed = nullptr);
/// The "Equation" document with both models; a failed save leaves a previous file untouched.
/// On failure error names the file and the reason.
KXEQUATION_EXPORT bool save(KXEquationAbstractModel* equation, KXEquationVariableModel* variables,
                            const QString& path, QString* error = nullptr, KXFileStatus* status = nullptr);
/// Adds the file's settings and variables to the current ones; false when the file is unusable,
/// error then naming the file, the line where there is one, and the reason. The tables reopened for
/// dataset variables become children of tableOwner, which must outlive variables.
KXEQUATION_EXPORT bool load(KXEquationAbstractModel* equation, KXEquationVariableModel* variables,
                            const QString& path, QObject* tableOwner, QString* error = nullptr,
                            KXFileStatus* status = nullptr);
/// The stored datasets that load would open for the file's dataset variables, in order, so that
/// they can be read ahead (KXReadAheadTables); empty when the file cannot be read.
KXEQUATION_EXPORT QList<const KXObject2Dataset*> storedDatasets(const QString& path);
/// The version that the equation file at path declares for its equation or its variables when this
/// program does not read it (such a part loads as nothing); empty when both are known or the file
/// cannot be read.
KXEQUATION_EXPORT QString unknownVersion(const QString& path);

}
