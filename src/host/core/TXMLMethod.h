#pragma once

#include "KXFileStatus.h"
#include "KXHostGlobal.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNodeList>
#include <QString>

/// The host's XML helpers. A keyed value is stored as a child element <Key>text</Key>.
class KXHOST_EXPORT TXMLMethod
{
public:
    /// Appends a new child element with the tag to parent and returns it.
    static QDomElement createChildElement(QDomNode& parent, const QString& tag);
    /// Records text under key on the element.
    static bool addToElement(QDomElement& element, const QString& key, const QString& text);
    /// The text recorded under key on node; empty when absent.
    static QString getInfoString(const QDomNode& node, const QString& key);
    /// Copies of the child elements of node with the tag, in document order; deeper elements are
    /// not children.
    static QDomNodeList getNodeChild(const QDomNode& node, const QString& tag);

    /// Writes the whole document to path as KXOutputFile does: a failed save leaves any previous
    /// file intact, a device or a FIFO is written into. indent: pretty-print; withDeclaration:
    /// start with the XML declaration. On failure error gives the file and the reason.
    static bool save(const QDomDocument* document, const QString& path, bool indent, bool withDeclaration,
                     QString* error = nullptr, KXFileStatus* status = nullptr);
    /// Reads a whole document from path; false when the file is missing, larger than
    /// MaximumFileSize or not well-formed XML. checkDocumentType: refuse a file whose document
    /// type differs from the document's; requireRoot: refuse a file without a root element.
    /// On failure error gives the file, the line where there is one, and the reason.
    static bool load(QDomDocument* document, const QString& path, bool checkDocumentType, bool requireRoot,
                     QString* error = nullptr, KXFileStatus* status = nullptr);

    static constexpr qint64 MaximumFileSize = qint64(16) << 20;
};
