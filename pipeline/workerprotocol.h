#pragma once

#include <QByteArray>
#include <QString>

class TemplateList;
class XmlFileItem;

// The lines that a supervisor (the batch command, the main window) and its
// worker processes exchange: a job per source file on the worker's standard
// input; on its standard output the messages it shows, the files it owns
// while it works, and the outcome of each job. Texts travel in Base64, so
// that no name or message can break a line.

struct WorkerJob
{
    // What the worker does with the file, in this order.
    enum Operation {
        Detect = 0x1,    // choose the template (or give the fixed one)
        NameBase = 0x2,  // run the name query when the base is still empty
        Transform = 0x4, // make the document
    };

    int id = -1;
    int operations = Detect | NameBase | Transform;
    // The XML file, and the file the user gave that holds it (the same file,
    // or the archive it was unpacked from): documents go beside that one.
    QString sourcePath;
    QString topLevelPath;
    // What is known of the file already.
    int state = 0;
    int templateIndex = -1;
    QString destBase;

    // A job for one item of the processing list (a link stands for its
    // file with its own template).
    static WorkerJob forItem(const XmlFileItem& item, int operations, const TemplateList& catalogue);
};

struct WorkerResult
{
    int id = -1;
    int state = 0;
    // Index of the chosen template in the catalogue, -1 for none.
    int templateIndex = -1;
    QString destBase;
    QString destFileName;
    // The PDF made beside the document, empty for none.
    QString pdfFileName;
    QString errorText;
    bool hasError = false;
    // The document stood under its name already and was left as it is.
    bool skipped = false;

    // Puts the outcome of `job` on the item it was made for. The worker
    // showed its messages itself, so errors are recorded, not shown again.
    void applyTo(XmlFileItem& item, int operations, const TemplateList& catalogue) const;
};

namespace WorkerProtocol {

QByteArray jobLine(const WorkerJob& job);
bool parseJob(const QByteArray& line, WorkerJob* job);

QByteArray resultLine(const WorkerResult& result);
bool parseResult(const QByteArray& line, WorkerResult* result);

// A file the worker created for itself (see OwnedFiles).
QByteArray ownedLine(const QString& path);
bool parseOwned(const QByteArray& line, QString* path);

// The job's document is made and its conversion to PDF begins: the PDF
// has a time limit of its own.
QByteArray convertingLine(int id);
bool parseConverting(const QByteArray& line, int* id);

// A line of the message log, time stamp included.
QByteArray messageLine(const QString& line);
bool parseMessage(const QByteArray& line, QString* text);

} // namespace WorkerProtocol
