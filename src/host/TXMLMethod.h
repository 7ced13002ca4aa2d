#pragma once

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
    /// The elements with the tag below node, in document order.
    static QDomNodeList getNodeChild(const QDomNode& node, const QString& tag);

    /// Writes the whole document to path, atomically: a failed save leaves any previous file intact.
    /// indent: pretty-print; withDeclaration: start with the XML declaration.
    static bool save(const QDomDocument* document, const QString& path, bool indent, bool withDeclaration);
    /// Reads a whole document from path; false when the file is missing or not well-formed XML.
    /// checkDocumentType: refuse a file whose document type differs from the document's;
    /// requireRoot: refuse a file without a root element.
    static bool load(QDomDocument* document, const QString& path, bool checkDocumentType, bool requireRoot);
};
