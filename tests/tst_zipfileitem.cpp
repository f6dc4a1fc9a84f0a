// Source archives in the processing list: unpacking into child items, a run
// that stops after unpacking and resumes, deleting what was unpacked.
#include "filelist.h"
#include "globals.h"
#include "templatelist.h"
#include "testsupport.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"
#include "ziputil.h"

#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

class TestZipFileItem : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    static UnzipParams defaultParams()
    {
        UnzipParams params;
        params.includeMask = QRegularExpression(QRegularExpression::anchoredPattern("(.+\\.xml|.+\\.zip|.+\\.pdf)"),
                                                QRegularExpression::CaseInsensitiveOption);
        params.recursive = false;
        params.removeInternalZips = false;
        return params;
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        ZipUtil::initDefaults();
        initGlobalResourcePaths();
    }

    void unpackedFilesBecomeChildren()
    {
        const QString path = dir.path() + "/in/report.2024.zip";
        QVERIFY(writeZip(path, {{"a.xml", "<a/>"}, {"docs/2024/b.XML", "<b/>"}, {"c.pdf", "%PDF"},
                                {"skip.txt", "x"}, {"inner.zip", "PK"}}));
        ZipFileItem zip(path);
        QVERIFY(zip.unzip(defaultParams()));
        QCOMPARE(zip.state(), 1);
        QCOMPARE(zip.unzipFolder(), dir.path() + "/in/report");
        // The unpacking thread only makes the items; the tree's owner attaches them.
        QCOMPARE(zip.childCount(), 0);
        QCOMPARE(zip.attachUnpacked(), 4);
        const QList<FileItem*> children = zip.childItems();
        QCOMPARE(children.size(), 4);
        QVERIFY(dynamic_cast<XmlFileItem*>(children.at(0)));
        QVERIFY(dynamic_cast<XmlFileItem*>(children.at(1)));
        QVERIFY(!dynamic_cast<XmlFileItem*>(children.at(2)));
        QVERIFY(!dynamic_cast<ZipFileItem*>(children.at(3))); // inner archives are plain items
        QCOMPARE(children.at(1)->sourceFileName(true), dir.path() + "/in/report/docs/2024/b.XML");
        QCOMPARE(children.at(1)->path(true), dir.path() + "/in");
        for (FileItem* child : children)
            QCOMPARE(child->state(), 1);
        QVERIFY(!zip.unzip(defaultParams())); // already unpacked
    }

    void unpackingFailures()
    {
        const QString folders = dir.path() + "/f/folders.zip";
        QVERIFY(writeZip(folders, {{"sub/", ""}}));
        ZipFileItem onlyFolders(folders);
        QVERIFY(!onlyFolders.unzip(defaultParams()));
        QCOMPARE(onlyFolders.errorText(),
                 QStringLiteral("Ошибка! Из архива: folders.zip не распаковано ни одного файла. Возможно архив поврежден."));

        const QString pdfs = dir.path() + "/f/pdfs.zip";
        QVERIFY(writeZip(pdfs, {{"a.pdf", "%PDF"}}));
        ZipFileItem onlyPdf(pdfs);
        QVERIFY(onlyPdf.unzip(defaultParams()));
        QCOMPARE(onlyPdf.errorText(), QStringLiteral("Ошибка! Из архива: pdfs.zip не распаковано ни одного XML файла"));
        QCOMPARE(onlyPdf.childCount(), 0);
        QCOMPARE(onlyPdf.state(), 0);
        QVERIFY(QFile::exists(dir.path() + "/f/pdfs/a.pdf"));

        const QString broken = dir.path() + "/f/broken.zip";
        writeFile(broken, "this is not an archive");
        ZipFileItem damaged(broken);
        QVERIFY(!damaged.unzip(defaultParams()));
        QVERIFY(damaged.hasError());
        QVERIFY(!damaged.unzip(defaultParams())); // refused until errors are cleared
    }

    // Archives named alike (monthly packs of one name) share their base name;
    // unpacked into one folder, the files of one would replace the other's
    // files of the same name, and one month's documents would silently be
    // made twice from the other month's data.
    void archivesOfOneBaseNameKeepTheirOwnFiles()
    {
        const QString march = dir.path() + "/months/inv.2024-03.zip";
        const QString april = dir.path() + "/months/inv.2024-04.zip";
        QVERIFY(writeZip(march, {{"invoice_1.xml", "<a>March</a>"}}));
        QVERIFY(writeZip(april, {{"invoice_1.xml", "<a>April</a>"}}));
        ZipFileItem first(march);
        ZipFileItem second(april);
        QVERIFY(first.unzip(defaultParams()));
        QVERIFY(second.unzip(defaultParams()));
        first.attachUnpacked();
        second.attachUnpacked();
        QCOMPARE(first.childCount(), 1);
        QCOMPARE(second.childCount(), 1);
        QCOMPARE(readFile(first.child(0)->sourceFileName(true)), QByteArray("<a>March</a>"));
        QCOMPARE(readFile(second.child(0)->sourceFileName(true)), QByteArray("<a>April</a>"));
        QVERIFY(first.unzipFolder() != second.unzipFolder());
        QVERIFY(second.child(0)->sourceFileName(true).startsWith(second.unzipFolder() + "/"));

        // The same archive unpacked again goes to its own folder again.
        ZipFileItem again(march);
        QVERIFY(again.unzip(defaultParams()));
        QCOMPARE(again.unzipFolder(), first.unzipFolder());
    }

    void deletingUnpackedFilesSparesTheUsersOwn()
    {
        const QString path = dir.path() + "/del/pack.zip";
        QVERIFY(writeZip(path, {{"a.xml", "<a/>"}, {"sub/b.xml", "<b/>"}, {"c.pdf", "%PDF"}}));
        const QString pdfsOnly = dir.path() + "/del/scans.zip";
        QVERIFY(writeZip(pdfsOnly, {{"scan.pdf", "%PDF"}}));
        writeTextFile(dir.path() + "/del/pack/notes.txt", "the user's own file"); // there before unpacking
        // A copy of an entry that the user had there already is used, not written, and stays.
        writeFile(dir.path() + "/del/pack/c.pdf", "%PDF");

        FileList list;
        list.setUnzipParams(defaultParams());
        list.addFileNames({path, pdfsOnly});
        QSignalSpy finished(&list, &FileList::processingFinished);
        list.startProcessFiles(psUnzip);
        QVERIFY(finished.wait(10000));
        QVERIFY(QFile::exists(dir.path() + "/del/pack/sub/b.xml"));
        QVERIFY(QFile::exists(dir.path() + "/del/scans/scan.pdf"));
        list.startProcessFiles(psTransform); // deleting follows only a run that reached transformation
        QVERIFY(finished.wait(10000));
        list.deleteUnzipedFiles();

        QVERIFY(QFile::exists(dir.path() + "/del/pack/notes.txt"));
        QVERIFY(!QFile::exists(dir.path() + "/del/pack/a.xml"));
        QVERIFY(QFile::exists(dir.path() + "/del/pack/c.pdf"));
        QVERIFY(!QDir(dir.path() + "/del/pack/sub").exists());
        QVERIFY(!QDir(dir.path() + "/del/scans").exists()); // unpacked files that are not items go too
        QVERIFY(!list.items().at(0)->hasError());
        QVERIFY(QFile::exists(path) && QFile::exists(pdfsOnly));
    }

    void runStopsAfterUnpackingAndResumes()
    {
        ResourceFolder res;
        res.addQuery("q", "match", queryPrologue() + "exists(doc($inputDocument)/a)");
        TemplateList catalogue;
        QVERIFY(catalogue.load(res.writeCatalogue({"t\tT\t\t_t\tt\tq\t\tmatch\t"})));
        const QString path = dir.path() + "/run/pack.zip";
        QVERIFY(writeZip(path, {{"one.xml", "<a/>"}, {"two.xml", "<a/>"}}));

        FileList list;
        list.setTemplateList(&catalogue);
        list.setUnzipParams(defaultParams());
        list.addFileName(path);
        QSignalSpy finished(&list, &FileList::processingFinished);
        QSignalSpy inserted(&list, &FileList::filesInserted);
        list.startProcessFiles(psUnzip);
        QVERIFY(finished.wait(10000));
        auto* zip = static_cast<ZipFileItem*>(list.items().first());
        QCOMPARE(zip->childCount(), 2);
        QCOMPARE(inserted.count(), 1); // the unpacked rows are announced once
        QCOMPARE(inserted.first().at(1).toInt(), 1);
        for (FileItem* child : zip->childItems())
            QCOMPARE(child->state(), 1);

        list.startProcessFiles(psDetectTemplate);
        QVERIFY(finished.wait(10000));
        for (FileItem* child : zip->childItems())
            QCOMPARE(child->state(), 2);
        QCOMPARE(zip->state(), 1);

        // Deleting what was unpacked happens only after a run that reached transformation.
        list.deleteUnzipedFiles();
        QVERIFY(QFile::exists(dir.path() + "/run/pack/one.xml"));
        list.startProcessFiles(psTransform);
        QVERIFY(finished.wait(10000));
        list.deleteUnzipedFiles();
        QVERIFY(!QDir(dir.path() + "/run/pack").exists());
        for (FileItem* child : zip->childItems())
            QVERIFY(child->isRemoved());
        QVERIFY(QFile::exists(path));
        QCOMPARE(list.itemsForStep(psTransform).size(), 0); // removed files are not processed
    }
};

QTEST_GUILESS_MAIN(TestZipFileItem)
#include "tst_zipfileitem.moc"
