#pragma once

#include "proccommand.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// Where in a template a command or a finding stands: the part of the package
// ("document", "header1", "content", "styles"), or for RTF the line, and the
// paragraph, counted from 1 in document order. For a catalogue line the part
// is the catalogue file and `line` its line. Zero and empty mean "not known"
// or "the whole".
struct CheckPlace
{
    QString part;
    int line = 0;
    int paragraph = 0;

    // "document, абзац 3", "строка 12, абзац 4", "Templates.txt, строка 2".
    QString shown() const;
    // The part column of the tab-separated report: the part, the line, or
    // both as "Templates.txt:2".
    QString partColumn() const;
};

enum class CheckSeverity
{
    Error,
    Warning,
};

struct CheckFinding
{
    CheckPlace place;
    CheckSeverity severity;
    QString message;
};

// A result of a command's query on a sample file, as the document gets it.
struct SampleValue
{
    // The iteration variables it ran with ("i=1, j=2"); empty outside blocks.
    QString variables;
    QString value;
};

// One command as generation meets it.
struct CheckedCommand
{
    CheckPlace place;
    // The command as the author wrote it (for RTF its visible text).
    QString written;
    ProcCommand command;
    // The first results of a dry run on a sample file, and how often it ran.
    QVector<SampleValue> samples;
    int runs = 0;

    // "текст", "таблица", "начало блока", "конец блока", "рисунок".
    QString kindName() const;
};

// The check of one template in one format, or of its catalogue line (the
// format then empty): its commands and what is wrong with it.
struct TemplateCheckResult
{
    QString templateName;
    QString format;
    QString templatePath;
    // For the check of a catalogue line: where the line stands.
    CheckPlace catalogueLine;
    QVector<CheckedCommand> commands;
    QVector<CheckFinding> findings;

    // Adds a finding unless the same one is there already.
    void add(const CheckPlace& place, CheckSeverity severity, const QString& message);
    void addError(const CheckPlace& place, const QString& message)
    {
        add(place, CheckSeverity::Error, message);
    }
    void addWarning(const CheckPlace& place, const QString& message)
    {
        add(place, CheckSeverity::Warning, message);
    }
    int count(CheckSeverity severity) const;
    // Puts the findings in the order of their places: parts as the
    // commands meet them, then by line and paragraph.
    void sortFindings();

private:
    QSet<QString> known;
};

// A catalogue entry as the check needs it, copied so that the check may run
// on a thread of its own while the catalogue is edited.
struct CheckedTemplate
{
    QString name;
    QString templateFile;
    QString queryFolder;
    QString nameQuery;
    QString matchQuery;
    // The line of the catalogue file (or the row of the table) it came from.
    int line = 0;
};
