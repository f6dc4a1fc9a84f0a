// The batch command's command line.
#include "batchoptions.h"

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
    }
    void badUsage()
    {
        QFETCH(QStringList, args);
        BatchOptions o;
        QString error;
        QVERIFY(!o.parse(args, &error));
        QVERIFY(!error.isEmpty());
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
