#include "testsupport.h"

#include "globals.h"
#include "mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QUrl>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>
#include <QStandardPaths>

namespace TestSupport {

bool initWindowTests()
{
    initHermeticEnvironment();
    QApplication::setDesktopSettingsAware(false);
    if (qEnvironmentVariableIsEmpty("PLINTHWORKS_BATCH"))
        return false;
    MainWindow::setDefaultWorkerProgram(qEnvironmentVariable("PLINTHWORKS_BATCH"));
    return true;
}

QAction* actionNamed(QWidget* window, const QString& text)
{
    for (QAction* action : window->findChildren<QAction*>()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

bool waitForRunEnd(MainWindow& window, int timeout)
{
    QElapsedTimer clock;
    clock.start();
    while (window.processingList().isProcessing() && clock.elapsed() < timeout)
        QTest::qWait(10);
    QTest::qWait(50); // the queued end of the run
    return !window.processingList().isProcessing();
}

void initHermeticEnvironment()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QStringLiteral("QUORVA-test"));
    QCoreApplication::setApplicationName(QStringLiteral("Plinthworks20-test"));
    // A settings store of the test's own, gone when the test ends.
    static QTemporaryDir settingsDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());
    setGlobalShowPath(false);
}

void clearSettingsStore()
{
    QSettings settings;
    settings.clear();
    settings.sync();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size();
}

bool writeTextFile(const QString& path, const QString& text)
{
    return writeFile(path, text.toUtf8());
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

QList<QJsonObject> jsonRecords(const QString& path)
{
    QList<QJsonObject> records;
    for (const QByteArray& line : readFile(path).split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !document.isObject())
            return {QJsonObject{{QStringLiteral("unreadable"), QString::fromUtf8(line)}}};
        records << document.object();
    }
    return records;
}

void copyFolder(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.length());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::copy(file, target);
    }
}

bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const auto& entry : entries) {
        QuaZipFile out(&zip);
        if (!out.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first)) || out.write(entry.second) != entry.second.size())
            return false;
        out.close();
    }
    zip.close();
    return zip.getZipError() == ZIP_OK;
}

QString corpusDir()
{
    QString dir = qEnvironmentVariable("PLINTHWORKS_CORPUS");
    if (dir.isEmpty())
        dir = QStringLiteral(PLINTHWORKS_SOURCE_DIR "/../shared/corpus");
    return QDir(dir).exists() ? QDir(dir).canonicalPath() : QString();
}

QString queryPrologue()
{
    return QStringLiteral("declare variable $inputDocument external;\n");
}

ResourceFolder::ResourceFolder()
{
    QDir(dir.path()).mkpath(QStringLiteral("Settings"));
    QDir(dir.path()).mkpath(QStringLiteral("Templates"));
    QDir(dir.path()).mkpath(QStringLiteral("Queries"));
    prependGlobalResourcePaths({dir.path()});
}

QString ResourceFolder::addQuery(const QString& folder, const QString& name, const QString& xquery)
{
    const QString path = concatPath(dir.path(), QStringLiteral("Queries"), folder) + QLatin1Char('/')
                         + checkExt(name, QStringLiteral("xq"));
    writeTextFile(path, xquery);
    return path;
}

QString ResourceFolder::addLiteralQuery(const QString& folder, const QString& name, const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('&'), QStringLiteral("&amp;")).replace(QLatin1Char('"'), QStringLiteral("&quot;"));
    return addQuery(folder, name, queryPrologue() + QLatin1Char('"') + escaped + QLatin1Char('"'));
}

QString ResourceFolder::addTemplate(const QString& fileName, const QByteArray& bytes)
{
    const QString path = dir.path() + QStringLiteral("/Templates/") + fileName;
    writeFile(path, bytes);
    return path;
}

QString ResourceFolder::addTemplateFile(const QString& fileName, const QString& sourcePath)
{
    return addTemplate(fileName, readFile(sourcePath));
}

QString ResourceFolder::writeCatalogue(const QStringList& lines)
{
    const QString path = dir.path() + QStringLiteral("/Settings/Templates.txt");
    writeTextFile(path, lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return path;
}

namespace LibreOffice {

namespace {
QString sofficePath()
{
    for (const char* name : {"soffice", "libreoffice"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return QString();
}

QString runCapture(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}
} // namespace

bool available()
{
    return !sofficePath().isEmpty();
}

QHash<QString, QString> convert(const QStringList& files, const QString& filter, const QString& outDir,
                                const QString& inFilter)
{
    QHash<QString, QString> outputs;
    if (files.isEmpty() || !available())
        return outputs;
    QDir().mkpath(outDir);
    // A private profile keeps the conversion away from the user's own settings
    // and lets several tests convert at the same time.
    QTemporaryDir profile;
    QStringList args{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                     QStringLiteral("--headless"), QStringLiteral("--norestore"), QStringLiteral("--convert-to"),
                     filter, QStringLiteral("--outdir"), outDir};
    if (!inFilter.isEmpty())
        args << QStringLiteral("--infilter=") + inFilter;
    args += files;
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(sofficePath(), args);
    process.waitForFinished(600000);
    const QString extension = filter.section(QLatin1Char(':'), 0, 0);
    for (const QString& file : files) {
        const QString out = outDir + QLatin1Char('/') + QFileInfo(file).completeBaseName() + QLatin1Char('.') + extension;
        if (QFileInfo::exists(out))
            outputs.insert(file, out);
    }
    return outputs;
}

QHash<QString, QString> toText(const QStringList& files, const QString& outDir)
{
    QHash<QString, QString> texts;
    const QHash<QString, QString> outputs = convert(files, QStringLiteral("txt:Text"), outDir);
    for (auto it = outputs.constBegin(); it != outputs.constEnd(); ++it) {
        QString text = QString::fromUtf8(readFile(it.value()));
        if (text.startsWith(QChar(0xFEFF)))
            text.remove(0, 1);
        texts.insert(it.key(), text);
    }
    return texts;
}

QString toText(const QString& file, const QString& outDir)
{
    return toText(QStringList{file}, outDir).value(file);
}

int pdfPageCount(const QString& pdfPath)
{
    const QString info = runCapture(QStringLiteral("pdfinfo"), {pdfPath});
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

int pdfImageCount(const QString& pdfPath)
{
    const QString list = runCapture(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdfPath});
    if (list.isEmpty())
        return -1;
    // Two header lines, then one line per image.
    return qMax(0, list.split(QLatin1Char('\n'), Qt::SkipEmptyParts).size() - 2);
}

QString pdfText(const QString& pdfPath)
{
    return runCapture(QStringLiteral("pdftotext"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdfPath,
                                                    QStringLiteral("-")});
}

QList<qint64> descendantProcesses(qint64 pid, const QString& name)
{
    // Parent of every process, from /proc/<pid>/stat (the field after the
    // parenthesised command name and the state).
    QHash<qint64, qint64> parents;
    QHash<qint64, QString> names;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 process = entry.toLongLong(&ok);
        if (!ok)
            continue;
        const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(process));
        const int open = stat.indexOf('(');
        const int close = stat.lastIndexOf(')');
        if (open < 0 || close < open)
            continue;
        names.insert(process, QString::fromUtf8(stat.mid(open + 1, close - open - 1)));
        parents.insert(process, stat.mid(close + 2).split(' ').value(1).toLongLong());
    }
    QList<qint64> found;
    for (auto it = parents.constBegin(); it != parents.constEnd(); ++it) {
        if (names.value(it.key()) != name.left(15))
            continue;
        for (qint64 up = it.value(); up > 1; up = parents.value(up, 0)) {
            if (up == pid) {
                found << it.key();
                break;
            }
        }
    }
    return found;
}

} // namespace LibreOffice
} // namespace TestSupport
