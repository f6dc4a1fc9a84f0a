#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Helpers shared by the test executables: hermetic set-up, a temporary
// resource folder with real query files, and LibreOffice conversions.
class MainWindow;
class QAction;
class QWidget;

namespace TestSupport {

// Built with the address sanitizer, which makes deep recursion slow and
// takes several times the stack.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool underSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool underSanitizer = true;
#else
constexpr bool underSanitizer = false;
#endif
#else
constexpr bool underSanitizer = false;
#endif

// Hermetic set-up for tests of the real window, whose query work runs in
// worker processes as in the program: the batch command serves as their
// program. False when it was not built.
bool initWindowTests();
// The window's action with this text, or null.
QAction* actionNamed(QWidget* window, const QString& text);
// Runs the event loop until the window's run has ended, at most `timeout`
// milliseconds; whether it has.
bool waitForRunEnd(MainWindow& window, int timeout = 60000);

// Test mode for standard paths, a private organisation name and a settings
// store in a temporary folder.
// Call first in initTestCase().
void initHermeticEnvironment();
// Empties the test's own settings store.
void clearSettingsStore();

bool writeFile(const QString& path, const QByteArray& bytes);
bool writeTextFile(const QString& path, const QString& text);
QByteArray readFile(const QString& path);
// The records of a JSON Lines file (the batch command's jsonl report); a
// line that is not a JSON object gives one record {"unreadable": line}.
QList<QJsonObject> jsonRecords(const QString& path);
// Copies every file below `from` to the same place below `to`.
void copyFolder(const QString& from, const QString& to);
// Writes a ZIP archive of (entry name, bytes) pairs, deflated, with QuaZip.
bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries);

// Folder of real documents written by others (DOCX, ODT, RTF); empty when absent.
QString corpusDir();

// A resource folder in a temporary directory, put first in the resource search
// order: Settings/Templates.txt, Templates/..., Queries/<folder>/...
class ResourceFolder
{
public:
    ResourceFolder();
    bool isValid() const { return dir.isValid(); }
    QString path() const { return dir.path(); }
    // Writes Queries/<folder>/<name>, with the extension .xq ensured.
    QString addQuery(const QString& folder, const QString& name, const QString& xquery);
    // Writes a query that returns a fixed string literal.
    QString addLiteralQuery(const QString& folder, const QString& name, const QString& value);
    QString addTemplate(const QString& fileName, const QByteArray& bytes);
    QString addTemplateFile(const QString& fileName, const QString& sourcePath);
    // Lines of nine tab-separated fields, joined into Settings/Templates.txt.
    QString writeCatalogue(const QStringList& lines);

private:
    QTemporaryDir dir;
};

// A query prologue binding the source document, as every query file starts.
QString queryPrologue();

// LibreOffice in headless mode with a private profile.
namespace LibreOffice {
bool available();
// Converts the files with one soffice call; returns the output file paths by
// input path (missing entries failed). filter is e.g. "txt:Text", "pdf", "docx", "rtf", "odt".
// inFilter names the import filter when the extension alone would pick the
// wrong one (e.g. "HTML (StarWriter)" to open HTML as a text document).
QHash<QString, QString> convert(const QStringList& files, const QString& filter, const QString& outDir,
                                const QString& inFilter = QString());
// Converts to text and returns the texts by input path.
QHash<QString, QString> toText(const QStringList& files, const QString& outDir);
QString toText(const QString& file, const QString& outDir);
// Number of pages of a PDF (pdfinfo), -1 on failure.
int pdfPageCount(const QString& pdfPath);
// Number of images in a PDF (pdfimages -list), -1 on failure.
int pdfImageCount(const QString& pdfPath);
// The text of a PDF (pdftotext), empty when it is no readable PDF.
QString pdfText(const QString& pdfPath);
// The running processes below `pid` whose program is `name` ("soffice.bin").
QList<qint64> descendantProcesses(qint64 pid, const QString& name);
} // namespace LibreOffice

} // namespace TestSupport
