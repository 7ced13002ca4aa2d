// Computes 1000 x 1000 tables through the module controller and compares them with a one-thread
// evaluation of the same tree and, for plain formulas, with muparser.

#include "KXDataModel.h"
#include "KXEquationCommand.h"
#include "KXEquationCtrl.h"
#include "KXEquationInterpreter.h"
#include "KXEquationModel.h"
#include "KXEquationVariableModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>

#include <muParser.h>

#include <cstdio>
#include <memory>

namespace {
const int SIZE = 1000;

struct Case {
    const char* formula;
    const char* muparserFormula; // null when muparser has no equivalent
};

const Case cases[] = {
    {"2*i+j", "2*i+j"},
    {"sqrt(i)*sin(j)+1", "sqrt(i)*sin(j*_pi/180)+1"},
    {"Input1(i,j)*2", nullptr},
    {"sum(k,1,10,k*i)", nullptr},
    {"if(i>j;i;j)", nullptr},
};

// Peak resident memory of the process since the last reset, in MiB.
double peakMemory()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

void resetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double noTaskBaseline(KXEquationVariableModel* variables, const QString& formula)
{
    KXEquationVariableModel cell(variables);
    cell.addVariable(QStringLiteral("i"), -9999);
    cell.addVariable(QStringLiteral("j"), -9999);
    std::unique_ptr<KXEquationCommand> tree(KXEquationInterpreter(&cell).interpret(formula));
    QElapsedTimer timer;
    timer.start();
    double checksum = 0;
    for (int i = 1; i <= SIZE; ++i) {
        for (int j = 1; j <= SIZE; ++j) {
            cell.addVariable(QStringLiteral("i"), i);
            cell.addVariable(QStringLiteral("j"), j);
            checksum += tree->evaluate().toDouble();
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (checksum == 0.123)
        std::puts("");
    return seconds;
}

double muparserTime(const char* formula)
{
    mu::Parser parser;
    double i = 0, j = 0;
    parser.DefineVar("i", &i);
    parser.DefineVar("j", &j);
    parser.SetExpr(formula);
    QElapsedTimer timer;
    timer.start();
    double checksum = 0;
    for (int row = 1; row <= SIZE; ++row) {
        for (int column = 1; column <= SIZE; ++column) {
            i = row;
            j = column;
            checksum += parser.Eval();
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (checksum == 0.123)
        std::puts("");
    return seconds;
}
}

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    auto input = std::make_unique<KXDataModelGeneric>();
    input->createEmpty(SIZE, SIZE);
    input->setName(QStringLiteral("bench"), QStringLiteral("input"));
    for (int r = 0; r < SIZE; ++r) {
        for (int c = 0; c < SIZE; ++c)
            input->setCell(r, c, double(r + c));
    }

    std::printf("cores (global thread pool): %d\n", QThreadPool::globalInstance()->maxThreadCount());
    std::printf("%-20s %10s %14s %13s %12s %9s %12s %10s\n", "formula", "compute s", "cells/s", "peak RSS MiB",
                "1-thread s", "speedup", "muparser s", "vs mu");
    for (const Case& benchCase : cases) {
        KXEquationCtrl controller;
        controller.setCurrentDataModel(input.get());
        controller.model()->setFormula(QString::fromLatin1(benchCase.formula));
        controller.model()->setRowEnd(QString::number(SIZE));
        controller.model()->setColEnd(QString::number(SIZE));

        resetPeakMemory();
        QElapsedTimer timer;
        timer.start();
        std::unique_ptr<KXDataModelGeneric> table(controller.compute());
        const double seconds = timer.nsecsElapsed() / 1e9;
        const double peak = peakMemory();
        if (!table) {
            std::printf("%-20s failed\n", benchCase.formula);
            continue;
        }
        table.reset();
        const double baseline = noTaskBaseline(controller.variableModel(), QString::fromLatin1(benchCase.formula));
        std::printf("%-20s %10.3f %14.0f %13.1f %12.3f %8.2fx", benchCase.formula, seconds, SIZE * SIZE / seconds,
                    peak, baseline, baseline / seconds);
        if (benchCase.muparserFormula) {
            const double mu = muparserTime(benchCase.muparserFormula);
            std::printf(" %12.3f %9.1fx\n", mu, seconds / mu);
        } else {
            std::printf(" %12s %10s\n", "-", "-");
        }
    }
    return 0;
}
