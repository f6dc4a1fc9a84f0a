#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

struct DomNames;

// Word processors split text wherever formatting, proofing marks or editing
// history change, so a command the author typed in one go may be spread over
// several runs, spans or text nodes, and one of them may hold several
// commands with ordinary text around them. A freshly parsed template part is
// rewritten once, before any document is generated from it, so that every
// command block is one node of its own (a run, a text node): the walk then
// meets each command as one node and copies the text around it unchanged.
//
// The text of each paragraph is read in pieces, the blocks are found in the
// joined text, and each block, from the last to the first, is made a node of
// its own by the format's ParagraphPieces.
class CommandIsolation
{
public:
    // The text of one paragraph, in the nodes that hold it, and the surgery
    // that makes one command block a node of its own.
    class ParagraphPieces
    {
    public:
        virtual ~ParagraphPieces();
        // Reads the paragraph's own text; `starts` receives where each piece
        // begins in the joined text that is returned.
        virtual QString read(const QDomElement& paragraph, QVector<int>& starts) = 0;
        // Makes `block`, which begins `start` characters into piece `first`
        // and ends `end` characters into piece `last`, one node of its own.
        // Called for the blocks of a paragraph from the last to the first.
        virtual void isolate(int first, int last, int start, int end, const QString& block) = 0;
        // What stands between pieces `first` and `last` (the pieces of one
        // block) that is no text of the paragraph, such as a field or a
        // comment, which the block's isolation drops; empty when nothing.
        virtual QString interruption(int first, int last) const;
    };

    // What a paragraph whose text may hold a command looked like before it
    // was rewritten, for a check of the template that has to see the
    // commands exactly as the walk will.
    struct ParagraphBlocks
    {
        QDomElement paragraph;
        // The paragraph's own text as the format reads it.
        QString text;
        // Start and end of each command block in `text`.
        QVector<QPair<int, int>> blocks;
        // For each block, what inside it is no text (see interruption()).
        QStringList interruptions;
    };
    using Observer = std::function<void(const ParagraphBlocks&)>;

    // Rewrites every paragraph below `root` (nested ones included, as they
    // stand after their outer paragraph was rewritten); returns the number
    // of command blocks found. `observer`, when given, sees each paragraph
    // that may hold a command before it is rewritten.
    static int isolate(const QDomNode& root, const DomNames& names, ParagraphPieces& pieces,
                       const Observer& observer = {});

private:
    static int isolateIn(const QDomElement& paragraph, ParagraphPieces& pieces, const Observer& observer);
};
