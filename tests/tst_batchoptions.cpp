// The batch command's command line.
#include "batchoptions.h"
#include "pathlist.h"
#include "shard.h"

#include <QBuffer>
#include <QtTest>

class TestBatchOptions : public QObject
{
    Q_OBJECT
private slots:
    void parses()
    {
        BatchOptions o;
        QString error;
        QVERIFY(o.parse({"b", "--resources", "/r1", "--resources=/r2", "--format", "RTF", "--template", "Akt",
                         "--rename", "--overwrite", "--sequential", "--report", "-", "--include-mask", "",
                         "--unzip-recursive", "--time-limit", "0", "--max-repeat=50", "a.xml", "--", "--odd.xml"},
                        &error));
        QCOMPARE(o.timeLimit, 0);
        QCOMPARE(o.maxRepeat, 50);
        QCOMPARE(o.resourceFolders, QStringList({"/r1", "/r2"}));
        QCOMPARE(o.format, QStringLiteral("rtf"));
        QCOMPARE(o.templateName, QStringLiteral("Akt"));
        QVERIFY(o.rename && o.overwrite && o.sequential && o.unzipRecursive);
        QCOMPARE(o.reportFile, QStringLiteral("-"));
        QCOMPARE(o.includeMask, QString());
        QCOMPARE(o.excludeMask, QStringLiteral("(proto.*|req.*)"));
        QCOMPARE(o.files, QStringList({"a.xml", "--odd.xml"}));
    }

    void largeBatches()
    {
        BatchOptions o;
        QString error;
        QVERIFY(o.parse({"b", "--files-from", "-", "--null", "--skip-existing", "--shard", "2/8", "--report", "r",
                         "--report-format", "jsonl"},
                        &error));
        QCOMPARE(o.filesFrom, QStringLiteral("-"));
        QVERIFY(o.nulSeparated && o.skipExisting && o.files.isEmpty());
        QCOMPARE(o.shard.index(), 2);
        QCOMPARE(o.shard.count(), 8);
        QVERIFY(o.reportFormat == RunReport::Format::Jsonl);
        QVERIFY(o.workerOptions().arguments().contains("--skip-existing"));
    }

    void check()
    {
        BatchOptions o;
        QString error;
        QVERIFY(o.parse({"b", "--check", "--template", "act", "--template", "invoice", "--sample", "s.xml"}, &error));
        QVERIFY(o.check && !o.formatGiven);
        QCOMPARE(o.checkTemplates, QStringList({"act", "invoice"}));
        QCOMPARE(o.sampleFile, QStringLiteral("s.xml"));
        QVERIFY(o.parse({"b", "--check", "--format", "odt"}, &error));
        QVERIFY(o.formatGiven);
    }

    void defaults()
    {
        BatchOptions o;
        QString error;
        QVERIFY(o.parse({"b", "x.zip"}, &error));
        QCOMPARE(o.format, QStringLiteral("docx"));
        QVERIFY(!o.rename && !o.overwrite && !o.sequential && !o.unzipRecursive);
        QCOMPARE(o.includeMask, QStringLiteral("(.+\\.xml|.+\\.zip|.+\\.pdf|.+\\.sig|.+\\.jpg)"));
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no files") << QStringList{"b", "--rename"};
        QTest::newRow("unknown option") << QStringList{"b", "--fast", "a.xml"};
        QTest::newRow("missing value") << QStringList{"b", "a.xml", "--format"};
        QTest::newRow("bad format") << QStringList{"b", "--format", "pdf", "a.xml"};
        QTest::newRow("bad mask") << QStringList{"b", "--include-mask", "(", "a.xml"};
        QTest::newRow("value on a flag") << QStringList{"b", "--rename=yes", "a.xml"};
        QTest::newRow("time limit not a number") << QStringList{"b", "--time-limit", "soon", "a.xml"};
        QTest::newRow("negative repeat limit") << QStringList{"b", "--max-repeat=-1", "a.xml"};
        QTest::newRow("repeated template without check")
            << QStringList{"b", "--template", "a", "--template", "b", "a.xml"};
        QTest::newRow("sample without check") << QStringList{"b", "--sample", "s.xml", "a.xml"};
        QTest::newRow("check with files") << QStringList{"b", "--check", "a.xml"};
        QTest::newRow("check with an option that makes documents") << QStringList{"b", "--check", "--overwrite"};
        QTest::newRow("check with a list of files") << QStringList{"b", "--check", "--files-from", "l.txt"};
        QTest::newRow("share index equal to the count") << QStringList{"b", "--shard", "4/4", "a.xml"};
        QTest::newRow("no shares") << QStringList{"b", "--shard", "0/0", "a.xml"};
        QTest::newRow("negative share") << QStringList{"b", "--shard", "-1/4", "a.xml"};
        QTest::newRow("share not K/N") << QStringList{"b", "--shard", "1of4", "a.xml"};
        QTest::newRow("share without a count") << QStringList{"b", "--shard", "1/", "a.xml"};
        QTest::newRow("skip existing and overwrite") << QStringList{"b", "--skip-existing", "--overwrite", "a.xml"};
        QTest::newRow("NUL without a list") << QStringList{"b", "--null", "a.xml"};
        QTest::newRow("unknown report format") << QStringList{"b", "--report", "r", "--report-format", "csv", "a.xml"};
        QTest::newRow("report format without a report") << QStringList{"b", "--report-format", "jsonl", "a.xml"};
    }
    void badUsage()
    {
        QFETCH(QStringList, args);
        BatchOptions o;
        QString error;
        QVERIFY(!o.parse(args, &error));
        QVERIFY(!error.isEmpty());
    }

    // The share of a path must never change between versions or machines:
    // commands of a Slurm array may run different builds.
    void sharesAreStable()
    {
        QCOMPARE(Shard::shareOf("acts/act_0001.xml", 8), 4);
        QCOMPARE(Shard::shareOf(QStringLiteral("/data/счета/счёт 5.xml"), 3), 0);
        QCOMPARE(Shard::shareOf("-odd.xml", 3), 2);
        // Archives that unpack into one folder go to one command.
        QCOMPARE(Shard::shareOf("inv.2024-03.zip", 3), Shard::shareOf("inv.2024-04.zip", 3));
        QCOMPARE(Shard::shareOf("inv.2024-03.zip", 3), 2);

        QVector<int> sizes(4);
        for (int i = 0; i < 2000; ++i)
            ++sizes[Shard::shareOf(QStringLiteral("/w/inv_%1.xml").arg(i, 4, 10, QLatin1Char('0')), 4)];
        for (int size : sizes)
            QVERIFY2(size > 400 && size < 600, qPrintable(QString::number(size)));
    }

    void listsOfPaths_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<bool>("nul");
        QTest::addColumn<QStringList>("paths");
        QTest::newRow("lines") << QByteArray("a b.xml\n\n-x.xml\r\n\tt.xml \n/c/счёт.xml") << false
                               << QStringList{"a b.xml", "-x.xml", "\tt.xml ", QStringLiteral("/c/счёт.xml")};
        QTest::newRow("NUL") << QByteArray("a\nb.xml\0\0 c.xml\0", 16) << true << QStringList{"a\nb.xml", " c.xml"};
        QTest::newRow("empty") << QByteArray() << false << QStringList();
    }
    void listsOfPaths()
    {
        QFETCH(QByteArray, input);
        QFETCH(bool, nul);
        QFETCH(QStringList, paths);
        QBuffer buffer(&input);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        PathList list;
        QVERIFY(list.read(buffer, nul ? '\0' : '\n'));
        QStringList read;
        for (int i = 0; i < list.size(); ++i)
            read << list.at(i);
        QCOMPARE(read, paths);
    }

    void duplicatesCountOnce()
    {
        QTemporaryDir dir;
        PathList list;
        for (const char* name : {"a.xml", "b.xml", "./a.xml", "b.xml", "sub/../a.xml", "c.xml"})
            list.append(dir.path() + "/" + QLatin1String(name));
        list.removeDuplicates();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0), dir.path() + "/a.xml");
        QCOMPARE(list.at(2), dir.path() + "/c.xml");
    }

    void help()
    {
        BatchOptions o;
        QString error;
        QVERIFY(o.parse({"b", "--help"}, &error));
        QVERIFY(o.help);
        QVERIFY(BatchOptions::usage().contains("Usage"));
        QVERIFY(BatchOptions::usage().contains(QStringLiteral("Использование")));
    }
};

QTEST_GUILESS_MAIN(TestBatchOptions)
#include "tst_batchoptions.moc"
