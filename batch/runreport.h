#pragma once

#include <QFile>
#include <QString>
#include <QStringList>
#include <QVector>

class FileItem;
class XmlFileItem;

// What became of one XML source file in a batch run.
struct SourceOutcome
{
    enum class State { Made, Skipped, Failed, NoTemplate, NotDone };

    State state = State::NotDone;
    // The XML file; for an archive that gave none, the archive.
    QString source;
    // The archive the file was unpacked from; empty for a file given as it is.
    QString archive;
    QString templateName;
    // The documents of the file: those made (a document whose PDF failed
    // too), or those there already.
    QStringList documents;
    QString message;

    // Made or skipped: nothing more to do for the file.
    bool isDone() const { return state == State::Made || state == State::Skipped; }
    // "made", "skipped", "failed", "no-template", "not-done".
    static QString stateName(State state);

    // The outcome of an XML file whose work ended: `finished` when its worker
    // finished the job (rather than crashing), `skipped` when its document
    // was there already.
    static SourceOutcome of(const XmlFileItem& item, bool finished, bool skipped);
    // A file or archive that ended before any work began, `source` being its
    // name (a file that does not exist has an item without one): it failed.
    static SourceOutcome failedEntry(const FileItem& item, const QString& source);
    static SourceOutcome notDone(const QString& source, const QString& archive = QString());
};

// The report of a batch run (--report FILE|-), written as the run goes:
// the records of a source file as soon as the file ends, each pushed to the
// system at once, so that the report of a run killed outright still holds
// every file finished before. Records come in the order files end; those
// not done when an interrupted run ends come last, in list order.
// tsv: the processing list's report, header and columns as the window saves
// them, an archive's lines (with "-" before its files) together; jsonl: one
// JSON object a line for each XML file.
class RunReport
{
public:
    enum class Format { Tsv, Jsonl };
    static bool parseFormat(const QString& text, Format* format);

    // `fileName` "-" for standard output, empty for no report.
    RunReport(const QString& fileName, Format format);

    // Creates the report, replacing a file there, and writes the tsv header.
    void begin(const QStringList& columnNames);
    // The records of a top-level item of the list (a file given, or an
    // archive with what it unpacked) and the outcomes of its XML files.
    void add(const FileItem& entry, const QVector<SourceOutcome>& outcomes);
    // A file given that the run never came to.
    void addNotStarted(const QString& path);
    // Whether every record reached the system; a failure is shown once.
    bool isIntact() const { return !failed; }

private:
    void write(const QByteArray& bytes);
    static QByteArray jsonLine(const SourceOutcome& outcome);
    static void appendLines(QByteArray& text, const FileItem& item);

    QString fileName;
    Format format;
    QFile file;
    bool failed = false;
};
