// Unpacking source archives and copying DOCX/ODT packages, on real archives in temporary folders.
#include "domutil.h"
#include "messagesenderobject.h"
#include "status.h"
#include "testsupport.h"
#include "ziputil.h"

#include <QDir>
#include <QDirIterator>
#include <QTextCodec>
#include <QtEndian>
#include <QtTest>

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

using namespace TestSupport;

namespace {

struct Entry
{
    QString name;
    QByteArray data;
    int method = Z_DEFLATED;
    QDateTime time = QDateTime(QDate(2020, 1, 2), QTime(3, 4, 6));
    quint32 externalAttr = 0;
};

// Writes an archive with QuaZip directly, so the tests do not depend on the
// functions under test to make their input.
bool makeZip(const QString& path, const QList<Entry>& entries)
{
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const Entry& entry : entries) {
        QuaZipNewInfo info(entry.name);
        info.dateTime = entry.time;
        info.externalAttr = entry.externalAttr;
        QuaZipFile out(&zip);
        if (!out.open(QIODevice::WriteOnly, info, nullptr, 0, entry.method,
                      entry.method ? Z_DEFAULT_COMPRESSION : 0) ||
            out.write(entry.data) != entry.data.size())
            return false;
        out.close();
    }
    zip.close();
    return zip.getZipError() == ZIP_OK;
}

QByteArray zipBytes(const QString& path, const QList<Entry>& entries)
{
    return makeZip(path, entries) ? readFile(path) : QByteArray();
}

QList<QuaZipFileInfo64> entryInfos(const QString& path)
{
    QList<QuaZipFileInfo64> infos;
    QuaZip zip(path);
    if (!zip.open(QuaZip::mdUnzip))
        return infos;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        zip.getCurrentFileInfo(&info);
        infos << info;
    }
    return infos;
}

// The entry's data as stored in the archive, compressed or not.
QByteArray storedData(const QString& path, const QString& name)
{
    QuaZipFile file(path, name, QuaZip::csSensitive);
    int method = 0;
    if (!file.open(QIODevice::ReadOnly, &method, nullptr, true))
        return QByteArray();
    return file.readAll();
}

QStringList relative(const QStringList& paths, const QString& base)
{
    QStringList result;
    for (const QString& path : paths)
        result << QDir(base).relativeFilePath(path);
    return result;
}

// Files below a folder, recursively, as sorted relative paths.
QStringList filesBelow(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

QRegularExpression mask(const QString& text)
{
    // Built as the main window builds it from the settings.
    return text.isEmpty() ? QRegularExpression()
                          : QRegularExpression(QRegularExpression::anchoredPattern(text),
                                               QRegularExpression::CaseInsensitiveOption);
}

// The first difference between two packages, apart from the data of the
// replaced entries; empty when there is none.
QString packageDifference(const QString& src, const QString& dest, const QStringList& replaced)
{
    const QList<QuaZipFileInfo64> before = entryInfos(src);
    const QList<QuaZipFileInfo64> after = entryInfos(dest);
    if (after.size() != before.size())
        return "entry count";
    for (int i = 0; i < before.size(); ++i) {
        const QuaZipFileInfo64& b = before.at(i);
        const QuaZipFileInfo64& a = after.at(i);
        if (a.name != b.name || a.method != b.method || a.dateTime != b.dateTime ||
            a.externalAttr != b.externalAttr)
            return "header of " + b.name;
        if (!replaced.contains(b.name) &&
            (a.crc != b.crc || storedData(dest, b.name) != storedData(src, b.name)))
            return "data of " + b.name;
    }
    return QString();
}

// An ODF package must start with its media type: the first local header names
// "mimetype", stored, without extra field, so the type can be read at a fixed offset.
bool startsWithStoredMimetype(const QString& path)
{
    const QByteArray head = readFile(path).left(38);
    return head.size() == 38 && head.mid(30, 8) == "mimetype" &&
           qFromLittleEndian<quint16>(head.constData() + 8) == 0 &&
           qFromLittleEndian<quint16>(head.constData() + 28) == 0;
}

// Puts a marker before the first non-blank text of a paragraph, so that the
// text of a converted copy shows that the replaced part was read.
bool markFirstText(QDomDocument& doc, const QString& marker)
{
    for (QDomNode node = doc.documentElement(); !node.isNull(); node = DomUtil::nextNode(node)) {
        const QString parent = node.parentNode().nodeName();
        if (node.isText() && !node.nodeValue().trimmed().isEmpty() &&
            (parent == "w:t" || parent == "text:p" || parent == "text:span")) {
            node.setNodeValue(marker + node.nodeValue());
            return true;
        }
    }
    return false;
}

} // namespace

class TestZipUtil : public QObject
{
    Q_OBJECT
    QTemporaryDir tmp;
    MessageSenderObject sender;
    QStringList log;
    int dirCount = 0;

    // A fresh folder for each case, so no test sees another's files.
    QString newDir()
    {
        const QString path = tmp.path() + QString("/case%1").arg(++dirCount);
        QDir().mkpath(path);
        return path;
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        ZipUtil::initDefaults();
        QVERIFY(tmp.isValid());
        connect(&sender, &MessageSenderObject::sendMessageSignal, this,
                [this](const QString& l) { log << l; });
        setGlobalMessageSender(&sender);
    }
    void init() { log.clear(); }
    void cleanupTestCase() { setGlobalMessageSender(nullptr); }

    void masksSelectEntriesByFileName_data()
    {
        QTest::addColumn<QString>("include");
        QTest::addColumn<QString>("exclude");
        QTest::addColumn<QStringList>("kept");
        const QString none;
        const QStringList all{"a.XML", "b.txt", "d.xml.bak", "docs/c.xml"};
        QTest::newRow("no masks") << none << none << all;
        QTest::newRow("include ignores case") << ".*\\.xml" << none << QStringList{"a.XML", "docs/c.xml"};
        QTest::newRow("exclude") << none << ".*\\.TXT" << QStringList{"a.XML", "d.xml.bak", "docs/c.xml"};
        QTest::newRow("both") << ".*\\.xml"
                              << "c\\..*" << QStringList{"a.XML"};
        QTest::newRow("whole name must match") << "xml" << none << QStringList();
        QTest::newRow("folder is not part of the name") << "docs/.*" << none << QStringList();
        QTest::newRow("invalid include ignored") << "*.xml" << none << all;
        QTest::newRow("invalid exclude ignored") << none << "*.xml" << all;
    }

    void masksSelectEntriesByFileName()
    {
        QFETCH(QString, include);
        QFETCH(QString, exclude);
        QFETCH(QStringList, kept);
        const QString dir = newDir();
        QVERIFY(makeZip(dir + "/in.zip",
                        {{"a.XML", "a"}, {"b.txt", "b"}, {"d.xml.bak", "d"}, {"docs/c.xml", "c"}}));
        UnzipParams p;
        p.includeMask = mask(include);
        p.excludeMask = mask(exclude);
        QStringList fileNames;
        QVERIFY(ZipUtil::unzipArchive(dir + "/in.zip", dir + "/out", fileNames, p));
        QCOMPARE(relative(fileNames, dir + "/out"), kept);
        QCOMPARE(filesBelow(dir + "/out"), kept);
    }

    void folderEntriesAreSkipped()
    {
        const QString dir = newDir();
        QVERIFY(makeZip(dir + "/in.zip",
                        {{"docs/", ""}, {"docs/2024/", ""}, {"docs/2024/a.xml", "a"}, {"e/", ""}}));
        QStringList fileNames;
        QVERIFY(ZipUtil::unzipArchive(dir + "/in.zip", dir + "/in", fileNames, UnzipParams()));
        QCOMPARE(fileNames, QStringList{dir + "/in/docs/2024/a.xml"});
        QCOMPARE(readFile(fileNames.first()), QByteArray("a"));
    }

    void innerArchives_data()
    {
        QTest::addColumn<bool>("removeInternalZips");
        QTest::addColumn<bool>("recursive");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("kept as files") << false << false << QStringList{"a.xml", "inner.zip"};
        QTest::newRow("kept and unpacked")
            << false << true
            << QStringList{"a.xml", "inner.zip", "inner/b.xml", "inner/deep.ZIP", "inner/deep/c.xml"};
        QTest::newRow("deleted") << true << false << QStringList{"a.xml"};
        QTest::newRow("unpacked and deleted")
            << true << true << QStringList{"a.xml", "inner/b.xml", "inner/deep/c.xml"};
    }

    void innerArchives()
    {
        QFETCH(bool, removeInternalZips);
        QFETCH(bool, recursive);
        QFETCH(QStringList, kept);
        const QString dir = newDir();
        const QByteArray deep = zipBytes(dir + "/deep.zip", {{"c.xml", "c"}});
        const QByteArray inner = zipBytes(dir + "/inner.zip", {{"b.xml", "b"}, {"deep.ZIP", deep}});
        QVERIFY(makeZip(dir + "/outer.zip", {{"a.xml", "a"}, {"inner.zip", inner}}));
        UnzipParams p;
        p.removeInternalZips = removeInternalZips;
        p.recursive = recursive;

        QStringList fileNames;
        QVERIFY(ZipUtil::unzipArchive(dir + "/outer.zip", dir + "/out", fileNames, p));
        QCOMPARE(relative(fileNames, dir + "/out"), kept);
        kept.sort();
        QCOMPARE(filesBelow(dir + "/out"), kept);
    }

    void failingInnerArchiveFailsTheWhole()
    {
        const QString dir = newDir();
        QVERIFY(makeZip(dir + "/outer.zip", {{"a.xml", "a"}, {"bad.zip", "not an archive"}, {"z.xml", "z"}}));
        QStringList fileNames;
        QVERIFY(!ZipUtil::unzipArchive(dir + "/outer.zip", dir + "/out", fileNames, UnzipParams()));
        QCOMPARE(filesBelow(dir + "/out"), (QStringList{"a.xml", "bad.zip"}));
    }

    void filesKeepContentAndEntryDate()
    {
        const QString dir = newDir();
        QByteArray large;
        for (qint64 i = 0; large.size() < 3 * 1024 * 1024 + 17; ++i)
            large += QByteArray::number(i * 7919) + ' ';
        Entry big{"big.bin", large};
        big.time = QDateTime(QDate(2021, 3, 4), QTime(5, 6, 8));
        const Entry stored{"stored.txt", "stored content", 0};
        QVERIFY(makeZip(dir + "/in.zip", {big, stored}));

        QStringList fileNames;
        QVERIFY(ZipUtil::unzipArchive(dir + "/in.zip", dir + "/out", fileNames, UnzipParams()));
        QCOMPARE(readFile(dir + "/out/big.bin"), large);
        QCOMPARE(readFile(dir + "/out/stored.txt"), stored.data);
        QCOMPARE(QFileInfo(dir + "/out/big.bin").lastModified(), big.time);
        QCOMPARE(QFileInfo(dir + "/out/stored.txt").lastModified(), stored.time);
    }

    void entriesOutsideTheFolderAreRefused()
    {
        const QString dir = newDir();
        const QString elsewhere = newDir();
        const QStringList unsafe{"../evil1.xml",
                                 "a/../../evil2.xml",
                                 "..\\evil3.xml",
                                 elsewhere + "/evil4.xml",
                                 "\\" + elsewhere.mid(1) + "/evil5.xml",
                                 "ok/../evil6.xml"};
        QList<Entry> entries{{"good.xml", "good"}, {"win\\sub\\d.xml", "d"}};
        for (const QString& name : unsafe)
            entries << Entry{name, "evil"};
        QVERIFY(makeZip(dir + "/in.zip", entries));

        QStringList fileNames;
        QVERIFY(ZipUtil::unzipArchive(dir + "/in.zip", dir + "/out/deeper", fileNames, UnzipParams()));
        const QStringList written{"in.zip", "out/deeper/good.xml", "out/deeper/win/sub/d.xml"};
        QCOMPARE(relative(fileNames, dir), written.mid(1));
        QCOMPARE(filesBelow(dir), written);
        QVERIFY(filesBelow(elsewhere).isEmpty());
        QCOMPARE(log.size(), unsafe.size());
        for (int i = 0; i < unsafe.size(); ++i)
            QVERIFY2(log.at(i).contains("Пропущен элемент архива с недопустимым путём: " + unsafe.at(i)),
                     qPrintable(log.at(i)));
    }

    void damagedArchivesAreReported_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("not an archive") << "garbage";
        QTest::newRow("truncated") << "truncate";
        QTest::newRow("deflated data changed") << "deflated";
        QTest::newRow("stored data changed") << "stored";
        QTest::newRow("missing file") << "missing";
    }

    void damagedArchivesAreReported()
    {
        QFETCH(QString, damage);
        const QString dir = newDir();
        QByteArray text;
        for (int i = 0; i < 2000; ++i)
            text += "line " + QByteArray::number(i) + "\n";
        const int method = damage == "stored" ? 0 : Z_DEFLATED;
        QByteArray bytes = zipBytes(dir + "/good.zip", {{"a.xml", text, method}});
        QVERIFY(!bytes.isEmpty());
        if (damage == "garbage") {
            bytes = QByteArray(5000, 'x');
        } else if (damage == "truncate") {
            bytes.truncate(bytes.size() / 2);
        } else if (damage != "missing") {
            // Data starts after the local header (30 bytes), the name and the extra field.
            const int start = 30 + qFromLittleEndian<quint16>(bytes.constData() + 26) +
                              qFromLittleEndian<quint16>(bytes.constData() + 28);
            for (int i = start + 100; i < start + 140; ++i)
                bytes[i] = char(bytes.at(i) ^ 0x5a);
        }
        const QString path = dir + "/damaged.zip";
        if (damage != "missing")
            QVERIFY(writeFile(path, bytes));

        QStringList fileNames;
        QVERIFY(!ZipUtil::unzipArchive(path, dir + "/out", fileNames, UnzipParams()));
        QVERIFY(fileNames.isEmpty());
        bool ok = true;
        QVERIFY(ZipUtil::loadFile(path, "a.xml", &ok).isEmpty());
        QVERIFY(!ok);
        QVERIFY(ZipUtil::loadTextFile(path, "a.xml", nullptr).isEmpty());
    }

    void entryOverExistingFolderFails()
    {
        const QString dir = newDir();
        QVERIFY(QDir().mkpath(dir + "/out/a.xml"));
        QVERIFY(QDir().mkpath(dir + "/out2"));
        QVERIFY(writeFile(dir + "/out2/docs", "a file, not a folder"));
        QVERIFY(makeZip(dir + "/in.zip", {{"a.xml", "a"}}));
        QVERIFY(makeZip(dir + "/in2.zip", {{"docs/b.xml", "b"}}));
        QStringList fileNames;
        QVERIFY(!ZipUtil::unzipArchive(dir + "/in.zip", dir + "/out", fileNames, UnzipParams()));
        QVERIFY(!ZipUtil::unzipArchive(dir + "/in2.zip", dir + "/out2", fileNames, UnzipParams()));
        QVERIFY(!ZipUtil::unzipArchive(dir + "/in.zip", dir + "/out2/docs/x", fileNames, UnzipParams()));
        QVERIFY(fileNames.isEmpty());
    }

    void cyrillicNamesAreIbm866()
    {
        const QString dir = newDir();
        const QString name = QString::fromUtf8("Отчёт за май/данные.xml");
        QVERIFY(makeZip(dir + "/in.zip", {{name, "x"}}));
        QVERIFY(readFile(dir + "/in.zip").contains(QTextCodec::codecForName("IBM866")->fromUnicode(name)));

        QCOMPARE(ZipUtil::getFileNameList(dir + "/in.zip"), QStringList{name});
        QCOMPARE(ZipUtil::loadFile(dir + "/in.zip", name), QByteArray("x"));
        QStringList fileNames;
        QVERIFY(ZipUtil::unzipArchive(dir + "/in.zip", dir + "/out", fileNames, UnzipParams()));
        QCOMPARE(fileNames, QStringList{dir + "/out/" + name});
        QVERIFY(QFile::exists(dir + "/out/" + name));
    }

    void loadingEntries()
    {
        const QString dir = newDir();
        const QString zip = dir + "/in.zip";
        const QString text = QString::fromUtf8("Текст в кодировке 1251");
        QVERIFY(makeZip(zip, {{"z.xml", "last-first"},
                              {"word/document.xml", "<w:document/>"},
                              {"cp1251.txt", QTextCodec::codecForName("Windows-1251")->fromUnicode(text)},
                              {"empty.txt", ""}}));
        QCOMPARE(ZipUtil::getFileNameList(zip),
                 (QStringList{"z.xml", "word/document.xml", "cp1251.txt", "empty.txt"}));
        QCOMPARE(ZipUtil::loadTextFile(zip, "cp1251.txt", QTextCodec::codecForName("Windows-1251")), text);
        QCOMPARE(ZipUtil::loadTextFile(zip, "word/document.xml", nullptr), QString("<w:document/>"));
        bool ok = false;
        QVERIFY(ZipUtil::loadFile(zip, "empty.txt", &ok).isEmpty());
        QVERIFY(ok);
        for (const char* missing : {"Z.XML", "document.xml", "absent"}) {
            QVERIFY(ZipUtil::loadFile(zip, missing, &ok).isEmpty());
            QVERIFY(!ok);
        }
        QVERIFY(ZipUtil::getFileNameList(dir + "/absent.zip").isEmpty());
    }

    void copyReplaceKeepsEntriesAndMethods()
    {
        const QString dir = newDir();
        const QString src = dir + "/src.zip";
        QByteArray content;
        for (int i = 0; i < 500; ++i)
            content += "<p>paragraph " + QByteArray::number(i) + "</p>";
        Entry dated{"c.txt", "dated and with attributes"};
        dated.time = QDateTime(QDate(2019, 12, 31), QTime(23, 59, 58));
        dated.externalAttr = 0x81a40000u | 0x20u; // rw-r--r-- regular file, archive bit
        QVERIFY(makeZip(src, {{"mimetype", "application/vnd.oasis.opendocument.text", 0},
                              {"content.xml", content},
                              {"Pictures/", "", 0},
                              {"b.bin", QByteArray(300, 'b'), 0},
                              dated,
                              {"styles.xml", "<styles/>"}}));
        QByteArray newContent("<p>replaced</p>");
        QByteArray newBin("new stored bytes");
        QByteArray absent("never added");
        const QHash<QString, QByteArray*> replacements{{"content.xml", &newContent},
                                                       {"b.bin", &newBin},
                                                       {"absent.xml", &absent},
                                                       {"STYLES.XML", &absent}};

        QVERIFY(ZipUtil::copyReplaceArchiveFiles(dir + "/dest.zip", src, replacements));

        QCOMPARE(packageDifference(src, dir + "/dest.zip", {"content.xml", "b.bin"}), QString());
        QCOMPARE(ZipUtil::loadFile(dir + "/dest.zip", "content.xml"), newContent);
        QCOMPARE(ZipUtil::loadFile(dir + "/dest.zip", "b.bin"), newBin);
        QCOMPARE(ZipUtil::loadFile(dir + "/dest.zip", "styles.xml"), QByteArray("<styles/>"));
        QVERIFY(startsWithStoredMimetype(dir + "/dest.zip"));
        QCOMPARE(readFile(dir + "/dest.zip").mid(38, 39),
                 QByteArray("application/vnd.oasis.opendocument.text"));
    }

    void copyReplaceFailures()
    {
        const QString dir = newDir();
        QVERIFY(makeZip(dir + "/src.zip", {{"a.xml", "a"}}));
        const QHash<QString, QByteArray*> none;
        QVERIFY(!ZipUtil::copyReplaceArchiveFiles(dir + "/d1.zip", dir + "/absent.zip", none));
        QVERIFY(!ZipUtil::copyReplaceArchiveFiles(dir + "/no/such/folder/d2.zip", dir + "/src.zip", none));
        QVERIFY(writeFile(dir + "/garbage.zip", QByteArray(3000, 'g')));
        QVERIFY(!ZipUtil::copyReplaceArchiveFiles(dir + "/d3.zip", dir + "/garbage.zip", none));
        const QHash<QString, QByteArray*> nullReplacement{{"a.xml", nullptr}};
        QVERIFY(!ZipUtil::copyReplaceArchiveFiles(dir + "/d4.zip", dir + "/src.zip", nullReplacement));
    }

    // A copy that fails half way is no document: nothing may be left at the
    // destination that could be taken for one. A destination that could not
    // be opened at all is left as it was.
    void failedCopyLeavesNoFile_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("replacement without bytes") << "null";
        QTest::newRow("entry header damaged") << "header";
        QTest::newRow("destination is a folder") << "folder";
    }
    void failedCopyLeavesNoFile()
    {
        QFETCH(QString, damage);
        const QString dir = newDir();
        QByteArray bytes = zipBytes(dir + "/src.zip", {{"a.xml", QByteArray(3000, 'a')}, {"b.xml", "b"}});
        QVERIFY(!bytes.isEmpty());
        QHash<QString, QByteArray*> replacements;
        if (damage == "null")
            replacements.insert("b.xml", nullptr);
        if (damage == "header") {
            const int second = bytes.indexOf("PK\x03\x04", 4);
            QVERIFY(second > 0);
            bytes[second + 2] = 'X';
            QVERIFY(writeFile(dir + "/src.zip", bytes));
        }
        const QString dest = dir + "/dest.docx";
        if (damage == "folder")
            QVERIFY(QDir().mkpath(dest + "/kept"));

        QVERIFY(!ZipUtil::copyReplaceArchiveFiles(dest, dir + "/src.zip", replacements));
        if (damage == "folder")
            QVERIFY(QFileInfo(dest + "/kept").isDir());
        else
            QVERIFY(!QFile::exists(dest));
    }

    void addFilesAppendsDeflatedEntries()
    {
        const QString dir = newDir();
        const QString zip = dir + "/doc.zip";
        QVERIFY(makeZip(zip, {{"mimetype", "x", 0}}));
        QByteArray picture(20000, '\0');
        for (int i = 0; i < picture.size(); ++i)
            picture[i] = char(i % 251);
        QVERIFY(writeFile(dir + "/image1.png", picture));
        QVERIFY(writeFile(dir + "/image2.png", "second"));

        QVERIFY(ZipUtil::addFiles(zip, {{"word/media/image1.png", dir + "/image1.png"},
                                        {"word/media/image2.png", dir + "/image2.png"}}));

        const QList<QuaZipFileInfo64> infos = entryInfos(zip);
        QCOMPARE(infos.size(), 3);
        QCOMPARE(infos.first().name, QString("mimetype"));
        for (int i = 1; i < infos.size(); ++i)
            QCOMPARE(int(infos.at(i).method), Z_DEFLATED);
        QCOMPARE(ZipUtil::loadFile(zip, "word/media/image1.png"), picture);
        QCOMPARE(ZipUtil::loadFile(zip, "word/media/image2.png"), QByteArray("second"));

        QVERIFY(!ZipUtil::addFiles(zip, {{"missing.png", dir + "/missing.png"}}));
        QVERIFY(!ZipUtil::addFiles(dir + "/absent.zip", {{"image.png", dir + "/image2.png"}}));
        QCOMPARE(ZipUtil::getFileNameList(zip).size(), 3);
    }

    // Real packages: the main part replaced by itself parsed and written
    // again, every other entry untouched, and LibreOffice still reads both.
    void corpusPackagesCopy()
    {
        const QString corpus = corpusDir();
        if (corpus.isEmpty())
            QSKIP("no corpus");
        const QString dir = newDir();
        QStringList forLibreOffice;
        QHash<QString, QString> copies;
        for (const QString kind : {"docx", "odt"}) {
            const QDir folder(corpus + "/" + kind);
            const QStringList names = folder.entryList({"*." + kind}, QDir::Files, QDir::Name);
            for (const QString& name : names) {
                const QString src = folder.filePath(name);
                const QString part = kind == "docx" ? "word/document.xml" : "content.xml";
                QDomDocument doc;
                QVERIFY(DomUtil::parseDocument(doc, ZipUtil::loadFile(src, part)));
                const bool first = name == names.first();
                if (first)
                    QVERIFY(markFirstText(doc, "ZQMARK"));
                QByteArray bytes;
                DomUtil::rawDataFromDoc(bytes, doc, QTextCodec::codecForName("UTF-8"), -1);
                const QString dest = dir + "/copy_" + name;
                QVERIFY(ZipUtil::copyReplaceArchiveFiles(dest, src, {{part, &bytes}}));

                QCOMPARE(packageDifference(src, dest, {part}), QString());
                QCOMPARE(ZipUtil::loadFile(dest, part), bytes);
                QCOMPARE(startsWithStoredMimetype(dest), startsWithStoredMimetype(src));
                if (first) {
                    forLibreOffice << src << dest;
                    copies.insert(src, dest);
                }
            }
        }
        if (!LibreOffice::available())
            QSKIP("LibreOffice is not installed");
        const QHash<QString, QString> texts = LibreOffice::toText(forLibreOffice, dir + "/text");
        for (auto it = copies.constBegin(); it != copies.constEnd(); ++it) {
            QVERIFY2(texts.contains(it.key()) && texts.contains(it.value()), qPrintable(it.value()));
            QString copyText = texts.value(it.value());
            QVERIFY2(copyText.contains("ZQMARK"), qPrintable(it.value()));
            QCOMPARE(copyText.remove("ZQMARK"), texts.value(it.key()));
        }
    }
};

QTEST_GUILESS_MAIN(TestZipUtil)
#include "tst_ziputil.moc"
