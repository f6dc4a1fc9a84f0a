#pragma once

#include "basedocproc.h"

#include <QRegExp>
#include <QString>
#include <QVector>

#include <memory>

class ProcCommand;
class RtfWriter;
struct RtfTemplate;

// Generates an RTF document from an RTF template by working on the raw RTF
// text: command blocks are found with a regular expression, the markup a word
// processor scatters inside them is stripped, and the template is copied to
// the result with each block replaced by its query result, table rows
// repeated and repeated blocks expanded. Wherever the text is cut, the curly
// braces of RTF groups are compensated so that the result stays well formed.
class RtfProc : public BaseDocProc
{
public:
    RtfProc(const QString& sourceFileName, const QString& destinationFileName,
            const QString& templateFileName, const QString& queryFolder, QTextCodec* codec);
    ~RtfProc() override;

    bool generateDocument() override;

    // What is written between two repetitions of a block for its `separate` option.
    static QString getSeparateStr(const QString& value);

    // How the walk reads a template, for a check that must read it the same
    // way: the text that is parsed as the command of the block [start, end)
    // (its RTF markup stripped), the table row that a table command at
    // `commandStart` fills (false when no row ends before it), and where the
    // paragraph marks stand.
    static QString commandTextOf(const QString& text, int start, int end);
    static bool templateRowBefore(const QString& text, int commandStart, int& rowStart, int& rowEnd);
    static QVector<int> paragraphMarks(const QString& text);

private:
    bool findCommandBlock(const QString& text, int from, int& start, int& end) const;
    QString buildTable(const QString& rowTemplate, const QString& data, const QString& replaceEmpty) const;
    bool findIterateEndBlock(const QString& text, int from, const QString& varName, int& start,
                             int& end) const;
    void processTemlateStr(const QString& text, RtfWriter& stream);

    // Where the body of a repeated block lies, and where the walk goes on.
    struct BlockBody
    {
        int start;
        int end;
        int after;
        // The body ends with a table row, not a paragraph.
        bool endsWithRow;
    };

    int processIterateBlock(const QString& text, int pos, int start, int end, const ProcCommand& command,
                            const QString& result, RtfWriter& stream);
    BlockBody blockBody(const QString& text, int end, int endStart, int endEnd) const;
    bool findTemplateRow(const QString& text, int pos, int commandStart, int& rowStart, int& rowEnd) const;
    int paragraphEndAfter(const QString& text, int from) const;
    QString withoutParMarks(const QString& text, int start, int end) const;
    QString encodableResult(const QString& result) const;

    // Each generator has its own expressions: QRegExp keeps match state in
    // the object, and generators run in parallel worker threads.
    QRegExp rxCommandBlock;
    QRegExp rxPar;
    QRegExp rxParRow;
    QRegExp rxCell;
    // The template being generated from, with its command blocks found.
    std::shared_ptr<const RtfTemplate> loadedTemplate;
    // Whether query results may be written as the codec's bytes: true when
    // the template declares the codec's code page.
    bool resultsInCodePage = true;
};

// Number of group openings minus group closings. Braces escaped as \{ and \}
// are literal text in RTF and do not count.
int braceParity(const QString& text);
int braceParity(const QString& text, int start, int end);

// Moves a position from a \par or \row mark to where the text after the mark
// really begins: past the group closings and line breaks that still belong to
// the paragraph or row, so that a cut there leaves them with the text before.
void moveToRealEnd(const QString& text, int& position);
