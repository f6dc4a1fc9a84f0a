#include "pdfconverter.h"

#include "officeprocess.h"
#include "stagingname.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QProcessEnvironment>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

#include <cerrno>
#include <cstdio>

#include <csignal>

#include <sys/stat.h>
#include <unistd.h>

static void initConverterResources()
{
    Q_INIT_RESOURCE(pdf);
}

namespace {

// A restart requested by a freshly made profile.
const int officeRestartCode = 81;
// How long a finished office may take to end in order.
const int orderlyEndMs = 5000;
const int pollMs = 100;

QString importFilter(const QString& format)
{
    if (format == QLatin1String("docx"))
        return QStringLiteral("MS Word 2007 XML");
    if (format == QLatin1String("odt"))
        return QStringLiteral("writer8");
    return QStringLiteral("Rich Text Format");
}

QString fileUrl(const QString& path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

// Where an office keeps the pipe it is reached by.
QString pipeSocketPath(const QString& name)
{
    return QStringLiteral("/tmp/OSL_PIPE_%1_%2").arg(::getuid()).arg(name);
}

// The pipe by which a second start of the office would hand its work to
// the first, named after the profile: MD5 of the profile's URL in UTF-16,
// each byte in hex without leading zeros.
QString instancePipeName(const QString& profileUrl)
{
    const QByteArray digest = QCryptographicHash::hash(
        QByteArray(reinterpret_cast<const char*>(profileUrl.utf16()), profileUrl.size() * 2), QCryptographicHash::Md5);
    QString name = QStringLiteral("SingleOfficeIPC_");
    for (char byte : digest)
        name += QString::number(uchar(byte), 16);
    return name;
}

const QLatin1String pipePrefix("plinthworks_");

void removeSocket(const QString& path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) == 0 && S_ISSOCK(status.st_mode))
        QFile::remove(path);
}


// The profile new offices start from, empty when there is no cache folder.
QString seedFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/office-profile");
}

bool copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.size());
        if (it.fileInfo().isSymLink() || !QDir().mkpath(QFileInfo(target).absolutePath()) || !QFile::copy(file, target))
            return false;
    }
    return true;
}

bool movePdf(const QString& from, const QString& to, QString* error)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    // The temporary folder is on another file system: copy into place.
    QFile source(from);
    QFile target(to);
    if (!source.open(QIODevice::ReadOnly) || !target.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("не удалось записать PDF: %1").arg(target.errorString());
        return false;
    }
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(1 << 20);
        if (chunk.isEmpty() || target.write(chunk) != chunk.size()) {
            *error = QStringLiteral("не удалось записать PDF: %1").arg(target.errorString());
            return false;
        }
    }
    if (!target.flush()) {
        *error = QStringLiteral("не удалось записать PDF: %1").arg(target.errorString());
        return false;
    }
    return true;
}

} // namespace

void PdfConverter::removeLeftovers()
{
    static QMutex mutex;
    QMutexLocker lock(&mutex);
    const QDir temp(QDir::tempPath());
    for (const QString& name : temp.entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString path = temp.filePath(name);
        if (StagingName::isStagingName(name) && !QFileInfo(path).isSymLink() && StagingName::isStale(path)) {
            removeSocket(pipeSocketPath(instancePipeName(fileUrl(path + QStringLiteral("/profile")))));
            QDir(path).removeRecursively();
        }
    }
    // The listening pipes, named after the process whose converter made them.
    const QString socketPrefix = QStringLiteral("OSL_PIPE_%1_").arg(::getuid()) + pipePrefix;
    for (const QString& name : QDir(QStringLiteral("/tmp")).entryList({socketPrefix + QLatin1Char('*')}, QDir::System)) {
        const qint64 pid = name.mid(socketPrefix.size()).section(QLatin1Char('_'), 0, 0).toLongLong();
        if (pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            removeSocket(QStringLiteral("/tmp/") + name);
    }
}

PdfConverter::PdfConverter(const LibreOfficeInstallation& office) : office(office)
{
    initConverterResources();
}

PdfConverter::~PdfConverter()
{
    if (client && client->state() != QProcess::NotRunning) {
        // The client tells the office to end once its input does.
        client->closeWriteChannel();
        client->waitForFinished(orderlyEndMs);
    }
    if (officeProcess && officeProcess->state() != QProcess::NotRunning)
        officeProcess->waitForFinished(orderlyEndMs);
    if (officeProcess && officeProcess->state() == QProcess::NotRunning
        && officeProcess->exitStatus() == QProcess::NormalExit && officeProcess->exitCode() == 0)
        keepAsSeed();
    kill();
    if (!folder.isEmpty())
        QDir(folder).removeRecursively();
}

qint64 PdfConverter::officeProcessId() const
{
    return officeProcess && officeProcess->state() != QProcess::NotRunning ? officeProcess->processId() : 0;
}

bool PdfConverter::prepareFolder(QString* error)
{
    if (folder.isEmpty()) {
        removeLeftovers();
        // Named like a staging file, so that the folder says whose it is.
        const QString candidate =
            QDir::tempPath() + QLatin1Char('/') + StagingName::make(QRandomGenerator::global()->generate64());
        if (!QDir().mkdir(candidate)) {
            *error = QStringLiteral("не удалось создать временную папку %1").arg(QDir::toNativeSeparators(candidate));
            return false;
        }
        QFile::setPermissions(candidate, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        folder = candidate;
    }
    // A fresh profile for every start: one left by a killed office may be
    // damaged.
    const QString profile = folder + QStringLiteral("/profile");
    QDir(profile).removeRecursively();
    const QString seed = seedFolder();
    if (seeded && !seed.isEmpty() && QFileInfo(seed).isDir() && !copyTree(seed, profile))
        QDir(profile).removeRecursively();
    QFile script(QStringLiteral(":/pdf/unoclient.py"));
    QFile copy(folder + QStringLiteral("/unoclient.py"));
    const bool written = QDir().mkpath(folder + QStringLiteral("/work")) && QDir().mkpath(folder + QStringLiteral("/tmp"))
                         && script.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly | QIODevice::Truncate)
                         && copy.write(script.readAll()) > 0 && copy.flush();
    if (!written)
        *error = QStringLiteral("не удалось подготовить временную папку %1").arg(QDir::toNativeSeparators(folder));
    return written;
}

void PdfConverter::start()
{
    if (officeProcess || !givenUp.isEmpty())
        return;
    if (!office.isComplete()) {
        givenUp = office.missingText();
        return;
    }
    QString error;
    if (!prepareFolder(&error)) {
        givenUp = error;
        return;
    }
    ready = false;
    clientOutput.clear();
    pipeName = pipePrefix + QStringLiteral("%1_%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(QRandomGenerator::global()->generate64(), 0, 36);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // The office's own temporary files go to the converter's folder too.
    environment.insert(QStringLiteral("TMPDIR"), folder + QStringLiteral("/tmp"));

    officeProcess = std::make_unique<OfficeProcess>();
    officeProcess->setProcessEnvironment(environment);
    officeProcess->setStandardOutputFile(QProcess::nullDevice());
    officeProcess->setStandardErrorFile(QProcess::nullDevice());
    officeProcess->setStandardInputFile(QProcess::nullDevice());
    officeProcess->start(office.officeProgram,
                         {QStringLiteral("-env:UserInstallation=") + fileUrl(folder + QStringLiteral("/profile")),
                          QStringLiteral("--headless"), QStringLiteral("--invisible"), QStringLiteral("--nologo"),
                          QStringLiteral("--norestore"), QStringLiteral("--nodefault"),
                          QStringLiteral("--nolockcheck"), QStringLiteral("--nofirststartwizard"),
                          QStringLiteral("--accept=pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName)});
    client = std::make_unique<OfficeProcess>();
    client->setProcessEnvironment(environment);
    client->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client->start(office.python, {folder + QStringLiteral("/unoclient.py"), pipeName,
                                  QString::number(startLimitSeconds)});
    ++starts;
}

bool PdfConverter::readAnswer(qint64 deadline, QByteArray* line, QString* error)
{
    const QDeadlineTimer timer = deadline < 0 ? QDeadlineTimer(QDeadlineTimer::Forever) : QDeadlineTimer(deadline);
    for (;;) {
        const int end = clientOutput.indexOf('\n');
        if (end >= 0) {
            *line = clientOutput.left(end);
            clientOutput.remove(0, end + 1);
            return true;
        }
        if (client->state() == QProcess::NotRunning) {
            *error = QStringLiteral("LibreOffice завершился аварийно");
            return false;
        }
        if (officeProcess) {
            officeProcess->waitForFinished(0);
            if (officeProcess->state() == QProcess::NotRunning) {
                if (!ready && officeProcess->exitStatus() == QProcess::NormalExit
                    && officeProcess->exitCode() == officeRestartCode) {
                    // The new profile is set up; the same office starts again.
                    officeProcess->start();
                    continue;
                }
                *error = QStringLiteral("LibreOffice завершился аварийно");
                return false;
            }
        }
        if (timer.hasExpired()) {
            *error = QString();
            return false;
        }
        if (client->waitForReadyRead(int(qMin<qint64>(pollMs, qMax<qint64>(1, timer.remainingTime())))))
            clientOutput += client->readAllStandardOutput();
    }
}

bool PdfConverter::waitUntilReady(QString* error)
{
    if (ready)
        return true;
    if (!officeProcess)
        start();
    if (!givenUp.isEmpty()) {
        *error = givenUp;
        return false;
    }
    QByteArray line;
    QString reason;
    if (!readAnswer(qint64(startLimitSeconds) * 1000, &line, &reason)) {
        startFailed(reason.isEmpty() ? QStringLiteral("LibreOffice не запустился за %1 с").arg(startLimitSeconds)
                                     : QStringLiteral("LibreOffice не запустился: %1").arg(reason));
        *error = givenUp.isEmpty() ? QStringLiteral("LibreOffice не запустился") : givenUp;
        return false;
    }
    if (line != "READY") {
        startFailed(QStringLiteral("LibreOffice не запустился: %1").arg(QString::fromUtf8(line.mid(6))));
        *error = givenUp.isEmpty() ? QStringLiteral("LibreOffice не запустился") : givenUp;
        return false;
    }
    ready = true;
    failedStarts = 0;
    return true;
}

void PdfConverter::keepAsSeed() const
{
    const QString seed = seedFolder();
    if (seed.isEmpty() || QFileInfo::exists(seed))
        return;
    // Copied aside and renamed, so that an office never starts from half a seed.
    const QString copy = seed + QStringLiteral(".%1.tmp").arg(QCoreApplication::applicationPid());
    QDir(copy).removeRecursively();
    if (!copyTree(folder + QStringLiteral("/profile"), copy)
        || std::rename(QFile::encodeName(copy).constData(), QFile::encodeName(seed).constData()) != 0)
        QDir(copy).removeRecursively();
}

void PdfConverter::startFailed(const QString& reason)
{
    seeded = false;
    kill();
    if (++failedStarts >= 2)
        givenUp = reason;
}

bool PdfConverter::convert(const QString& document, const QString& format, const QString& pdfPath,
                           int timeLimitSeconds, QString* error)
{
    if (!waitUntilReady(error))
        return false;
    const QString input = folder + QStringLiteral("/work/document.") + format;
    const QString output = folder + QStringLiteral("/work/document.pdf");
    QFile::remove(input);
    QFile::remove(output);
    if (!QFile::copy(document, input)) {
        *error = QStringLiteral("не удалось прочитать документ");
        return false;
    }
    client->write("CONVERT\t" + fileUrl(input).toUtf8() + '\t' + importFilter(format).toUtf8() + '\t'
                  + fileUrl(output).toUtf8() + '\n');
    QByteArray answer;
    QString reason;
    bool answered = readAnswer(timeLimitSeconds > 0 ? qint64(timeLimitSeconds) * 1000 : -1, &answer, &reason);
    QFile::remove(input);
    if (answered && answer != "OK") {
        // The client answers for an office that crashed under it too.
        officeProcess->waitForFinished(0);
        if (answer.startsWith("LOST") || officeProcess->state() == QProcess::NotRunning) {
            answered = false;
            reason = QStringLiteral("LibreOffice завершился аварийно");
        }
    }
    if (!answered) {
        *error = reason.isEmpty() ? QStringLiteral("превышено ограничение времени (%1 с)").arg(timeLimitSeconds)
                                  : reason;
        // Whatever state the office is in, the next document gets a new one.
        kill();
        start();
        return false;
    }
    if (answer != "OK") {
        *error = QStringLiteral("LibreOffice: %1").arg(QString::fromUtf8(answer.mid(6)));
        QFile::remove(output);
        return false;
    }
    QFile pdf(output);
    if (!pdf.open(QIODevice::ReadOnly) || pdf.read(5) != "%PDF-") {
        *error = QStringLiteral("LibreOffice не записал PDF");
        QFile::remove(output);
        return false;
    }
    pdf.close();
    const bool moved = movePdf(output, pdfPath, error);
    QFile::remove(output);
    return moved;
}

void PdfConverter::kill()
{
    for (std::unique_ptr<OfficeProcess>* process : {&client, &officeProcess}) {
        if (*process) {
            (*process)->kill();
            (*process)->waitForFinished(orderlyEndMs);
            process->reset();
        }
    }
    ready = false;
    clientOutput.clear();
    removeOfficePipes();
}

void PdfConverter::removeOfficePipes()
{
    // A killed office leaves its pipes behind in /tmp; an office that ended
    // in order has removed them itself.
    if (folder.isEmpty() || pipeName.isEmpty())
        return;
    removeSocket(pipeSocketPath(pipeName));
    removeSocket(pipeSocketPath(instancePipeName(fileUrl(folder + QStringLiteral("/profile")))));
}
