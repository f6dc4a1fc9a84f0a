#pragma once

#include <QDomDocument>
#include <QDomDocumentFragment>
#include <QString>
#include <QStringList>

// Turns a value into ODF paragraph content that shows exactly that value.
// A reader of ODF text collapses runs of spaces, drops a space at the start of
// a paragraph or after another space, and renders tabs and line feeds as
// spaces; so spaces that would be lost become text:s, tabs text:tab and line
// feeds text:line-break. Characters that XML 1.0 cannot carry are dropped, so
// that a stray control character in the data cannot make the part unreadable.
class OdtTextWriter
{
public:
    // The nodes for `value`, created in `doc`; an empty fragment for an empty value.
    static QDomDocumentFragment fragment(QDomDocument doc, const QString& value);
    // Appends the nodes for `value` to `parent`; returns the last node
    // appended, or a null node when the value gave none.
    static QDomNode append(QDomNode parent, QDomDocument doc, const QString& value);
    // Inserts the nodes for `value` right after `node`, inside its parent.
    static void insertAfter(QDomNode node, QDomDocument doc, const QString& value);

    // The lines of a query result: split at line feeds ("\r\n" counts as
    // one), empty lines kept, so an empty value is one empty line.
    static QStringList splitLines(const QString& value);
    // Whether `name` is one of the elements written for spaces, tabs and
    // line breaks.
    static bool isSpacingElement(const QString& name);
};
