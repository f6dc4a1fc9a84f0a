// The batch command against hostile input and faults, one case per kind of
// harm: every case builds its inputs beside an ordinary file, runs the batch
// command and checks that nothing crashed, the exit status and the message
// tell the truth, the ordinary file still got its document, and no file that
// was in the folder before changed.
#include "odttestsupport.h"
#include "testsupport.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QProcess>
#include <QtEndian>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

#include <functional>
#include <zlib.h>

#include <sys/mount.h>

using namespace TestSupport;

namespace {

struct BatchRun
{
    int exitCode = -1;
    bool crashed = true;
    QString err;
};

BatchRun runBatch(const QStringList& args, const QString& workDir)
{
    BatchRun run;
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.start(qEnvironmentVariable("PLINTHWORKS_BATCH"), args);
    if (!process.waitForFinished(600000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.crashed = process.exitStatus() != QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Content checksums of every file below `dir` (links followed), by path,
// and the target of every link.
QHash<QString, QByteArray> snapshot(const QString& dir)
{
    QHash<QString, QByteArray> sums;
    QDirIterator it(dir, QDir::Files | QDir::System | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        sums.insert(path, info.isSymLink()
                              ? "link:" + info.symLinkTarget().toUtf8()
                              : QCryptographicHash::hash(readFile(path), QCryptographicHash::Sha256));
    }
    return sums;
}

QStringList filesIn(const QString& dir, const QString& pattern)
{
    QStringList files;
    QDirIterator it(dir, {pattern}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

QByteArray chunk(const char* type, const QByteArray& data)
{
    QByteArray out(4, 0);
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    const QByteArray body = QByteArray(type) + data;
    QByteArray crc(4, 0);
    qToBigEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(body.constData()), uInt(body.size()))),
                          crc.data());
    return out + body + crc;
}

// The header of a PNG picture of the given size, and no picture data: what a
// reader needs to learn the size, and nothing it could decode.
QByteArray pngHeaderOnly(quint32 width, quint32 height)
{
    QByteArray ihdr(13, 0);
    qToBigEndian<quint32>(width, ihdr.data());
    qToBigEndian<quint32>(height, ihdr.data() + 4);
    ihdr[8] = 8; // bit depth
    ihdr[9] = 6; // RGBA
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", ihdr) + chunk("IDAT", QByteArray(16, 'x'))
           + chunk("IEND", QByteArray());
}

// An archive whose one entry has a UTF-8 name, as Info-ZIP's zip on Linux
// writes it: no UTF-8 flag, the name also in a Unicode Path extra field.
bool writeInfoZipArchive(const QString& path, const QString& entryName, const QByteArray& data)
{
    QuaZip zip(path);
    zip.setFileNameCodec("UTF-8");
    if (!zip.open(QuaZip::mdCreate))
        return false;
    const QByteArray name = entryName.toUtf8();
    QByteArray field(9, 0);
    qToLittleEndian<quint16>(0x7075, field.data());
    qToLittleEndian<quint16>(quint16(5 + name.size()), field.data() + 2);
    field[4] = 1;
    qToLittleEndian<quint32>(quint32(crc32(0, reinterpret_cast<const Bytef*>(name.constData()), uInt(name.size()))),
                             field.data() + 5);
    field += name;
    QuaZipNewInfo info(entryName);
    info.extraLocal = field;
    info.extraGlobal = field;
    QuaZipFile out(&zip);
    if (!out.open(QIODevice::WriteOnly, info) || out.write(data) != data.size())
        return false;
    out.close();
    zip.close();
    return zip.getZipError() == ZIP_OK;
}

const QString rtfTemplate = QStringLiteral("{\\rtf1\\ansi\\ansicpg1251 {\\pard Value: [%Val%]\\par}}");

// Queries of the ordinary template: the value and a name from the file.
const QString valueQuery = QStringLiteral("'ok'");
const QString nameQuery =
    QStringLiteral("declare variable $inputDocument external; string(doc($inputDocument)/r/@name)");

// One case: what it puts into the folder, how the batch command is called,
// and what must come of it.
struct Case
{
    QString name;
    std::function<bool(const QString& work, const QString& resources, QStringList& inputs, QStringList& args)> build;
    int exitCode;
    QStringList messages;
    // Files, relative to the folder, that must exist afterwards.
    QStringList made;
    // Files of the folder that may change (relative paths).
    QStringList mayChange;
    // Files, relative to the folder or absolute, that must not exist afterwards.
    QStringList absent = {};
    // Messages that must not appear.
    QStringList notSaid = {};
};

// Folders mounted for a case, unmounted at the end.
QStringList mounts;

} // namespace

class TestHostile : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ResourceFolder resources;

    void addTemplate(const QString& name, const QString& prefix, const QString& rtf,
                     const QHash<QString, QString>& queries)
    {
        catalogue << QStringLiteral("%1\t%1\t-\t_o\t%1\t%1\tName\tMatch\t%2").arg(name, prefix);
        resources.addTemplate(name + ".rtf", rtf.toLatin1());
        resources.addQuery(name, "Match", "true()");
        resources.addQuery(name, "Name", nameQuery);
        for (auto it = queries.constBegin(); it != queries.constEnd(); ++it)
            resources.addQuery(name, it.key(), it.value());
    }
    QStringList catalogue;

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        if (qEnvironmentVariableIsEmpty("PLINTHWORKS_BATCH"))
            QSKIP("the batch command was not built");
        // The ordinary template first: files without a prefix of their own get it.
        addTemplate("plain", QString(), rtfTemplate, {{"Val", valueQuery}});
        addTemplate("crash", "crash_", rtfTemplate,
                    {{"Val", "declare function local:f($x) { local:f($x) }; local:f(1)"}});
        addTemplate("deep", "deep_", rtfTemplate,
                    {{"Val", "declare function local:d($x as xs:integer) as xs:integer { if ($x eq 0) then 0 "
                             "else 1 + local:d($x - 1) }; string(local:d(1000000))"}});
        addTemplate("slow", "slow_", rtfTemplate,
                    {{"Val", "string(sum(for $i in 1 to 2000000000 return $i mod 7))"}});
        const QString block = QStringLiteral("{\\rtf1\\ansi {\\pard [%iterate_start=i%query=Count%]\\par}"
                                             "{\\pard x\\par}{\\pard [%iterate_end=i%]\\par}}");
        addTemplate("huge", "huge_", block, {{"Count", "'1000000000'"}});
        addTemplate("word", "word_", block, {{"Count", "'abc'"}});
        addTemplate("negative", "neg_", block, {{"Count", "'-3'"}});
        addTemplate("long", "long_", block, {{"Count", "'99999999999999999999'"}});
        addTemplate("fill", "fill_", rtfTemplate,
                    {{"Val", "string-join(for $i in 1 to 20000 return 'xxxxxxxx', '')"}});
        addTemplate("authoring", "auth_",
                    "{\\rtf1\\ansi {\\pard a[%iterate_end=i%]b [%bogus=1%] [%%] [%Latin%] [%query=../plain/Val%]\\par}}",
                    {{"Latin", QString()}});
        // Templates whose braces do not pair: an unclosed group, one brace too
        // many that ends the document early, a file cut in the middle of a command.
        addTemplate("unclosed", "unclosed_", "{\\rtf1\\ansi {\\pard [%Val%]\\par}", {{"Val", valueQuery}});
        addTemplate("extra", "extra_", "{\\rtf1\\ansi {\\pard [%Val%]\\par}}\n{\\pard lost\\par}}",
                    {{"Val", valueQuery}});
        addTemplate("cut", "cut_", "{\\rtf1\\ansi {\\pard [%Val%]\\par}{\\pard [%Va", {{"Val", valueQuery}});
        // A query saved in Windows-1251 rather than UTF-8.
        QVERIFY(writeFile(resources.path() + "/Queries/authoring/Latin.xq", "'\xf1\xf7\xb8\xf2'"));
        catalogue << "outside\toutside\t-\t_o\t../../outside\tplain\tName\tMatch\tout_"
                  << "short\tfew fields" << QString::fromLatin1("bin\x01\x02\tx")
                  << "etc\tetc\t-\t_o\tplain\t../../../../etc\tName\tMatch\tetc_";
        resources.writeCatalogue(catalogue);
    }

    void hostileInput_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < cases().size(); ++i)
            QTest::newRow(qPrintable(cases().at(i).name)) << i;
    }

    void hostileInput()
    {
        QFETCH(int, index);
        const Case c = cases().at(index);
        if (c.name.startsWith("deep") && underSanitizer)
            QSKIP("under the address sanitizer every level of recursion takes several times the stack");
        const QString work = dir.path() + "/" + QString::number(index);
        QVERIFY(QDir().mkpath(work));
        QVERIFY(writeTextFile(work + "/ordinary.xml", "<r/>"));
        QStringList inputs{work + "/ordinary.xml"};
        QStringList args{"--resources", resources.path(), "--format", "rtf"};
        if (!c.build(work, resources.path(), inputs, args))
            QSKIP("this machine cannot set up the case");
        const QHash<QString, QByteArray> before = snapshot(work);

        const BatchRun run = runBatch(args + inputs, work);
        QVERIFY2(!run.crashed, qPrintable(run.err));
        QVERIFY2(run.exitCode == c.exitCode, qPrintable(QString::number(run.exitCode) + "\n" + run.err));
        for (const QString& message : c.messages)
            QVERIFY2(run.err.contains(message), qPrintable("missing «" + message + "» in:\n" + run.err));
        for (const QString& message : c.notSaid)
            QVERIFY2(!run.err.contains(message), qPrintable("unexpected «" + message + "» in:\n" + run.err));
        QVERIFY2(!QDir(work).entryList({"ordinary_o*"}, QDir::Files).isEmpty(), qPrintable(run.err));
        for (const QString& file : c.made)
            QVERIFY2(QFileInfo::exists(work + "/" + file), qPrintable(file + "\n" + run.err));
        for (const QString& file : c.absent)
            QVERIFY2(!QFileInfo::exists(work + "/" + file), qPrintable(file + "\n" + run.err));

        const QHash<QString, QByteArray> after = snapshot(work);
        for (auto it = before.constBegin(); it != before.constEnd(); ++it) {
            if (c.mayChange.contains(it.key().mid(work.size() + 1)))
                continue;
            QVERIFY2(after.value(it.key()) == it.value(), qPrintable("changed: " + it.key()));
        }
        // Nothing half-written stays behind.
        QVERIFY2(filesIn(work, ".pw-*").isEmpty(), qPrintable(filesIn(work, ".pw-*").join('\n')));
    }

    void cleanupTestCase()
    {
        for (const QString& folder : qAsConst(mounts))
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    }

    void sharedFolderKeepsEveryDocument()
    {
        // Two batch commands on the same files: each document gets its own
        // name, none replaces another.
        const QString work = dir.path() + "/shared";
        QStringList inputs;
        for (int i = 0; i < 30; ++i) {
            inputs << work + QStringLiteral("/f%1.xml").arg(i);
            QVERIFY(writeTextFile(inputs.last(), "<r/>"));
        }
        const QStringList args = QStringList{"--resources", resources.path(), "--format", "rtf"} + inputs;
        QProcess first;
        QProcess second;
        first.start(qEnvironmentVariable("PLINTHWORKS_BATCH"), args);
        second.start(qEnvironmentVariable("PLINTHWORKS_BATCH"), args);
        QVERIFY(first.waitForFinished(300000) && second.waitForFinished(300000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(filesIn(work, "*.rtf").size(), 2 * inputs.size());
    }

private:
    static const QList<Case>& cases();
};

const QList<Case>& TestHostile::cases()
{
    static const QList<Case> all = [] {
        QList<Case> list;
        const auto addXml = [](const QString& work, const QString& name, QStringList& inputs,
                               const QByteArray& content = "<r/>") {
            inputs << work + "/" + name;
            return writeFile(inputs.last(), content);
        };
        list << Case{"crashing query",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList& args) {
                         // Whichever comes first, the crash or the time limit, stops it.
                         // One worker: the file queued behind the crash must still be made.
                         args << "--sequential" << "--time-limit" << (underSanitizer ? "10" : "120");
                         return addXml(work, "crash_1.xml", inputs) && addXml(work, "after.xml", inputs);
                     },
                     1,
                     {underSanitizer ? "Ошибка! Формирование документа по файлу" : "завершилось аварийно при выполнении запросов"},
                     {"after_o.rtf"},
                     {}};
        list << Case{"deep recursion completes",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         return addXml(work, "deep_1.xml", inputs);
                     },
                     0,
                     {},
                     {"1_o.rtf"},
                     {}};
        list << Case{"time limit",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList& args) {
                         args << "--time-limit" << "2";
                         return addXml(work, "slow_1.xml", inputs);
                     },
                     1,
                     {"превышено ограничение времени (2 с)"},
                     {},
                     {}};
        list << Case{"count above the limit",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         return addXml(work, "huge_1.xml", inputs);
                     },
                     1,
                     {"Count команды [%iterate_start=i%query=Count%] вернул число повторений 1000000000, больше допустимого 100000"},
                     {"1_o.rtf"},
                     {}};
        list << Case{"count that is no number",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         return addXml(work, "word_1.xml", inputs) && addXml(work, "neg_1.xml", inputs)
                                && addXml(work, "long_1.xml", inputs);
                     },
                     1,
                     {"вернул «abc» вместо числа повторений", "вернул «-3» вместо числа повторений",
                      "вернул число повторений 99999999999999999999, больше допустимого 100000"},
                     {"1_o.rtf"},
                     {}};
        list << Case{"authoring errors",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         return addXml(work, "auth_1.xml", inputs);
                     },
                     1,
                     {"[%iterate_end=i%] закрывает блок итераций, который не был открыт",
                      "неизвестное слово «bogus» в команде [%bogus=1%]", "пустая команда [%%]",
                      "Latin.xq, описание: файл запроса не в кодировке UTF-8",
                      "запрос ../plain/Val указан вне папки запросов шаблона"},
                     {"1_o.rtf"},
                     {}};
        list << Case{"catalogue faults",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         return addXml(work, "out_1.xml", inputs) && addXml(work, "etc_1.xml", inputs);
                     },
                     1,
                     {"списка шаблонов", "файл шаблона ../../outside вне папки Templates",
                      "папка запросов ../../../../etc вне папки Queries", "полей 2, а нужно 8 или 9",
                      "это не текст в кодировке UTF-8", "Не найден файл шаблона: ../../outside.rtf"},
                     {},
                     {}};
        list << Case{"unpacking beside the user's files",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         // The folder the archive would use holds a different a.xml
                         // and a link named b.xml pointing at a file of the user's.
                         const bool ok = writeFile(work + "/arc/a.xml", "<r name='mine'/>")
                                         && writeFile(work + "/precious.txt", "keep me")
                                         && QFile::link(work + "/precious.txt", work + "/arc/b.xml")
                                         && writeZip(work + "/arc.zip", {{"a.xml", "<r name='a'/>"}, {"b.xml", "<r name='b'/>"}})
                                         // Here the same file is there already: it is used as it is.
                                         && writeFile(work + "/same/s.xml", "<r name='s'/>")
                                         && writeZip(work + "/same.zip", {{"s.xml", "<r name='s'/>"}});
                         inputs << work + "/arc.zip" << work + "/same.zip";
                         return ok;
                     },
                     0,
                     {},
                     {"arc_1/a.xml", "arc_1/b.xml", "a_o.rtf", "b_o.rtf", "s_o.rtf"},
                     {}};
        list << Case{"archive bomb",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         inputs << work + "/bomb.zip";
                         return writeZip(work + "/bomb.zip",
                                         {{"zeros.xml", QByteArray(40 << 20, '\0')}, {"fine.xml", "<r/>"}});
                     },
                     1,
                     {"Элемент архива zeros.xml", "сжат неправдоподобно сильно"},
                     {"fine_o.rtf"},
                     {}};
        list << Case{"archive names from Info-ZIP",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         inputs << work + "/linux.zip";
                         return writeInfoZipArchive(work + "/linux.zip", QStringLiteral("счёт.xml"), "<r/>");
                     },
                     0,
                     {},
                     {QStringLiteral("linux/счёт.xml"), QStringLiteral("счёт_o.rtf")},
                     {}};
        list << Case{"picture above the pixel limit",
                     [=](const QString& work, const QString& res, QStringList&, QStringList& args) {
                         args = QStringList{"--resources", res, "--format", "odt"};
                         const QString content = Odt::contentXml(
                             "<text:p>[%Val%]</text:p><text:p>[%insert_picture%query=Picture%]</text:p>");
                         QDir().mkpath(res + "/Queries/picture");
                         return Odt::writeOdt(res + "/Templates/plain.odt", content)
                                && writeFile(res + "/Queries/plain/Picture.xq", "'big.png'")
                                && writeFile(work + "/big.png", pngHeaderOnly(20000, 20000));
                     },
                     0,
                     {"big.png не вставлен: его размер 20000×20000 точек больше допустимого"},
                     {"ordinary_o.odt"},
                     {}};
        list << Case{"RTF templates whose braces do not pair",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList&) {
                         return addXml(work, "unclosed_1.xml", inputs) && addXml(work, "extra_2.xml", inputs)
                                && addXml(work, "cut_3.xml", inputs);
                     },
                     1,
                     {"unclosed.rtf: нарушен баланс фигурных скобок RTF: не закрыта «{» из строки 1, позиция 1",
                      "extra.rtf: нарушен баланс фигурных скобок RTF: лишняя «}» в строке 1, позиция 32",
                      "cut.rtf: нарушен баланс фигурных скобок RTF: не закрыта «{» из строки 1, позиция 32"},
                     {},
                     {},
                     {"1_o.rtf", "2_o.rtf", "3_o.rtf"}};
        const auto pictureTemplate = [](const QString& res, const QHash<QString, QString>& pictures) {
            QString body = "<text:p>[%Val%]</text:p>";
            bool ok = true;
            for (auto it = pictures.constBegin(); it != pictures.constEnd(); ++it) {
                body += "<text:p>[%insert_picture%query=" + it.key() + "%]</text:p>";
                ok = ok && writeTextFile(res + "/Queries/plain/" + it.key() + ".xq", "'" + it.value() + "'");
            }
            return ok && Odt::writeOdt(res + "/Templates/plain.odt", Odt::contentXml(body));
        };
        list << Case{"pictures that cannot be placed",
                     [=](const QString& work, const QString& res, QStringList&, QStringList& args) {
                         args = QStringList{"--resources", res, "--format", "odt"};
                         return pictureTemplate(res, {{"Missing", "nothere.png"}, {"Text", "notes.png"},
                                                      {"Folder", "folder.png"}})
                                && writeFile(work + "/notes.png", "not a picture at all")
                                && QDir().mkpath(work + "/folder.png");
                     },
                     0,
                     {"nothere.png, который вернул запрос Missing, не найден",
                      "notes.png, который вернул запрос Text, не является рисунком",
                      "folder.png, который вернул запрос Folder, не удаётся прочитать"},
                     {"ordinary_o.odt"},
                     {}};
        const auto outsidePictures = [=](const QString& work, const QString& res, QStringList& args) {
            args = QStringList{"--resources", res, "--format", "odt"};
            QImage picture(8, 8, QImage::Format_RGB32);
            picture.fill(Qt::red);
            const QString outside = QFileInfo(work).absolutePath() + "/outside-" + QFileInfo(work).fileName() + ".png";
            return pictureTemplate(res, {{"Up", "../" + QFileInfo(outside).fileName()}, {"Link", "link.png"},
                                         {"Inside", "inside.png"}})
                   && picture.save(outside) && picture.save(work + "/inside.png")
                   && QFile::link(outside, work + "/link.png");
        };
        list << Case{"pictures from outside the source folder",
                     [=](const QString& work, const QString& res, QStringList&, QStringList& args) {
                         return outsidePictures(work, res, args);
                     },
                     0,
                     {", который вернул запрос Up, находится вне папки исходного файла",
                      "link.png, который вернул запрос Link, находится вне папки исходного файла"},
                     {"ordinary_o.odt"},
                     {}};
        list << Case{"pictures from outside the source folder, allowed",
                     [=](const QString& work, const QString& res, QStringList&, QStringList& args) {
                         const bool ok = outsidePictures(work, res, args);
                         args << "--allow-outside-pictures";
                         return ok;
                     },
                     0,
                     {},
                     {"ordinary_o.odt"},
                     {},
                     {},
                     {"Рисунок не вставлен"}};
        list << Case{"dangling link at the document's name",
                     [=](const QString& work, const QString&, QStringList&, QStringList&) {
                         return QFile::link(work + "/nowhere/x.rtf", work + "/ordinary_o.rtf");
                     },
                     0,
                     {},
                     {"ordinary_o_1.rtf"},
                     {},
                     {"nowhere"}};
        list << Case{"link at the document's name with --overwrite",
                     [=](const QString& work, const QString&, QStringList&, QStringList& args) {
                         args << "--overwrite";
                         return writeFile(work + "/precious.txt", "keep me")
                                && QFile::link(work + "/precious.txt", work + "/ordinary_o.rtf");
                     },
                     0,
                     {},
                     {},
                     {"ordinary_o.rtf"}};
        list << Case{"name too long",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList& args) {
                         args << "--rename";
                         return addXml(work, "long.xml", inputs,
                                       "<r name='" + QString(300, QChar(0x0436)).toUtf8() + "'/>");
                     },
                     0,
                     {"Имя документа слишком длинное для файловой системы и сокращено"},
                     {},
                     {}};
        list << Case{"failed overwrite keeps the old document",
                     [=](const QString& work, const QString&, QStringList& inputs, QStringList& args) {
                         // A folder on a file system with no room left for the new document.
                         const QString full = work + "/full";
                         QDir().mkpath(full);
                         if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=64k") != 0)
                             return false;
                         mounts << full;
                         inputs << full + "/fill_big.xml";
                         args << "--overwrite";
                         return writeFile(full + "/fill_big.xml", "<r/>")
                                && writeFile(full + "/big_o.rtf", "old good document")
                                && !writeFile(full + "/filler", QByteArray(80 << 10, 'x')); // fills it up
                     },
                     1,
                     {"Ошибка записи конечного файла преобразования"},
                     {"full/big_o.rtf"},
                     {"full/filler"}};
        return list;
    }();
    return all;
}

QTEST_GUILESS_MAIN(TestHostile)
#include "tst_hostile.moc"
