#include "KXEquationModel.h"

#include "TXMLMethod.h"

#include <QDomElement>
#include <QDomNodeList>
#include <QRandomGenerator>
#include <QRegExp>

namespace {
const char ELEMENT_TAG[] = "EquationModel";
const char VERSION[] = "1.0";

QString flagText(bool flag)
{
    return QString::number(int(flag));
}

// A stored header flag: an integer, non-zero meaning set; false when the text is not an integer.
bool readFlag(const QDomElement& element, const char* key, bool& flag)
{
    bool ok = false;
    const int value = TXMLMethod::getInfoString(element, QLatin1String(key)).toInt(&ok, 10);
    if (ok)
        flag = value != 0;
    return ok;
}
}

KXEquationAbstractModel::KXEquationAbstractModel() : m_rowStart(QStringLiteral("1")), m_colStart(QStringLiteral("1"))
{
}

KXEquationAbstractModel::KXEquationAbstractModel(const KXEquationAbstractModel& other) = default;
KXEquationAbstractModel& KXEquationAbstractModel::operator=(const KXEquationAbstractModel& other) = default;
KXEquationAbstractModel::~KXEquationAbstractModel() = default;

void KXEquationAbstractModel::setRowStart(QString text)
{
    m_rowStart = std::move(text);
}

void KXEquationAbstractModel::setRowEnd(QString text)
{
    m_rowEnd = std::move(text);
}

void KXEquationAbstractModel::setColStart(QString text)
{
    m_colStart = std::move(text);
}

void KXEquationAbstractModel::setColEnd(QString text)
{
    m_colEnd = std::move(text);
}

void KXEquationAbstractModel::updateVariableName(QString& text)
{
    // A bare "data" was the first dataset; numbered ones keep their number.
    text.replace(QRegExp(QStringLiteral("data(\\D)")), QStringLiteral("data1\\1"));
    text.replace(QRegExp(QStringLiteral("data$")), QStringLiteral("data1"));
    text.replace(QRegExp(QStringLiteral("data(\\d*)")), QStringLiteral("Input\\1"));
}

KXEquationModel::KXEquationModel() : m_seed(freshSeed()) {}
KXEquationModel::KXEquationModel(const KXEquationModel& other) = default;
KXEquationModel& KXEquationModel::operator=(const KXEquationModel& other) = default;
KXEquationModel::~KXEquationModel() = default;

bool KXEquationModel::encode(QDomElement& parent)
{
    QDomElement element = TXMLMethod::createChildElement(parent, QLatin1String(ELEMENT_TAG));
    TXMLMethod::addToElement(element, QStringLiteral("Version"), QLatin1String(VERSION));
    TXMLMethod::addToElement(element, QStringLiteral("Formula"), m_formula);
    TXMLMethod::addToElement(element, QStringLiteral("SubdatasetName"), m_subdatasetName);
    TXMLMethod::addToElement(element, QStringLiteral("RowStart"), rowStart());
    TXMLMethod::addToElement(element, QStringLiteral("RowEnd"), rowEnd());
    TXMLMethod::addToElement(element, QStringLiteral("ColStart"), colStart());
    TXMLMethod::addToElement(element, QStringLiteral("ColEnd"), colEnd());
    TXMLMethod::addToElement(element, QStringLiteral("KeepVHeader"), flagText(m_keepVHeader));
    TXMLMethod::addToElement(element, QStringLiteral("KeepHHeader"), flagText(m_keepHHeader));
    TXMLMethod::addToElement(element, QStringLiteral("KeepHeader"), flagText(m_keepHeader));
    TXMLMethod::addToElement(element, QStringLiteral("DataModelForHeader"), m_dataModelForHeader);
    TXMLMethod::addToElement(element, QStringLiteral("RowName"), m_rowName);
    TXMLMethod::addToElement(element, QStringLiteral("ColName"), m_colName);
    TXMLMethod::addToElement(element, QStringLiteral("Seed"), QString::number(m_seed));
    return true;
}

bool KXEquationModel::decode(QDomElement& element)
{
    QDomElement source = element;
    if (source.tagName() != QLatin1String(ELEMENT_TAG)) {
        source = source.elementsByTagName(QLatin1String(ELEMENT_TAG)).item(0).toElement();
        if (source.isNull())
            return false;
    }

    // Files written before seeds were kept hold none: their rand gets a fresh one.
    m_seedFromFile = readSeed(TXMLMethod::getInfoString(source, QStringLiteral("Seed")), m_seed);
    if (!m_seedFromFile)
        m_seed = freshSeed();

    // Another version is not an error: nothing is read, the current texts are only renamed.
    if (TXMLMethod::getInfoString(source, QStringLiteral("Version")) == QLatin1String(VERSION)) {
        m_formula = TXMLMethod::getInfoString(source, QStringLiteral("Formula"));
        m_subdatasetName = TXMLMethod::getInfoString(source, QStringLiteral("SubdatasetName"));
        setRowStart(TXMLMethod::getInfoString(source, QStringLiteral("RowStart")));
        setRowEnd(TXMLMethod::getInfoString(source, QStringLiteral("RowEnd")));
        setColStart(TXMLMethod::getInfoString(source, QStringLiteral("ColStart")));
        setColEnd(TXMLMethod::getInfoString(source, QStringLiteral("ColEnd")));
        if (!readFlag(source, "KeepHHeader", m_keepHHeader) || !readFlag(source, "KeepVHeader", m_keepVHeader)
            || !readFlag(source, "KeepHeader", m_keepHeader))
            return false;
        m_dataModelForHeader = TXMLMethod::getInfoString(source, QStringLiteral("DataModelForHeader"));
        m_rowName = TXMLMethod::getInfoString(source, QStringLiteral("RowName"));
        m_colName = TXMLMethod::getInfoString(source, QStringLiteral("ColName"));
    }

    updateVariableName(m_formula);
    QString text = rowStart();
    updateVariableName(text);
    setRowStart(text);
    text = rowEnd();
    updateVariableName(text);
    setRowEnd(text);
    text = colStart();
    updateVariableName(text);
    setColStart(text);
    text = colEnd();
    updateVariableName(text);
    setColEnd(text);
    updateVariableName(m_rowName);
    updateVariableName(m_colName);
    return true;
}

quint64 KXEquationModel::freshSeed()
{
    return QRandomGenerator::system()->generate64();
}

bool KXEquationModel::readSeed(const QString& text, quint64& seed)
{
    // toULongLong alone would take blanks, a sign and "-1" as 2^64-1.
    if (text.isEmpty() || text.size() > 20)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    bool ok = false;
    const quint64 value = text.toULongLong(&ok, 10);
    if (ok)
        seed = value;
    return ok;
}
