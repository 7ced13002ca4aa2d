#pragma once

#include "kxequation_global.h"

#include <QHash>
#include <QList>
#include <QMap>
#include <QString>
#include <QVariant>

#include <atomic>

class QAbstractItemModel;
class QDomElement;
class KXDataModel;
class KXObject2Dataset;

/// The names a formula can refer to besides its functions: named constants and dataset variables.
class KXEQUATION_EXPORT KXEquationVariableModel
{
public:
    KXEquationVariableModel();
    /// The copy a cell task makes: shares the maps of the other until one side writes.
    explicit KXEquationVariableModel(const KXEquationVariableModel* other);
    KXEquationVariableModel(const KXEquationVariableModel& other);
    KXEquationVariableModel& operator=(const KXEquationVariableModel& other);
    virtual ~KXEquationVariableModel();

    void copy(const KXEquationVariableModel* other);

    // Constants
    void addVariable(const QString& name, double value);
    void addVariable(const QString& name, double value, const QString& relatedName);
    bool variableConstantExist(const QString& name) const;
    double getVariableConstantValue(const QString& name);
    bool updateVariableName(const QString& oldName, const QString& newName);
    bool updateVariableValue(const QString& name, double value);
    /// The constants other than derived ones, by name, with six significant digits.
    QMap<QString, QString> getVariableConstantList() const;
    /// The same with the shortest text that reads back to the very same double.
    QMap<QString, QString> getVariableConstantExactList() const;
    QMap<QString, QString> getVariableModelRelatedList(const QString& datasetName) const;

    // Dataset variables
    void addVariable(const QString& name, QAbstractItemModel* model, const QString& alias);
    bool removeVariable(const QString& name);
    bool removeVariable(QAbstractItemModel* model);
    bool variableModelExist(const QString& name) const;
    bool variableModelExist(const QAbstractItemModel* model) const;
    QAbstractItemModel* getVariableModel(const QString& name) const;
    QVariant getVariableModelValue(const QString& name, int row, int column, QString& error) const;
    /// A table's stored cell value as getVariableModelValue gives it: no usable value is the no-value marker.
    static QVariant storedCellValue(const QVariant& value);
    QVariant getVariableModelVerticalHeader(const QString& name, int row) const;
    QVariant getVariableModelHorizontalHeader(const QString& name, int column) const;
    QMap<QString, QString> getVariableModelList() const;
    bool containsModel() const;
    static void getDataModelName(QAbstractItemModel* model, QString& datasetName, QString& subdatasetName);

    // Flags
    bool varOnFormula() const { return m_varOnFormula; }
    void setAliasEnabled(bool enabled) { m_aliasEnabled = enabled; }
    bool aliasEnabled() const { return m_aliasEnabled; }
    /// Long loops of evaluation on this model give up once *flag is true (null: never); the copy
    /// made from a pointer takes the flag with it, so that every cell of a computation sees it.
    void setCancelFlag(const std::atomic<bool>* flag) { m_cancel = flag; }
    const std::atomic<bool>* cancelFlag() const { return m_cancel; }
    bool cancelRequested() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }

    // Random draws. A draw's value depends only on the seed, the cell and the draw's number within
    // the cell, so that neither threads nor engines change a table. Copies take the seed and start
    // numbering afresh: each cell's copy (or fresh copy()) starts at draw 0.
    void setRandomSeed(quint64 seed)
    {
        m_randomSeed = seed;
        m_randomDraws = 0;
    }
    quint64 randomSeed() const { return m_randomSeed; }
    quint64 takeRandomDraw() { return m_randomDraws++; }
    quint64 randomDraws() const { return m_randomDraws; }
    void setRandomDraws(quint64 draws) { m_randomDraws = draws; }
    /// "i" and "j" as they stand, without counting as a lookup; the no-value marker when absent.
    double cellRow() const;
    double cellColumn() const;

    // XML form
    bool encode(QDomElement& parent) const;
    /// Tables reopened for dataset variables become children of tableOwner, which deletes them and
    /// must outlive this model and its copies.
    bool decode(QDomElement& element, QObject* tableOwner);
    /// The stored datasets that decode would open for element's dataset variables, in order, so
    /// that they can be read ahead; those the project lacks are left out (decode reports them).
    static QList<const KXObject2Dataset*> storedDatasets(const QDomElement& element);

private:
    static KXDataModel* loadDataModel(const QString& reference, QObject* owner);
    /// The stored dataset that a variable's reference "dataset.subdataset" names; null when none.
    static const KXObject2Dataset* storedDataset(const QString& reference, bool report);
    void removeRelatedConstants(const QString& datasetName);
    QVariant header(const QString& name, int section, Qt::Orientation orientation) const;

    // Constants live in the shared map, except the cell position: "i" and "j" change for every
    // cell, and keeping them beside the map spares each cell's copy a copy of the whole map.
    struct CellConstant {
        bool present = false;
        double value = 0.0;
    };
    QMap<QString, QString> constantList(QString (*format)(double)) const;
    CellConstant* cellConstant(const QString& name);
    const CellConstant* cellConstant(const QString& name) const;
    const double* findConstant(const QString& name) const;
    void setConstant(const QString& name, double value);
    void removeConstant(const QString& name);

    QHash<QString, double> m_constants;
    CellConstant m_cellRow;
    CellConstant m_cellColumn;
    QHash<QString, QAbstractItemModel*> m_datasetVariables;
    QHash<QString, QString> m_relatedVariables;
    QHash<QString, QString> m_aliases;
    bool m_varOnFormula = false;
    bool m_aliasEnabled = false;
    const std::atomic<bool>* m_cancel = nullptr;
    quint64 m_randomSeed = 0;
    quint64 m_randomDraws = 0;
};
