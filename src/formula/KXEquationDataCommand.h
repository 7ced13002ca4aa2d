#pragma once

#include "KXEquationCommand.h"

#include <functional>

// Data access, headers, random numbers, conditions and constant values. Indices written in a
// formula are 1-based; the variable model's are 0-based.

/// One cell of a dataset variable: Input1(row, column).
class KXEQUATION_EXPORT KXEquationDataCommand final : public KXEquationCommand
{
public:
    KXEquationDataCommand(KXEquationVariableModel* variableModel, const QString& name, const QString& row,
                          const QString& column);
    explicit KXEquationDataCommand(KXEquationVariableModel* variableModel);
    ~KXEquationDataCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// Reads a cell by its 0-based position; the same cell always gives the same value.
    using CellReader = std::function<QVariant(int row, int column)>;
    /// The value for the indices' values (the second half of evaluate), the cell read through cell.
    QVariant cellAt(const QVariant& rowValue, const QVariant& columnValue, const CellReader& cell) const;
    /// The value of a cell at a 0-based position of the named dataset variable, as a formula sees it.
    static QVariant readCell(const KXEquationVariableModel& model, const QString& name, int row, int column);
    /// The same from what the variable model gave for the cell, with its message when there is none.
    static QVariant cellValue(const QString& name, const QVariant& value, QString message);
    /// A 1-based index's value as a 0-based index; false when it is no whole number.
    static bool toIndex(const QVariant& value, int& index);

private:
    QString m_name;
    std::unique_ptr<KXEquationCommand> m_row;
    std::unique_ptr<KXEquationCommand> m_column;
};

/// A header of a dataset variable's table. colName and rowName share everything but their row of
/// the header table: keyword, orientation and messages.
class KXEQUATION_EXPORT KXEquationHeaderCommand : public KXEquationCommand
{
public:
    struct Traits {
        const char* className; // also the translation context
        const char* keyword;
        Qt::Orientation orientation;
        const char* invalidEnglish; // an index that is no whole number from 1, or no name
        const char* invalidFrench;
        const char* unknownEnglish; // after the name: no such variable or section
        const char* unknownFrench;
    };

    KXEquationHeaderCommand(KXEquationVariableModel* variableModel, const QString& name, const QString& index);
    explicit KXEquationHeaderCommand(KXEquationVariableModel* variableModel);
    ~KXEquationHeaderCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// Reads a header's raw value by its 0-based section.
    using HeaderReader = std::function<QVariant(int section)>;
    /// The value for the index's value (the second half of evaluate), the header read through header.
    QVariant headerAt(const QVariant& indexValue, const HeaderReader& header) const;

protected:
    virtual KXEquationHeaderCommand* createBare(KXEquationVariableModel* target) const = 0;
    virtual const Traits& traits() const = 0;

private:
    QString m_name;
    std::unique_ptr<KXEquationCommand> m_index;
};

KXEQUATION_FAMILY_MEMBER(KXEquationColNameCommand, KXEquationHeaderCommand)
KXEQUATION_FAMILY_MEMBER(KXEquationRowNameCommand, KXEquationHeaderCommand)

/// rand(): an integer from 0 to 32767; rand(start, end): a number from start up to end.
class KXEQUATION_EXPORT KXEquationRandCommand final : public KXEquationCommand
{
public:
    KXEquationRandCommand(KXEquationVariableModel* variableModel, const QString& start, const QString& end);
    /// The form without bounds.
    explicit KXEquationRandCommand(KXEquationVariableModel* variableModel);
    ~KXEquationRandCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// rand(start, end) for the bounds' values and a draw from 0 to 32767.
    QVariant drawBetween(const QVariant& startValue, const QVariant& endValue, int draw) const;
    /// The draw numbered draw within the cell (row, column) under seed: from 0 to 32767.
    static int fifteenBits(quint64 seed, double row, double column, quint64 draw);

private:
    /// The next draw of the cell that this node's variable model stands at.
    int nextDraw() const;

    std::unique_ptr<KXEquationCommand> m_start;
    std::unique_ptr<KXEquationCommand> m_end;
};

/// if(condition; formulaTrue; formulaFalse): only the chosen branch is evaluated.
class KXEQUATION_EXPORT KXEquationIfCommand final : public KXEquationCommand
{
public:
    KXEquationIfCommand(KXEquationVariableModel* variableModel, const QString& condition, const QString& whenTrue,
                        const QString& whenFalse);
    explicit KXEquationIfCommand(KXEquationVariableModel* variableModel);
    ~KXEquationIfCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// The error value for a condition's value that chooses no branch; an invalid value otherwise.
    static QVariant conditionFailure(const QVariant& condition);

private:
    std::unique_ptr<KXEquationCommand> m_condition;
    std::unique_ptr<KXEquationCommand> m_whenTrue;
    std::unique_ptr<KXEquationCommand> m_whenFalse;
};

/// val(name): the named constant's value when evaluated, the no-value marker when there is none.
class KXEQUATION_EXPORT KXEquationValCommand final : public KXEquationCommand
{
public:
    KXEquationValCommand(KXEquationVariableModel* variableModel, const QString& name);
    explicit KXEquationValCommand(KXEquationVariableModel* variableModel);
    ~KXEquationValCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

private:
    QString m_name;
};
