#pragma once

#include "rtfgroupbalance.h"

#include <QString>
#include <QVector>

#include <memory>

class QTextCodec;

// An RTF template's text as a codec reads it, with where its command blocks
// stand, found once: the search for them is a good part of the work of an
// RTF document.
struct RtfTemplate
{
    QString text;
    // Start and end of each command block, in order, each search beginning
    // where the previous block ends.
    QVector<int> blockStarts;
    QVector<int> blockEnds;
    // Checked once with the text: an unbalanced template gives no document.
    RtfGroupBalance balance;

    // The first block at or after `from`, as a search of the text from there
    // finds it; false when the positions cannot tell (`from` falls inside a
    // block) or when there is none, which `known` tells apart.
    bool blockAfter(int from, int& start, int& end, bool& known) const;
};

// The RTF templates a thread has read, kept for the documents that follow
// and read again when their file changes.
class RtfTemplateCache
{
public:
    // Null when the file cannot be read.
    static std::shared_ptr<const RtfTemplate> get(const QString& path, QTextCodec* codec);

    static constexpr int capacity = 8;
};
