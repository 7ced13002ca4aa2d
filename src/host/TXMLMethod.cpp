#include "TXMLMethod.h"

#include "KXError.h"
#include "KXHostFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>
#include <QXmlStreamReader>

namespace {

// Equation files are small; anything larger is not one of ours.
const qint64 MaximumFileSize = qint64(16) << 20;
// Deeper documents are refused: the DOM parser and its tree recurse once per level.
const int MaximumDepth = 256;

QDomDocument ownerOf(const QDomNode& node)
{
    return node.isDocument() ? node.toDocument() : node.ownerDocument();
}

/// Whether the text is well-formed XML no deeper than MaximumDepth, checked without building a tree.
bool isShallowWellFormed(const QByteArray& data)
{
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > MaximumDepth)
                return false;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    return !reader.hasError();
}

}

QDomElement TXMLMethod::createChildElement(QDomNode& parent, const QString& tag)
{
    QDomDocument document = ownerOf(parent);
    if (document.isNull())
        return QDomElement();
    QDomElement child = document.createElement(tag);
    parent.appendChild(child);
    return child;
}

bool TXMLMethod::addToElement(QDomElement& element, const QString& key, const QString& text)
{
    QDomDocument document = ownerOf(element);
    if (element.isNull() || document.isNull() || key.isEmpty())
        return false;
    QDomElement child = element.firstChildElement(key);
    if (child.isNull()) {
        child = document.createElement(key);
        element.appendChild(child);
    }
    while (child.hasChildNodes())
        child.removeChild(child.firstChild());
    child.appendChild(document.createTextNode(text));
    return true;
}

QString TXMLMethod::getInfoString(const QDomNode& node, const QString& key)
{
    return node.firstChildElement(key).text();
}

QDomNodeList TXMLMethod::getNodeChild(const QDomNode& node, const QString& tag)
{
    if (node.isDocument())
        return node.toDocument().elementsByTagName(tag);
    return node.toElement().elementsByTagName(tag);
}

bool TXMLMethod::save(const QDomDocument* document, const QString& path, bool indent, bool withDeclaration)
{
    // A document without a root element is not XML; refusing it keeps the previous file.
    if (!document || document->documentElement().isNull())
        return false;
    QByteArray data = document->toByteArray(indent ? 2 : -1);
    const bool hasDeclaration = document->firstChild().isProcessingInstruction()
                                && document->firstChild().nodeName() == QLatin1String("xml");
    if (withDeclaration && !hasDeclaration)
        data.prepend("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    MessageLoggerInterface::Info(QCoreApplication::translate("TXMLMethod", "%1 saved.", "%1 enregistré.", -1)
                                     .arg(QDir::toNativeSeparators(path)));
    return true;
}

bool TXMLMethod::load(QDomDocument* document, const QString& path, bool checkDocumentType, bool requireRoot)
{
    if (!document)
        return false;
    QByteArray data;
    if (KXHostFiles::readBounded(path, MaximumFileSize, &data, nullptr) != KXHostFiles::ReadResult::Ok)
        return false;
    if (!isShallowWellFormed(data))
        return false;
    QDomDocument loaded;
    if (!loaded.setContent(data))
        return false;
    if (requireRoot && loaded.documentElement().isNull())
        return false;
    const QString expectedType = document->doctype().name();
    if (checkDocumentType && !expectedType.isEmpty()) {
        // A file without a document type is named by its root element.
        QString type = loaded.doctype().name();
        if (type.isEmpty())
            type = loaded.documentElement().tagName();
        if (type != expectedType)
            return false;
    }
    *document = loaded;
    return true;
}
