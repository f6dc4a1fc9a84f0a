#pragma once

#include <QString>
#include <QVector>

struct TemplateCheckResult;

// Reads an RTF template as its generator does (the raw text in Windows-1251,
// command blocks found in it and their markup stripped) and lists its
// commands with their line and paragraph, with what RTF alone can tell:
// unbalanced group braces, text that looks like a command but will not be
// found, commands broken by a field or a comment or spread over paragraphs,
// names written in letters RTF stores escaped, table commands without a
// row right before them, and the picture and section commands RTF lacks.
class RtfTemplateScan
{
public:
    explicit RtfTemplateScan(TemplateCheckResult& result) : result(result) {}

    void scan(const QString& templatePath);

private:
    int lineAt(int offset) const;
    int paragraphAt(int offset) const;
    void checkCommand(const QString& text, int start, int end);
    // The command whose block starts in [from, to), or -1.
    int blockInside(int from, int to) const;
    void findStrayCommands(const QString& text, const QVector<int>& starts, const QVector<int>& ends);

    TemplateCheckResult& result;
    QVector<int> lineBreaks;
    QVector<int> paragraphMarks;
    // Where the block of each command listed so far starts.
    QVector<int> commandStarts;
};
