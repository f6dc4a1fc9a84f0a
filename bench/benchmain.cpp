// plinthworks-bench: renders an invoice workload (16 fields, a 200-row table,
// a 10-paragraph repeated block) with the batch command and prints documents
// per second for each format, sequential and parallel, and the peak memory
// for a small and a large number of files, and the memory and start-up of
// a long list of small files; with --instructions also the
// instructions per document of each format, a figure that noisy machines
// cannot blur. The PDF row sets the batch command's --pdf, sequential and
// parallel, beside LibreOffice's own converter called once per document
// and once for all of them.
#include "longlist.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cstdio>

extern char** environ;

namespace {

QTextStream out(stdout);

struct RunResult
{
    bool ok = false;
    double seconds = 0;
    long peakKb = 0;
    int documents = 0;
};

bool copyTree(const QString& from, const QString& to)
{
    QDirIterator it(from, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString file = it.next();
        const QString target = to + file.mid(from.length());
        QDir().mkpath(QFileInfo(target).absolutePath());
        QFile::remove(target);
        if (!QFile::copy(file, target))
            return false;
    }
    return true;
}

// Converts the template source to the three formats once; later runs reuse them.
bool prepareTemplates(const QString& templatesDir)
{
    const QString source = QStringLiteral(PLINTHWORKS_BENCH_WORKLOAD "/invoice.fodt");
    const QString cache = QStringLiteral(PLINTHWORKS_BINARY_DIR "/bench-templates");
    QDir().mkpath(cache);
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    QTemporaryDir profile;
    for (const char* format : {"docx", "odt", "rtf"}) {
        const QString converted = cache + QStringLiteral("/invoice.") + QLatin1String(format);
        if (!QFileInfo::exists(converted) || QFileInfo(converted).lastModified() < QFileInfo(source).lastModified()) {
            if (soffice.isEmpty()) {
                out << "LibreOffice (soffice) is needed once to make the templates\n";
                return false;
            }
            QProcess::execute(soffice, {QStringLiteral("-env:UserInstallation=file://") + profile.path(),
                                        QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                        QLatin1String(format), QStringLiteral("--outdir"), cache, source});
        }
        QFile::remove(templatesDir + QStringLiteral("/invoice.") + QLatin1String(format));
        if (!QFile::copy(converted, templatesDir + QStringLiteral("/invoice.") + QLatin1String(format)))
            return false;
    }
    return true;
}

QString xmlEscape(QString text)
{
    return text.replace('&', "&amp;").replace('<', "&lt;").replace('>', "&gt;");
}

QByteArray invoiceXml(int number)
{
    static const char* const goods[] = {"Картридж лазерный, чёрный", "Папка-регистратор 75 мм", "Бумага офисная А4",
                                        "Ручка шариковая синяя", "Степлер № 24/6", "Скрепки 28 мм",
                                        "Маркер текстовый жёлтый", "Тетрадь 48 листов"};
    QString xml;
    QTextStream s(&xml);
    s << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<invoice>\n"
      << QStringLiteral("  <number>СЧ-2024-%1</number>\n").arg(number, 4, 10, QLatin1Char('0'))
      << "  <date>15.03.2024</date>\n  <dueDate>29.03.2024</dueDate>\n"
      << QStringLiteral("  <contract>Договор поставки № 47/2023 от 10.11.2023</contract>\n")
      << QStringLiteral("  <supplier><name>ООО «Канцтовары Северо-Запад»</name><address>191025, г. Санкт-Петербург, "
                        "Невский проспект, д. 28, офис 415</address><bank>р/с 40702810900000012345 в ПАО «Банк», "
                        "БИК 044030000</bank></supplier>\n")
      << QStringLiteral("  <client><name>АО «Северная звезда»</name><address>119019, г. Москва, ул. Воздвиженка, "
                        "д. 10, стр. 2</address><inn>7701234567/770101001</inn><contact>Иванов Пётр Сергеевич, "
                        "тел. +7 495 123-45-67</contact></client>\n")
      << QStringLiteral("  <totals><subtotal>5 776 946,03</subtotal><vatRate>20%</vatRate><vat>1 155 389,20</vat>"
                        "<total>6 932 335,23</total></totals>\n")
      << QStringLiteral("  <paymentTerms>Предоплата 100% в течение 10 банковских дней</paymentTerms>\n  <items>\n");
    for (int i = 1; i <= 200; ++i) {
        s << QStringLiteral("    <item><no>%1</no><name>%2 (арт. ПН-%3)</name><qty>%4</qty><price>%5,%6</price>"
                            "<amount>%7,00</amount></item>\n")
                 .arg(i)
                 .arg(xmlEscape(QString::fromUtf8(goods[i % 8])))
                 .arg(i, 4, 10, QLatin1Char('0'))
                 .arg(i % 17 + 1)
                 .arg(i * 7 % 500 + 10)
                 .arg(i % 100, 2, 10, QLatin1Char('0'))
                 .arg((i % 17 + 1) * (i * 7 % 500 + 10));
    }
    s << "  </items>\n  <notes>\n";
    for (int i = 1; i <= 10; ++i)
        s << QStringLiteral("    <note>Примечание %1: товар поставляется в заводской упаковке.</note>\n").arg(i);
    s << "  </notes>\n</invoice>\n";
    s.flush();
    return xml.toUtf8();
}

// Runs the batch command on n fresh copies of the data (in `folder`, a
// temporary one when empty); wall time and the child's peak resident memory.
// `extra` options; with --pdf the PDF files are counted.
RunResult runBatch(const QString& batch, const QString& resources, const QByteArrayList& data, int n,
                   const QString& format, bool sequential, const QStringList& extra = QStringList(),
                   const QString& folder = QString())
{
    RunResult result;
    QTemporaryDir temporary;
    const QString workPath = folder.isEmpty() ? temporary.path() : folder;
    QDir().mkpath(workPath);
    QStringList args{batch, QStringLiteral("--resources"), resources, QStringLiteral("--format"), format,
                     QStringLiteral("--overwrite")};
    if (sequential)
        args << QStringLiteral("--sequential");
    args += extra;
    for (int i = 0; i < n; ++i) {
        const QString name = workPath + QStringLiteral("/invoice_%1.xml").arg(i + 1, 4, 10, QLatin1Char('0'));
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(data.at(i % data.size())) < 0)
            return result;
        args << name;
    }
    QList<QByteArray> storage;
    std::vector<char*> argv;
    for (const QString& arg : qAsConst(args))
        storage << QFile::encodeName(arg);
    for (QByteArray& arg : storage)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return result;
    int status = 0;
    struct rusage usage {};
    wait4(pid, &status, 0, &usage);
    result.seconds = timer.nsecsElapsed() / 1e9;
    posix_spawn_file_actions_destroy(&actions);
    result.peakKb = usage.ru_maxrss;
    const QString counted = extra.contains(QStringLiteral("--pdf")) ? QStringLiteral("pdf") : format;
    result.documents = QDir(workPath).entryList({QStringLiteral("*.") + counted}, QDir::Files).size();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && result.documents == n;
    return result;
}

// LibreOffice's own converter, `soffice --headless --convert-to pdf`, over
// `documents` with one call each (`perDocument`) or one call for all; the
// seconds it took, or -1 when a PDF is missing. The profile is made by an
// untimed call first, as a converter script would find it.
double sofficeSeconds(const QString& soffice, const QString& profile, const QStringList& documents, bool perDocument)
{
    QTemporaryDir out;
    const QStringList common{QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(),
                             QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
                             QStringLiteral("--outdir"), out.path()};
    const auto call = [&](const QStringList& files) {
        QProcess process;
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start(soffice, common + files);
        process.waitForFinished(-1);
    };
    QElapsedTimer timer;
    timer.start();
    if (perDocument) {
        for (const QString& document : documents)
            call({document});
    } else {
        call(documents);
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    const int made = QDir(out.path()).entryList({QStringLiteral("*.pdf")}, QDir::Files).size();
    return made == documents.size() ? seconds : -1;
}

// Instructions the batch command executes for `n` documents, its worker
// processes included, counted by valgrind's callgrind tool; -1 on failure.
qint64 countInstructions(const QString& valgrind, const QString& batch, const QString& resources,
                         const QByteArray& data, int n, const QString& format)
{
    QTemporaryDir work;
    QStringList args{QStringLiteral("--tool=callgrind"), QStringLiteral("--trace-children=yes"),
                     QStringLiteral("--callgrind-out-file=") + work.path() + QStringLiteral("/cg.%p"), batch,
                     QStringLiteral("--resources"), resources, QStringLiteral("--format"), format,
                     QStringLiteral("--overwrite"), QStringLiteral("--sequential"), QStringLiteral("--time-limit"),
                     QStringLiteral("0")};
    for (int i = 0; i < n; ++i) {
        const QString name = work.path() + QStringLiteral("/invoice_%1.xml").arg(i + 1, 4, 10, QLatin1Char('0'));
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) < 0)
            return -1;
        args << name;
    }
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(valgrind, args);
    if (!process.waitForFinished(-1) || process.exitCode() != 0)
        return -1;
    qint64 total = 0;
    for (const QString& name : QDir(work.path()).entryList({QStringLiteral("cg.*")}, QDir::Files)) {
        QFile file(work.path() + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            return -1;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (line.startsWith("totals:") || line.startsWith("summary:")) {
                total += line.split(' ').value(1).trimmed().toLongLong();
                break;
            }
        }
    }
    return total;
}

// The PDF row: PDF files per second of LibreOffice's own converter, (a) one
// call per document and (b) one call for all, and of the batch command's
// --pdf, sequential and parallel, on `n` documents of `data`.
bool pdfRow(const QString& label, const QString& batch, const QString& soffice, const QString& resources,
            const QByteArrayList& data, int n, const QString& format)
{
    out << QStringLiteral("PDF of %1 %2 %3, PDF files per second:\n").arg(n).arg(format, label);
    out.flush();
    // The documents LibreOffice's own converter is given.
    QTemporaryDir documentsDir;
    QTemporaryDir profile;
    const RunResult made = runBatch(batch, resources, data, n, format, false, QStringList(), documentsDir.path());
    QStringList documents;
    for (const QString& name : QDir(documentsDir.path()).entryList({QStringLiteral("*.") + format}, QDir::Files))
        documents << documentsDir.path() + QLatin1Char('/') + name;
    double perCall = -1;
    double oneCall = -1;
    if (made.ok) {
        sofficeSeconds(soffice, profile.path(), documents.mid(0, 1), true);
        const QStringList sample = documents.mid(0, qMin(10, documents.size()));
        const double perCallSeconds = sofficeSeconds(soffice, profile.path(), sample, true);
        const double oneCallSeconds = sofficeSeconds(soffice, profile.path(), documents, false);
        perCall = perCallSeconds > 0 ? sample.size() / perCallSeconds : -1;
        oneCall = oneCallSeconds > 0 ? documents.size() / oneCallSeconds : -1;
    }
    bool ok = perCall > 0 && oneCall > 0;
    out << QStringLiteral("  %1 %2\n").arg("(a) soffice --convert-to pdf, one call per document", -52).arg(perCall, 6, 'f', 2);
    out << QStringLiteral("  %1 %2\n").arg("(b) soffice --convert-to pdf, one call for all", -52).arg(oneCall, 6, 'f', 2);
    out.flush();
    for (bool sequential : {true, false}) {
        const RunResult r = runBatch(batch, resources, data, n, format, sequential, {QStringLiteral("--pdf")});
        ok = ok && r.ok;
        const double rate = r.seconds > 0 ? n / r.seconds : 0;
        out << QStringLiteral("  %1 %2   (%3 × a, %4 × b)%5\n")
                   .arg(sequential ? "plinthworks-batch --pdf --sequential" : "plinthworks-batch --pdf", -52)
                   .arg(rate, 6, 'f', 2)
                   .arg(rate / qMax(1e-9, perCall), 0, 'f', 1)
                   .arg(rate / qMax(1e-9, oneCall), 0, 'f', 2)
                   .arg(r.ok ? QString() : QStringLiteral("   FAILED (%1 PDF files)").arg(r.documents));
        out.flush();
    }
    return ok;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Invoice workload through the batch command."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("batch"), QStringLiteral("Batch command to measure."), QStringLiteral("path"),
                      QCoreApplication::applicationDirPath() + QStringLiteral("/../plinthworks-batch")});
    parser.addOption({QStringLiteral("files"), QStringLiteral("Documents per run (default 200)."),
                      QStringLiteral("n"), QStringLiteral("200")});
    parser.addOption({QStringLiteral("formats"), QStringLiteral("Formats (default docx,odt,rtf)."),
                      QStringLiteral("list"), QStringLiteral("docx,odt,rtf")});
    parser.addOption({QStringLiteral("memory"), QStringLiteral("File counts for the memory check (default 100,1000)."),
                      QStringLiteral("list"), QStringLiteral("100,1000")});
    parser.addOption({QStringLiteral("list"),
                      QStringLiteral("File counts of the long-list check, small documents from --files-from "
                                     "(default 1000,100000; 0 for none)."),
                      QStringLiteral("list"), QStringLiteral("1000,100000")});
    parser.addOption({QStringLiteral("pdf-files"),
                      QStringLiteral("Documents of the PDF row (default 40, 0 for no PDF row); the call per "
                                     "document is timed over at most 10 of them."),
                      QStringLiteral("n"), QStringLiteral("40")});
    parser.addOption({QStringLiteral("instructions"),
                      QStringLiteral("Also count the instructions per document of each format with valgrind "
                                     "(the difference between 1 and 6 documents, so start-up is left out).")});
    parser.process(app);

    const QString batch = QFileInfo(parser.value(QStringLiteral("batch"))).absoluteFilePath();
    if (!QFileInfo(batch).isExecutable()) {
        out << "Batch command not found: " << batch << "\n";
        return 2;
    }
    QTemporaryDir resources;
    if (!copyTree(QStringLiteral(PLINTHWORKS_BENCH_WORKLOAD), resources.path())
        || !QDir().mkpath(resources.path() + QStringLiteral("/Templates"))
        || !prepareTemplates(resources.path() + QStringLiteral("/Templates")))
        return 1;
    QByteArrayList data;
    for (int i = 1; i <= 10; ++i)
        data << invoiceXml(i);

    const int n = parser.value(QStringLiteral("files")).toInt();
    out << "Invoice workload: " << n << " documents per run, 16 fields, 200 table rows, 10 repeated paragraphs\n";
    out << QStringLiteral("%1 %2 %3 %4\n").arg("format", -7).arg("mode", -11).arg("docs/s", 9).arg("peak MB", 9);
    out.flush();
    bool allOk = true;
    for (const QString& format : parser.value(QStringLiteral("formats")).split(',', Qt::SkipEmptyParts)) {
        double sequentialRate = 0;
        for (bool sequential : {true, false}) {
            const RunResult r = runBatch(batch, resources.path(), data, n, format, sequential);
            allOk = allOk && r.ok;
            const double rate = r.seconds > 0 ? n / r.seconds : 0;
            if (sequential)
                sequentialRate = rate;
            out << QStringLiteral("%1 %2 %3 %4%5%6\n")
                       .arg(format, -7)
                       .arg(sequential ? "sequential" : "parallel", -11)
                       .arg(rate, 9, 'f', 1)
                       .arg(r.peakKb / 1024.0, 9, 'f', 1)
                       .arg(sequential ? QString() : QStringLiteral("   (parallel/sequential %1)").arg(rate / qMax(1e-9, sequentialRate), 0, 'f', 2))
                       .arg(r.ok ? QString() : QStringLiteral("   FAILED (%1 documents)").arg(r.documents));
            out.flush();
        }
    }

    const int pdfFiles = parser.value(QStringLiteral("pdf-files")).toInt();
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (pdfFiles > 0 && soffice.isEmpty()) {
        out << "pdf: LibreOffice (soffice) is not installed\n";
    } else if (pdfFiles > 0) {
        const QString format = parser.value(QStringLiteral("formats")).section(',', 0, 0);
        allOk = pdfRow(QStringLiteral("invoices of the workload"), batch, soffice, resources.path(), data, pdfFiles,
                       format)
                && allOk;
        // A one-page invoice, where LibreOffice's start weighs more.
        QFile example(QStringLiteral(PLINTHWORKS_EXAMPLES "/data/invoice_147.xml"));
        if (example.open(QIODevice::ReadOnly))
            allOk = pdfRow(QStringLiteral("one-page invoices of the examples"), batch, soffice,
                           QStringLiteral(PLINTHWORKS_EXAMPLES "/resources"), {example.readAll()}, pdfFiles, format)
                    && allOk;
    }

    if (parser.isSet(QStringLiteral("instructions"))) {
        const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
        if (valgrind.isEmpty()) {
            out << "instructions: valgrind is not installed\n";
        } else {
            for (const QString& format : parser.value(QStringLiteral("formats")).split(',', Qt::SkipEmptyParts)) {
                const qint64 one = countInstructions(valgrind, batch, resources.path(), data.first(), 1, format);
                const qint64 six = countInstructions(valgrind, batch, resources.path(), data.first(), 6, format);
                if (one < 0 || six < 0) {
                    allOk = false;
                    out << QStringLiteral("instructions: %1 FAILED\n").arg(format);
                } else {
                    out << QStringLiteral("instructions: %1 %2 M per document (start-up %3 M)\n")
                               .arg(format, -5)
                               .arg((six - one) / 5 / 1e6, 0, 'f', 2)
                               .arg((one - (six - one) / 5) / 1e6, 0, 'f', 1);
                }
                out.flush();
            }
        }
    }

    const QStringList counts = parser.value(QStringLiteral("memory")).split(',', Qt::SkipEmptyParts);
    QList<long> peaks;
    for (const QString& count : counts) {
        const RunResult r = runBatch(batch, resources.path(), data, count.toInt(), QStringLiteral("docx"), false);
        allOk = allOk && r.ok;
        peaks << r.peakKb;
        out << QStringLiteral("memory: %1 docx files in parallel, peak %2 MB, %3 docs/s%4\n")
                   .arg(count)
                   .arg(r.peakKb / 1024.0, 0, 'f', 1)
                   .arg(r.seconds > 0 ? count.toInt() / r.seconds : 0, 0, 'f', 1)
                   .arg(r.ok ? QString() : QStringLiteral("   FAILED"));
        out.flush();
    }
    if (peaks.size() >= 2 && peaks.first() > 0)
        out << QStringLiteral("memory ratio %1/%2 files: %3\n")
                   .arg(counts.last(), counts.first())
                   .arg(double(peaks.last()) / peaks.first(), 0, 'f', 2);

    QList<int> listCounts;
    for (const QString& count : parser.value(QStringLiteral("list")).split(',')) {
        if (count.toInt() > 0)
            listCounts << count.toInt();
    }
    if (!listCounts.isEmpty())
        allOk = measureLongLists(batch, listCounts, out) && allOk;
    return allOk ? 0 : 1;
}
