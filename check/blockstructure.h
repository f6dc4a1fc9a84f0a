#pragma once

#include <QStringList>
#include <QVector>

struct CheckedCommand;
struct TemplateCheckResult;

// How the commands of one part pair into repeated blocks, worked out as the
// walk pairs them: an iterate_start is closed by the first later
// iterate_end of the same variable (letter case aside) within the block
// that holds it, without counting levels. Reports starts without an end,
// blocks that cross, ends that close nothing and variables reused inside
// their own block.
class BlockStructure
{
public:
    struct Rules
    {
        // The walk drops the paragraphs of iterate_start and iterate_end
        // whole (DOCX, ODT): an end in the start's paragraph is never met,
        // and other commands there are not executed.
        bool commandParagraphsDropped = false;
        // A block without its end stops the walk of its level (ODT).
        bool missingEndStopsWalk = false;
    };

    // `first` to `last` (exclusive) are the commands of one part, in order.
    BlockStructure(TemplateCheckResult& result, int first, int last, const Rules& rules);

    // For an iterate_start, the index of its iterate_end; -1 otherwise.
    int endOf(int index) const { return ends.at(index - first); }
    // Whether the walk executes the command (an end it pairs is not).
    bool executed(int index) const { return runs.at(index - first); }
    // Whether a block is produced at all: not when its variable is in use
    // by a block around it.
    bool produced(int index) const { return !reused.at(index - first); }
    // The variables of the blocks around the command, outermost first.
    const QStringList& enclosing(int index) const { return open.at(index - first); }
    int begin() const { return first; }
    int end() const { return last; }

private:
    void walk(int from, int to, const QStringList& variables);
    int findEnd(int start, int to);
    void dropRestOfParagraph(int index, const QString& why);
    const CheckedCommand& at(int index) const;

    TemplateCheckResult& result;
    int first;
    int last;
    Rules rules;
    QVector<int> ends;
    QVector<bool> runs;
    QVector<bool> reused;
    QVector<QStringList> open;
};
