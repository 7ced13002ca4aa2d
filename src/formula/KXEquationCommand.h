#pragma once

#include "kxequation_global.h"

#include <QMetaType>
#include <QString>
#include <QVariant>

#include <memory>

class KXEquationCompiler;
class KXEquationVariableModel;

/// The value by which a failed evaluation travels up a formula tree.
class KXEQUATION_EXPORT KXEquationInterpreterError
{
public:
    KXEquationInterpreterError();
    explicit KXEquationInterpreterError(const QString& message);
    KXEquationInterpreterError(const KXEquationInterpreterError& other);
    KXEquationInterpreterError& operator=(const KXEquationInterpreterError& other);
    ~KXEquationInterpreterError();

    const QString& errorMessage() const { return m_errorMessage; }

    /// The meta-type id, registered once on first use from whichever thread comes first.
    static int typeId();

private:
    QString m_errorMessage;
};

Q_DECLARE_METATYPE(KXEquationInterpreterError)

/// Base of every node of a formula tree.
class KXEQUATION_EXPORT KXEquationCommand
{
public:
    explicit KXEquationCommand(KXEquationVariableModel* variableModel);
    KXEquationCommand(const KXEquationCommand& other) = default;
    KXEquationCommand& operator=(const KXEquationCommand& other) = default;
    virtual ~KXEquationCommand();

    virtual QVariant evaluate() const = 0;
    virtual QString toString() const = 0;
    /// Whether the value depends on the position of the cell being computed.
    virtual bool isRangeVariable() const;
    /// A deep copy bound to another variable model; the caller owns it.
    virtual KXEquationCommand* clone(KXEquationVariableModel* target) const = 0;
    /// Adds the node to a compiled program; a node kind that does not know how is walked as a tree.
    virtual int compile(KXEquationCompiler& compiler) const;

    static bool getError(const QVariant& value, QString& message);
    static bool getError(const QVariant& value);
    static QString tr(const char* english, const char* french, int n = -1);
    /// A value holding KXEquationInterpreterError(message).
    static QVariant errorValue(const QString& message);
    /// A loop bound as an int, for every evaluation path: a number is rounded to the nearest
    /// integer with halves upwards, a bool gives 1 or 0, a text must be a whole number; NaN,
    /// infinities and numbers beyond the int range fail.
    static bool toBound(const QVariant& value, int& number);
    /// round(x), for every evaluation path: the nearest int, halves upwards; NaN and numbers
    /// beyond the int range are returned unchanged as doubles. ok is false when the value is not
    /// a number (a text must be a whole number).
    static QVariant roundValue(const QVariant& value, bool& ok);

    KXEquationVariableModel* variableModel() const { return m_variableModel; }

protected:
    QVariant error(const QString& message) const;
    /// Interprets a sub-text on this node's variable model.
    std::unique_ptr<KXEquationCommand> interpret(const QString& text) const;
    static std::unique_ptr<KXEquationCommand> cloneOf(const std::unique_ptr<KXEquationCommand>& node,
                                                      KXEquationVariableModel* target);

    KXEquationVariableModel* m_variableModel;
};

/// Gives a member of a node family the two things only it knows: how to make a bare copy of
/// itself and which row of its family's table it stands for.
template <class Derived, class Family>
class KXEquationFamilyMember : public Family
{
public:
    using Family::Family;

protected:
    Family* createBare(KXEquationVariableModel* target) const override { return new Derived(target); }
    const typename Family::Traits& traits() const override { return Derived::familyTraits; }
};

/// Declares a member of a node family: a final class whose behaviour comes from its table row.
#define KXEQUATION_FAMILY_MEMBER(Name, Family)                                   \
    class KXEQUATION_EXPORT Name final : public KXEquationFamilyMember<Name, Family> \
    {                                                                            \
    public:                                                                      \
        using KXEquationFamilyMember<Name, Family>::KXEquationFamilyMember;      \
        static const Family::Traits familyTraits;                                \
    };

/// A text between double quotes.
class KXEQUATION_EXPORT KXEquationStringConstantCommand final : public KXEquationCommand
{
public:
    KXEquationStringConstantCommand(KXEquationVariableModel* variableModel, const QString& text);
    QVariant evaluate() const override;
    QString toString() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

private:
    QString m_text;
};

/// A numeric literal.
class KXEQUATION_EXPORT KXEquationDoubleConstantCommand final : public KXEquationCommand
{
public:
    KXEquationDoubleConstantCommand(KXEquationVariableModel* variableModel, double value);
    QVariant evaluate() const override;
    QString toString() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

private:
    double m_value;
};

/// A named constant of the variable model, read at every evaluation, optionally negated.
class KXEQUATION_EXPORT KXEquationDataModelConstantCommand final : public KXEquationCommand
{
public:
    KXEquationDataModelConstantCommand(KXEquationVariableModel* variableModel, const QString& name, bool negated);
    QVariant evaluate() const override;
    QString toString() const override;
    bool isRangeVariable() const override;
    KXEquationCommand* clone(KXEquationVariableModel* target) const override;
    int compile(KXEquationCompiler& compiler) const override;

    /// The value for a constant that is present (or not) with the given value.
    QVariant valueOf(bool present, double value) const;

private:
    QString m_name;
    bool m_negated;
};
