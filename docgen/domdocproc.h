#pragma once

#include "basedocproc.h"

#include <QDomNode>

// Base of the generators that walk a template part as a DOM tree (DOCX and
// ODT): what finds the end of a repeated block is the same for both; only
// how a command block is found differs.
class DomDocProc : public BaseDocProc
{
public:
    using BaseDocProc::BaseDocProc;

    // The next command block from `start` up to `end`; `blockFirst` and
    // `blockLast` receive the nodes that hold it. Empty when there is none.
    virtual QString findCommandBlock(QDomNode& blockFirst, QDomNode& blockLast, const QDomNode& start,
                                     const QDomNode& end) = 0;
    // Finds the first iterate_end command after `start` whose variable is
    // `varName` (letter case aside); reports the missing end otherwise.
    bool findIterateEndBlock(QDomNode& blockFirst, QDomNode& blockLast, const QString& varName,
                             const QDomNode& start, const QDomNode& end);
};
