// The processing list: adding files, the step driver and its signals,
// interruption, queued starts, teardown during a run, the text report.
#include "filelist.h"
#include "globals.h"
#include "templatelist.h"
#include "testsupport.h"
#include "threadcontroller.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"

#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

namespace {
// Every signal of a run as one line, in order.
class RunRecorder : public QObject
{
public:
    QStringList events;
    explicit RunRecorder(FileList* list)
    {
        connect(list, &FileList::processingStarted, this, [this] { events << "started"; });
        connect(list, &FileList::processingFinished, this, [this] { events << "finished"; });
        connect(list, &FileList::procStepFinished, this,
                [this](ProcessingStepType step) { events << QStringLiteral("step %1").arg(int(step)); });
    }
};
} // namespace

class TestFileList : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ResourceFolder* res = nullptr;
    TemplateList catalogue;

    QStringList makeXmlFiles(const QString& folder, int n)
    {
        QStringList names;
        for (int i = 0; i < n; ++i) {
            const QString path = dir.path() + QStringLiteral("/%1/f%2.xml").arg(folder).arg(i);
            writeTextFile(path, QStringLiteral("<doc><no>%1</no></doc>").arg(i));
            names << path;
        }
        return names;
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        initGlobalResourcePaths();
        res = new ResourceFolder;
        // A match query that takes a moment, so that runs can be interrupted.
        res->addQuery("t", "match", queryPrologue()
                                        + "count(for $i in 1 to 200000 return $i) > 0 and "
                                          "exists(doc($inputDocument)/doc)");
        res->addQuery("t", "name", queryPrologue() + "concat('doc-', doc($inputDocument)/doc/no)");
        QVERIFY(catalogue.load(res->writeCatalogue({"t\tT\t\t_t\tt\tt\tname\tmatch\t"})));
    }
    void cleanupTestCase() { delete res; }

    void addingFiles()
    {
        FileList list;
        QSignalSpy inserted(&list, &FileList::filesInserted);
        const QString xml = dir.path() + "/add/report.XmL";
        writeTextFile(xml, "<a/>");
        list.addFileNames({xml, xml.toUpper().replace(dir.path().toUpper(), dir.path()), dir.path() + "/add/a.zip.txt"});
        QCOMPARE(list.items().size(), 2);
        QVERIFY(dynamic_cast<XmlFileItem*>(list.items().at(0)));
        QVERIFY(!dynamic_cast<XmlFileItem*>(list.items().at(1)) && !dynamic_cast<ZipFileItem*>(list.items().at(1)));
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(0).toInt(), 0);
        QCOMPARE(inserted.first().at(1).toInt(), 1);
        list.addFileName(xml);
        QCOMPARE(inserted.count(), 1);
        QSignalSpy removing(&list, &FileList::filesRemoveStart);
        list.removeRows(0, 5);
        QCOMPARE(list.items().size(), 0);
        QCOMPARE(removing.count(), 1);
    }

    // Names that differ only in case are two files on Linux: each is processed.
    void filesDifferingInCaseAreBothAdded()
    {
        FileList list;
        const QString lower = dir.path() + "/case/inv.xml";
        const QString upper = dir.path() + "/case/INV.xml";
        QVERIFY(writeTextFile(lower, "<a/>") && writeTextFile(upper, "<b/>"));
        list.addFileNames({lower, upper, lower});
        QCOMPARE(list.items().size(), 2);
        QCOMPARE(list.items().at(0)->sourceFileName(true), lower);
        QCOMPARE(list.items().at(1)->sourceFileName(true), upper);
    }

    void runWithNothingToDo()
    {
        FileList list;
        RunRecorder recorder(&list);
        QSignalSpy finished(&list, &FileList::processingFinished);
        list.startProcessFiles(psTransform);
        QVERIFY(list.isProcessing());
        QVERIFY(finished.wait(5000));
        QCOMPARE(recorder.events, QStringList({"started", "step 0", "step 1", "step 2", "step 3", "step 4", "finished"}));
        QVERIFY(!list.isProcessing());
        QCOMPARE(list.lastStep(), psTransform);
    }

    void detectionRunsOverAllFilesAndResumes()
    {
        FileList list;
        list.setTemplateList(&catalogue);
        list.setParallel(true);
        TransformParams transform = list.transformParams();
        transform.useDestBase = true;
        list.setTransformParams(transform);
        list.addFileNames(makeXmlFiles("detect", 6));
        QSignalSpy finished(&list, &FileList::processingFinished);
        QSignalSpy changed(&list, &FileList::itemChanged);
        list.startProcessFiles(psDetectTemplate);
        QVERIFY(finished.wait(20000));
        QCOMPARE(changed.count(), 6);
        for (FileItem* item : list.items()) {
            auto* xml = static_cast<XmlFileItem*>(item);
            QCOMPARE(xml->state(), 2);
            QCOMPARE(xml->templateItem(), catalogue.getItem(0));
            QVERIFY(xml->destBaseName().startsWith("doc-"));
        }
        // A second run finds nothing left to detect or name.
        QCOMPARE(list.itemsForStep(psDetectTemplate).size(), 0);
        QCOMPARE(list.itemsForStep(psDetectDestBase).size(), 0);
        QCOMPARE(list.itemsForStep(psTransform).size(), 6);
    }

    void interruptionDuringDetection()
    {
        FileList list;
        list.setTemplateList(&catalogue);
        list.setParallel(false);
        list.addFileNames(makeXmlFiles("interrupt", 30));
        RunRecorder recorder(&list);
        QSignalSpy finished(&list, &FileList::processingFinished);
        connect(&list, &FileList::itemChanged, &list, [&list] { list.interruptProcessing(); });
        list.startProcessFiles(psTransform);
        QVERIFY(finished.wait(20000));
        int detected = 0;
        for (FileItem* item : list.items())
            detected += item->state() == 2 ? 1 : 0;
        QCOMPARE(detected, 1);
        QCOMPARE(recorder.events, QStringList({"started", "step 0", "step 1", "step 2", "finished"}));
        QCOMPARE(list.lastStep(), psDetectTemplate);
    }

    void startRequestDuringRunIsQueued()
    {
        FileList list;
        list.setTemplateList(&catalogue);
        list.setParallel(true);
        TransformParams transform = list.transformParams();
        transform.useDestBase = true;
        list.setTransformParams(transform);
        list.addFileNames(makeXmlFiles("queued", 4));
        RunRecorder recorder(&list);
        list.startProcessFiles(psUnzip);
        list.startProcessFiles(psDetectTemplate);
        list.startProcessFiles(psDetectDestBase);
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events.count("finished"), 2, 20000);
        QTest::qWait(50);
        QCOMPARE(recorder.events.count("started"), 2);
        QCOMPARE(recorder.events.indexOf("finished"), recorder.events.indexOf("started", 1) - 1);
        for (FileItem* item : list.items())
            QCOMPARE(item->state(), 2);
        QVERIFY(!list.isProcessing());
    }

    void destroyingTheListDuringARunWaitsForWorkers()
    {
        auto* list = new FileList;
        list->setTemplateList(&catalogue);
        list->setParallel(true);
        list->addFileNames(makeXmlFiles("teardown", 12));
        list->startProcessFiles(psDetectTemplate);
        QTRY_VERIFY(list->runningWorkerCount() > 0);
        delete list; // must not destroy an item a worker still uses
        QTest::qWait(50);
    }

    void itemsReadWhileWorkersWriteThem()
    {
        // The view reads rows while workers change them; every read must
        // see whole values.
        FileList list;
        list.setTemplateList(&catalogue);
        list.setParallel(true);
        TransformParams transform = list.transformParams();
        transform.useDestBase = true;
        list.setTransformParams(transform);
        list.addFileNames(makeXmlFiles("load", 150));
        QSignalSpy finished(&list, &FileList::processingFinished);
        list.startProcessFiles(psDetectDestBase);
        int reads = 0;
        while (finished.isEmpty()) {
            for (FileItem* item : list.items()) {
                for (int column = 0; column < 6; ++column) {
                    const QString text = item->data(column);
                    if (column == 3)
                        QVERIFY(text.isEmpty() || text == QStringLiteral("T"));
                }
                const QString base = static_cast<XmlFileItem*>(item)->destBaseName();
                QVERIFY(base.isEmpty() || base.startsWith("doc-"));
                ++reads;
            }
            QCoreApplication::processEvents();
        }
        QVERIFY(reads > 150);
        for (FileItem* item : list.items())
            QCOMPARE(item->state(), 2);
    }

    void reportOfAnArchiveWithLinks()
    {
        FileList list;
        const QString zipPath = dir.path() + "/rep/pack.zip";
        writeFile(zipPath, "PK");
        list.addFileName(zipPath);
        auto* zip = static_cast<ZipFileItem*>(list.items().first());
        zip->setState(stateUnpacked);
        const QStringList xmls = makeXmlFiles("rep/pack", 2);
        auto* a = new XmlFileItem(xmls.at(0), zip, false);
        new XmlFileItem(xmls.at(1), zip, false);
        TemplateItem one, two;
        one.title = "Один";
        two.title = "Два";
        a->addTemplate(&one);
        a->addTemplate(&two);
        QVERIFY(!list.save(dir.path() + "/no/such/folder/report.txt"));
        const QString report = dir.path() + "/rep/report.txt";
        QVERIFY(list.save(report, true));
        const QStringList lines = QString::fromUtf8(readFile(report)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines.at(0), list.columnNames().join('\t'));
        QVERIFY(lines.at(1).startsWith("pack.zip\t"));
        QVERIFY(lines.at(2).startsWith("-f0.xml\t"));
        QVERIFY(lines.at(3).startsWith("--f0.xml\t"));
        QVERIFY(lines.at(3).contains(QStringLiteral("\tСсылка\tОдин\t")));
        QVERIFY(lines.at(4).startsWith("--f0.xml\t"));
        QVERIFY(lines.at(4).contains(QStringLiteral("\tДва\t")));
        QVERIFY(lines.at(5).startsWith("-f1.xml\t"));
        QCOMPARE(lines.at(5).count('\t'), 5);
    }

    // A report that could not be written completely (a full disk) is a
    // failure, not a saved report.
    void reportOnAFullDiskFails()
    {
        if (!QFileInfo("/dev/full").exists())
            QSKIP("no /dev/full here");
        FileList list;
        for (const QString& name : makeXmlFiles("full", 3))
            list.addFileName(name);
        QVERIFY(!list.save("/dev/full", true));
    }
};

QTEST_GUILESS_MAIN(TestFileList)
#include "tst_filelist.moc"
