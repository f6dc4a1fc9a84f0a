#pragma once

#include "commandisolation.h"

#include <QDomElement>
#include <QVector>

// The text of a WordprocessingML paragraph in its runs' "w:t" elements, and
// how a command block becomes a run of its own:
// - a command spread over several runs is one run with the properties of the
//   run where it begins, holding one "w:t" with the command's text; the runs
//   it covered are gone, together with their tabs, breaks and other inline
//   content inside the command, while bookmarks, proofing marks and wrappers
//   (hyperlinks, insertions...) between those runs stay where they were;
// - text before and after a command is split into sibling runs with the same
//   run properties, keeping its tabs, breaks and fields in place;
// - all other runs are left exactly as they were.
class DocxRunPieces : public CommandIsolation::ParagraphPieces
{
public:
    QString read(const QDomElement& paragraph, QVector<int>& starts) override;
    void isolate(int first, int last, int start, int end, const QString& block) override;

private:
    // A non-empty "w:t" of one of the paragraph's own runs.
    struct Piece
    {
        QDomElement run;
        QDomElement text;
        int runIndex;
    };
    QVector<QDomElement> runs;
    QVector<Piece> pieces;
};
