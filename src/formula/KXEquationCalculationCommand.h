#pragma once

#include "KXEquationCommand.h"

/// An aggregate over a loop variable: sum(x, 1, 10, x). The loop variable is a constant of the
/// variable model that the command adds, steps through the range and removes again.
class KXEQUATION_EXPORT KXEquationCalculationCommand : public KXEquationCommand
{
public:
    /// How the values of the range are combined.
    enum class Form {
        Accumulate,       // running sum or product; a no-value makes the result missing
        Extreme,          // running minimum or maximum; no-values after the first are skipped
        Variance,         // sample variance around the mean's six-digit text
        StandardDeviation // square root of the variance
    };

    struct Traits {
        const char* className; // also the translation context
        const char* keyword;
        Form form;
        double initial;                             // Accumulate
        double (*combine)(double acc, double x);    // Accumulate
        bool averaged;                              // Accumulate: divided by the number of values
        bool (*replaces)(double x, double extreme); // Extreme
        const char* english;                        // a value of the expression that is no number
        const char* french;
        const char* boundEnglish;                   // bounds that are no whole numbers; null: the bool false
        const char* boundFrench;
    };

    KXEquationCalculationCommand(KXEquationVariableModel* variableModel, const QString& variableName,
                                 const QString& start, const QString& end, const QString& expression);
    explicit KXEquationCalculationCommand(KXEquationVariableModel* variableModel);
    ~KXEquationCalculationCommand() override;

    /// Keeps the loop variable's name and adds it to the variable model.
    void setVariableName(const QString& name);
    /// Reads the expression; the loop variable must already be known.
    void setExpression(const QString& expression);

    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// The expression's value with the loop variable set to k, as whoever evaluates it keeps it.
    class Body
    {
    public:
        virtual ~Body() = default;
        virtual QVariant valueAt(qint64 k) = 0;
        virtual void removeLoopVariable() = 0;
    };
    /// sum, prod, average, min and max from the bounds' values, the expression read through body.
    QVariant aggregate(const QVariant& startValue, const QVariant& endValue, Body& body) const;
    // A bound's value as a loop bound: KXEquationCommand::toBound, the one rule of every path.
    /// The running sum and product of the table, named so that compiled programs can inline them.
    static double addStep(double acc, double x);
    static double multiplyStep(double acc, double x);

protected:
    virtual KXEquationCalculationCommand* createBare(KXEquationVariableModel* target) const = 0;
    virtual const Traits& traits() const = 0;

private:
    QVariant evaluateRange() const;
    QVariant accumulate(qint64 start, qint64 end, Body& body) const;
    QVariant extreme(qint64 start, qint64 end, Body& body) const;
    QVariant variance() const;
    QVariant standardDeviation() const;
    bool valueAt(Body& body, qint64 k, double& number, QVariant& failure) const;
    void giveNodes(KXEquationCalculationCommand& local, bool withExpression) const;
    void removeLoopVariable() const;
    struct LoopVariableScope;
    QVariant message(const char* english, const char* french) const;

    QString m_variableName;
    std::unique_ptr<KXEquationCommand> m_start;
    std::unique_ptr<KXEquationCommand> m_end;
    std::unique_ptr<KXEquationCommand> m_expression;
};

/// An aggregate over the values of a list, normally a data selection: sum([A|1:C|5]).
class KXEQUATION_EXPORT KXEquationCalculationSelectionCommand : public KXEquationCommand
{
public:
    struct Traits {
        const char* pattern; // text form, %1 being the argument's
        QVariant (*aggregate)(const QVariantList& values);
    };

    KXEquationCalculationSelectionCommand(KXEquationVariableModel* variableModel, const QString& selection);
    explicit KXEquationCalculationSelectionCommand(KXEquationVariableModel* variableModel);
    ~KXEquationCalculationSelectionCommand() override;

    QVariant evaluate() const override;
    QString toString() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// The result for the argument's value (the second half of evaluate).
    QVariant aggregate(const QVariant& value) const;

protected:
    virtual KXEquationCalculationSelectionCommand* createBare(KXEquationVariableModel* target) const = 0;
    virtual const Traits& traits() const = 0;

private:
    std::unique_ptr<KXEquationCommand> m_selection;
};

// Every aggregate, in its ranged form and its selection form: declared here and registered with
// the reader under the keyword of the ranged form's row, so a new aggregate is a line here and its rows.
#define KXEQUATION_AGGREGATES(X) \
    X(KXEquationCalculationSumCommand, KXEquationCalculationSumSelectionCommand) \
    X(KXEquationCalculationProdCommand, KXEquationCalculationProdSelectionCommand) \
    X(KXEquationCalculationAverageCommand, KXEquationCalculationAverageSelectionCommand) \
    X(KXEquationCalculationMinCommand, KXEquationCalculationMinSelectionCommand) \
    X(KXEquationCalculationMaxCommand, KXEquationCalculationMaxSelectionCommand) \
    X(KXEquationCalculationStdDevCommand, KXEquationCalculationStdDevSelectionCommand) \
    X(KXEquationCalculationVarCommand, KXEquationCalculationVarSelectionCommand)

#define KXEQUATION_AGGREGATE_MEMBERS(Ranged, Selection)            \
    KXEQUATION_FAMILY_MEMBER(Ranged, KXEquationCalculationCommand) \
    KXEQUATION_FAMILY_MEMBER(Selection, KXEquationCalculationSelectionCommand)
KXEQUATION_AGGREGATES(KXEQUATION_AGGREGATE_MEMBERS)
#undef KXEQUATION_AGGREGATE_MEMBERS
