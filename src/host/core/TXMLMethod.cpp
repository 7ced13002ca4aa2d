#include "TXMLMethod.h"

#include "KXError.h"
#include "KXHostFiles.h"
#include "KXOutputFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

// Deeper documents are refused: the DOM parser and its tree recurse once per level.
const int MaximumDepth = 256;
// Both XML parsers compare each attribute with every earlier one of its element; keyed values are
// elements, so an equation needs none, and this bound keeps a hostile file's cost linear.
const int MaximumAttributes = 64;

// Messages
QString tr(const char* english, const char* french)
{
    return QCoreApplication::translate("TXMLMethod", english, french, -1);
}
QString cannotOpenMessage(const QString& path, const QString& reason)
{
    return tr("Cannot open the file %1: %2", "Impossible d'ouvrir le fichier %1 : %2").arg(path, reason);
}
QString tooLargeMessage(const QString& path)
{
    return tr("The file %1 is too large.", "Le fichier %1 est trop volumineux.").arg(path);
}
QString malformedMessage(const QString& path, qint64 line, const QString& reason)
{
    return tr("%1, line %2: %3", "%1, ligne %2 : %3").arg(path).arg(line).arg(reason);
}
QString tooDeepMessage()
{
    return tr("the elements are nested too deeply", "les éléments sont trop imbriqués");
}
QString tooManyAttributesMessage()
{
    return tr("an element has more than %1 attributes", "un élément a plus de %1 attributs").arg(MaximumAttributes);
}
QString noRootMessage(const QString& path)
{
    return tr("%1: the document has no root element.", "%1 : le document n'a pas d'élément racine.").arg(path);
}
QString wrongTypeMessage(const QString& path, const QString& type, const QString& expected)
{
    return tr("%1: the document is of type %2, not %3.", "%1 : le document est de type %2 et non %3.")
        .arg(path, type, expected);
}
QString noDocumentMessage(const QString& path)
{
    return tr("Cannot write the file %1: the document is empty", "Impossible d'écrire le fichier %1 : le document est vide")
        .arg(path);
}

bool fail(KXFileStatus result, const QString& message, QString* error, KXFileStatus* status)
{
    if (error)
        *error = message;
    if (status)
        *status = result;
    return false;
}

QDomDocument ownerOf(const QDomNode& node)
{
    return node.isDocument() ? node.toDocument() : node.ownerDocument();
}

/// Whether no tag holds more than MaximumAttributes attributes, counted in one pass over the bytes
/// before any parser reads them: an "=" outside quotes inside a tag; comments, character data,
/// processing instructions and declarations are passed over. If not, line says where.
bool attributesBounded(const QByteArray& data, qint64* line)
{
    const char* bytes = data.constData();
    const int size = data.size();
    qint64 lines = 1;
    // The index just past the first end after from (size when there is none), counting lines.
    auto skipPast = [&](int from, const char* end) {
        const int found = data.indexOf(end, from);
        const int stop = found < 0 ? size : found + int(qstrlen(end));
        lines += std::count(bytes + from, bytes + stop, '\n');
        return stop;
    };
    auto startsAt = [&](int k, const char* text) { return qstrncmp(bytes + k, text, qstrlen(text)) == 0; };
    int k = 0;
    while (k < size) {
        const char c = bytes[k];
        if (c != '<') {
            lines += c == '\n';
            ++k;
        } else if (startsAt(k, "<!--")) {
            k = skipPast(k + 4, "-->");
        } else if (startsAt(k, "<![CDATA[")) {
            k = skipPast(k + 9, "]]>");
        } else if (startsAt(k, "<?")) {
            k = skipPast(k + 2, "?>");
        } else {
            // A tag, or a declaration with its internal subset between brackets.
            const bool declaration = startsAt(k, "<!");
            int attributes = 0;
            int brackets = 0;
            char quote = 0;
            for (++k; k < size; ++k) {
                const char d = bytes[k];
                lines += d == '\n';
                if (quote) {
                    quote = d == quote ? 0 : quote;
                } else if (d == '"' || d == '\'') {
                    quote = d;
                } else if (d == '[' && declaration) {
                    ++brackets;
                } else if (d == ']' && declaration) {
                    --brackets;
                } else if (d == '=' && !declaration && ++attributes > MaximumAttributes) {
                    *line = lines;
                    return false;
                } else if (d == '>' && brackets <= 0) {
                    ++k;
                    break;
                }
            }
        }
    }
    return true;
}

/// Whether the text is well-formed XML no deeper than MaximumDepth, checked without building a
/// tree; if not, line and reason say where and why.
bool isShallowWellFormed(const QByteArray& data, qint64* line, QString* reason)
{
    QXmlStreamReader reader(data);
    int depth = 0;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            if (++depth > MaximumDepth) {
                *line = reader.lineNumber();
                *reason = tooDeepMessage();
                return false;
            }
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        default:
            break;
        }
    }
    *line = reader.lineNumber();
    *reason = reader.errorString();
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
    // A node list cannot be filtered in place: the matching children are gathered, as copies,
    // under a detached copy of the node.
    QDomNode children = node.cloneNode(false);
    for (QDomElement child = node.firstChildElement(tag); !child.isNull(); child = child.nextSiblingElement(tag))
        children.appendChild(child.cloneNode(true));
    return children.childNodes();
}

bool TXMLMethod::save(const QDomDocument* document, const QString& path, bool indent, bool withDeclaration,
                      QString* error, KXFileStatus* status)
{
    // A document without a root element is not XML; refusing it keeps the previous file.
    if (!document || document->documentElement().isNull())
        return fail(KXFileStatus::CannotCreate, noDocumentMessage(path), error, status);
    QByteArray data = document->toByteArray(indent ? 2 : -1);
    const bool hasDeclaration = document->firstChild().isProcessingInstruction()
                                && document->firstChild().nodeName() == QLatin1String("xml");
    if (withDeclaration && !hasDeclaration)
        data.prepend("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n");
    const KXFileStatus written = KXOutputFile::write(path, data, error);
    if (status)
        *status = written;
    if (written != KXFileStatus::Ok)
        return false;
    MessageLoggerInterface::Info(QCoreApplication::translate("TXMLMethod", "%1 saved.", "%1 enregistré.", -1)
                                     .arg(QDir::toNativeSeparators(path)));
    return true;
}

bool TXMLMethod::load(QDomDocument* document, const QString& path, bool checkDocumentType, bool requireRoot,
                      QString* error, KXFileStatus* status)
{
    if (!document)
        return false;
    QByteArray data;
    QString reason;
    switch (KXHostFiles::readBounded(path, MaximumFileSize, &data, &reason)) {
    case KXHostFiles::ReadResult::Ok:
        break;
    case KXHostFiles::ReadResult::TooLarge:
        return fail(KXFileStatus::TooLarge, tooLargeMessage(path), error, status);
    default:
        return fail(KXFileStatus::CannotOpen, cannotOpenMessage(path, reason), error, status);
    }
    qint64 line = 0;
    if (!attributesBounded(data, &line))
        return fail(KXFileStatus::Malformed, malformedMessage(path, line, tooManyAttributesMessage()), error, status);
    if (!isShallowWellFormed(data, &line, &reason))
        return fail(KXFileStatus::Malformed, malformedMessage(path, line, reason), error, status);
    QDomDocument loaded;
    int domLine = 0;
    if (!loaded.setContent(data, &reason, &domLine))
        return fail(KXFileStatus::Malformed, malformedMessage(path, domLine, reason), error, status);
    if (requireRoot && loaded.documentElement().isNull())
        return fail(KXFileStatus::Malformed, noRootMessage(path), error, status);
    const QString expectedType = document->doctype().name();
    if (checkDocumentType && !expectedType.isEmpty()) {
        // A file without a document type is named by its root element.
        QString type = loaded.doctype().name();
        if (type.isEmpty())
            type = loaded.documentElement().tagName();
        if (type != expectedType)
            return fail(KXFileStatus::Malformed, wrongTypeMessage(path, type, expectedType), error, status);
    }
    *document = loaded;
    if (status)
        *status = KXFileStatus::Ok;
    return true;
}
