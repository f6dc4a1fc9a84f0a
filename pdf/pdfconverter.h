#pragma once

#include "libreofficeinstallation.h"

#include <QByteArray>
#include <QString>

#include <memory>

class OfficeProcess;

// Makes PDF files of documents with one LibreOffice that is started once
// and then fed document after document: a headless office listening on a
// pipe of its own, driven by a small Python client over UNO. A start costs
// seconds, a document some tenths of a second.
//
// The office runs with a user profile of its own in a temporary folder,
// removed at the end (and, should the process be killed, by the next
// converter started on this machine), so converters never share a profile
// and the user's own LibreOffice settings stay untouched. A new profile
// starts as a copy of one that an office set up before (kept in the user's
// cache folder), which saves the office most of a second at each start. It dies with the
// thread that started it; it works only in the folder of its converter,
// so it leaves nothing beside the documents. A conversion that takes longer
// than its limit, or an office that crashes, costs that document only: the
// office is killed and started afresh for the next.
//
// One converter serves one thread; every call comes from the thread that
// made it.
class PdfConverter
{
public:
    explicit PdfConverter(const LibreOfficeInstallation& office = LibreOfficeInstallation::find());
    // Ends the office in order and removes the converter's folder.
    ~PdfConverter();
    PdfConverter(const PdfConverter&) = delete;
    PdfConverter& operator=(const PdfConverter&) = delete;

    // Starts the office without waiting for it, so that it is ready by the
    // time the first document comes; convert() starts it when needed too.
    void start();
    // Writes a PDF of `document` (DOCX, ODT or RTF, as `format` says, whatever
    // the file's name) to `pdfPath`, replacing the file there. `timeLimitSeconds`
    // bounds the conversion, 0 for none; the office's start is not counted.
    // False with the reason in `error` when no PDF was made.
    bool convert(const QString& document, const QString& format, const QString& pdfPath, int timeLimitSeconds,
                 QString* error);

    // The office process now running, 0 for none.
    qint64 officeProcessId() const;
    // How often an office was started.
    int officeStarts() const { return starts; }

    // Removes what converters of processes that ended left behind: their
    // folders and their offices' pipes. A supervisor calls it when a worker
    // was killed; every new converter does it too.
    static void removeLeftovers();

    // Longest wait for a starting office.
    static constexpr int startLimitSeconds = 120;

private:
    bool prepareFolder(QString* error);
    bool waitUntilReady(QString* error);
    // Reads one answer of the client; false at the deadline (-1 for none) or
    // when the office or the client ended.
    bool readAnswer(qint64 deadline, QByteArray* line, QString* error);
    // Kills the office and the client and forgets them.
    void kill();
    // A failed start counts against the office; after two in a row it is
    // given up for the converter's life.
    void startFailed(const QString& reason);
    void removeOfficePipes();
    // Keeps the profile of an office that ended in order as the seed of later ones.
    void keepAsSeed() const;

    LibreOfficeInstallation office;
    QString folder;
    QString pipeName;
    std::unique_ptr<OfficeProcess> officeProcess;
    std::unique_ptr<OfficeProcess> client;
    QByteArray clientOutput;
    bool ready = false;
    int starts = 0;
    int failedStarts = 0;
    // A start after a failure makes its profile from nothing.
    bool seeded = true;
    QString givenUp;
};
