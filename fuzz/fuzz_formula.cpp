// Any text given to the reader must give a tree or a KXError, and every tree must evaluate,
// clone, print and delete without a fault.

#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationInterpreter.h"
#include "KXEquationVariableModel.h"
#include "KXError.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace {
KXDataModelGeneric* sharedTable()
{
    static KXDataModelGeneric* table = [] {
        auto* made = new KXDataModelGeneric;
        made->createEmpty(3, 3);
        for (int r = 0; r < 3; ++r) {
            made->setHeaderData(r, Qt::Vertical, QString::number(r + 1), KXValueRole);
            made->setHeaderData(r, Qt::Horizontal, QString(QLatin1Char(char('A' + r))), KXValueRole);
            for (int c = 0; c < 3; ++c)
                made->setCell(r, c, r == c ? QVariant(QStringLiteral("2,5")) : QVariant(double(r * 3 + c)));
        }
        return made;
    }();
    return table;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Reports of var and stdDev would flood the fuzzer's output.
    static const bool silenced = [] {
        KXMessageSink::setHandler([](KXMessageSink::Origin, const QString&) {});
        return true;
    }();
    Q_UNUSED(silenced);

    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    KXEquationVariableModel model;
    model.addVariable(QStringLiteral("x"), 2.0);
    model.addVariable(QStringLiteral("i"), 3.0);
    model.addVariable(QStringLiteral("j"), 4.0);
    model.addVariable(QStringLiteral("Input1"), sharedTable(), QString());
    model.addVariable(QStringLiteral("Input2"), nullptr, QString());
    try {
        std::unique_ptr<KXEquationCommand> tree(KXEquationInterpreter(&model).interpret(text));
        tree->evaluate();
        tree->toString();
        tree->isRangeVariable();
        KXEquationVariableModel copy(&model);
        std::unique_ptr<KXEquationCommand> clone(tree->clone(&copy));
        tree.reset();
        clone->evaluate();
    } catch (const KXError&) {
    }
    return 0;
}
