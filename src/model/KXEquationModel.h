#pragma once

#include "kxequation_global.h"

#include <QString>

class QDomElement;

/// The settings of an equation that the controller base works on: the working range as four
/// formula texts and a formula-validity flag.
class KXEQUATION_EXPORT KXEquationAbstractModel
{
public:
    KXEquationAbstractModel();
    KXEquationAbstractModel(const KXEquationAbstractModel& other);
    KXEquationAbstractModel& operator=(const KXEquationAbstractModel& other);
    virtual ~KXEquationAbstractModel();

    virtual bool encode(QDomElement& parent) = 0;
    virtual bool decode(QDomElement& element) = 0;
    virtual void setRowStart(QString text);
    virtual void setRowEnd(QString text);
    virtual void setColStart(QString text);
    virtual void setColEnd(QString text);

    QString rowStart() const { return m_rowStart; }
    QString rowEnd() const { return m_rowEnd; }
    QString colStart() const { return m_colStart; }
    QString colEnd() const { return m_colEnd; }
    void setFormulaValid(bool valid) { m_formulaValid = valid; }
    bool isFormulaValid() const { return m_formulaValid; }

    /// Rewrites the old dataset names "data" and "dataN" into "Input1" and "InputN", in place.
    static void updateVariableName(QString& text);

private:
    QString m_rowStart;
    QString m_rowEnd;
    QString m_colStart;
    QString m_colEnd;
    bool m_formulaValid = false;
};

/// An equation's formula, working range and output options; stored as the "EquationModel" element.
class KXEQUATION_EXPORT KXEquationModel final : public KXEquationAbstractModel
{
public:
    KXEquationModel();
    KXEquationModel(const KXEquationModel& other);
    KXEquationModel& operator=(const KXEquationModel& other);
    ~KXEquationModel() override;

    bool encode(QDomElement& parent) override;
    bool decode(QDomElement& element) override;

    QString getFormula() const { return m_formula; }
    void setFormula(const QString& formula) { m_formula = formula; }
    QString getDatasetName() const { return m_datasetName; }
    void setDatasetName(const QString& name) { m_datasetName = name; }
    QString getSubdatasetName() const { return m_subdatasetName; }
    void setSubdatasetName(const QString& name) { m_subdatasetName = name; }
    const QString& rowName() const { return m_rowName; }
    void setRowName(const QString& formula) { m_rowName = formula; }
    const QString& colName() const { return m_colName; }
    void setColName(const QString& formula) { m_colName = formula; }
    QString dataModelForHeader() const { return m_dataModelForHeader; }
    void setDataModelForHeader(const QString& name) { m_dataModelForHeader = name; }

    /// The header options count only while the master switch keepHeader is on.
    bool keepVHeader() const { return m_keepHeader && m_keepVHeader; }
    void setKeepVHeader(bool keep) { m_keepVHeader = keep; }
    bool keepHHeader() const { return m_keepHeader && m_keepHHeader; }
    void setKeepHHeader(bool keep) { m_keepHHeader = keep; }
    bool keepHeader() const { return m_keepHeader; }
    void setKeepHeader(bool keep) { m_keepHeader = keep; }

    /// What rand draws from: the same seed gives the same table. A new model, and one decoded
    /// from a file that holds none, gets a fresh seed.
    quint64 seed() const { return m_seed; }
    void setSeed(quint64 seed)
    {
        m_seed = seed;
        m_seedFromFile = true;
    }
    /// False when the last decode found no seed and drew a fresh one, which nothing repeats.
    bool seedFromFile() const { return m_seedFromFile; }
    static quint64 freshSeed();
    /// A seed as written: decimal digits only, from 0 to 2^64-1.
    static bool readSeed(const QString& text, quint64& seed);

private:
    QString m_formula;
    QString m_datasetName;
    QString m_subdatasetName;
    QString m_rowName;
    QString m_colName;
    QString m_dataModelForHeader;
    bool m_keepVHeader = true;
    bool m_keepHHeader = true;
    bool m_keepHeader = true;
    quint64 m_seed;
    bool m_seedFromFile = true;
};
