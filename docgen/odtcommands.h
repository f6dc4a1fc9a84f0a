#pragma once

#include <QDomDocument>
#include <QDomNode>
#include <QRegularExpression>
#include <QString>

// Finding template commands in ODF text.
//
// Word processors split text wherever formatting, proofing marks or editing
// history change, so a command the author typed in one go may be spread over
// several text nodes and spans, and one text node may hold several commands
// with ordinary text around them. isolate() rewrites a freshly parsed part
// once, before any document is generated from it, so that every command block
// is the whole value of a text node of its own: the generator's walk then
// meets each command as one node and copies the text around it unchanged.
class OdtCommands
{
public:
    // The compiled command block pattern; thread-safe for matching.
    static const QRegularExpression& blockPattern();
    // Whether `text` is exactly one command block.
    static bool isCommandText(const QString& text);
    // Quick test on the raw text of a part: can it hold a command at all?
    static bool mayHoldCommand(const QString& rawXml);

    // Rewrites every paragraph and heading of `doc` as described above and
    // returns the number of command blocks found. A command spread over
    // several text nodes is merged into the first of them; what lies between
    // its first and last text node (the rest of the spans, bookmarks, spaces
    // written as elements) is dropped with it; the text before and after it
    // stays where it was, in text nodes of its own.
    static int isolate(const QDomDocument& doc);

    // Whether `name` is a paragraph-level element (text:p or text:h).
    static bool isParagraph(const QString& name);
    // `node` itself or its nearest paragraph or heading; null when none.
    static QDomNode paragraphOf(const QDomNode& node);

private:
    static int isolateIn(const QDomElement& paragraph);
};
