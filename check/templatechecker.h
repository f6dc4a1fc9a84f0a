#pragma once

#include "generationlimits.h"
#include "templatecheckresult.h"

#include <QString>
#include <QStringList>
#include <QVector>

class QueryCheck;
class TemplateList;

// Checks catalogue entries and their templates the way a run would meet
// them, without making a document: the catalogue line's queries and
// template files, and in each template every command with its place, its
// structure and its query; with a sample source file also a dry run of
// every query. Reads only; safe to run on a thread of its own, one check at
// a time per thread.
class TemplateChecker
{
public:
    struct Options
    {
        // The formats to check; empty: every format whose template file exists.
        QStringList formats;
        // A source XML file to run the queries on; empty for none.
        QString samplePath;
        GenerationLimits limits;
        // The catalogue file, as places of catalogue lines name it.
        QString catalogueName = QStringLiteral("Templates.txt");
    };

    static const QStringList allFormats;

    // The check of an entry's catalogue line, then of its template in each
    // format asked for.
    static QVector<TemplateCheckResult> check(const CheckedTemplate& entry, const Options& options);

    // The entries of a catalogue, each with its line in the catalogue file
    // (its row, counted from 1, when the file no longer matches the list).
    static QVector<CheckedTemplate> entriesOf(const TemplateList& catalogue, const QString& cataloguePath);
    // Lines of the catalogue file that cannot serve as entries, as findings.
    static TemplateCheckResult catalogueLines(const QString& cataloguePath);

private:
    static TemplateCheckResult checkFile(const CheckedTemplate& entry, const QString& format,
                                         const QString& path, const Options& options, QueryCheck& queries);
};
