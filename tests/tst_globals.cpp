// Path, text and version helpers, and the resource folder search order.
#include "globals.h"
#include "testsupport.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestGlobals : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initHermeticEnvironment(); }

    void checkExt_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("ext");
        QTest::addColumn<QString>("expected");
        QTest::newRow("other case kept") << "report.DOCX" << "docx" << "report.DOCX";
        QTest::newRow("ends in dot") << "report." << "docx" << "report.docx";
        QTest::newRow("no extension") << "report" << "docx" << "report.docx";
        QTest::newRow("empty extension") << "report" << "" << "report";
        QTest::newRow("empty name") << "" << "xq" << "";
        QTest::newRow("other extension") << "Rows.xml" << "xq" << "Rows.xml.xq";
    }
    void checkExt()
    {
        QFETCH(QString, name);
        QFETCH(QString, ext);
        QFETCH(QString, expected);
        QCOMPARE(::checkExt(name, ext), expected);
    }

    void concatenation_data()
    {
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("part1");
        QTest::addColumn<QString>("part2");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty base") << "" << "a" << "b" << "";
        QTest::newRow("slash kept once") << "/x/" << "a" << "" << "/x/a";
        QTest::newRow("two parts") << "/x" << "a" << "b" << "/x/a/b";
        QTest::newRow("empty first part") << "/x" << "" << "b" << "/x/b";
    }
    void concatenation()
    {
        QFETCH(QString, base);
        QFETCH(QString, part1);
        QFETCH(QString, part2);
        QFETCH(QString, expected);
        QCOMPARE(concatPath(base, part1, part2), expected);
    }

    void concatPathFileKeepsEverySlash()
    {
        QCOMPARE(concatPathFile(QString(), QStringLiteral("f.xml")), QStringLiteral("f.xml"));
        QCOMPARE(concatPathFile(QStringLiteral("/x/"), QStringLiteral("f.xml")), QStringLiteral("/x//f.xml"));
        QCOMPARE(concatPathFile(QStringLiteral("/x"), QString()), QString());
    }

    void isTrueReadsYesNoTexts()
    {
        for (const char* no : {"НЕТ", "нет", "No", "FALSE", "0", ""})
            QVERIFY2(!isTrue(QString::fromUtf8(no)), no);
        for (const char* yes : {"00", "да", "yes", "true", "1", " 0", "<a/>"})
            QVERIFY2(isTrue(QString::fromUtf8(yes)), yes);
    }

    void shownFileNameFollowsFlag()
    {
        setGlobalShowPath(true);
        QCOMPARE(shownFileName(QStringLiteral("/a/b/c.xml")), QStringLiteral("/a/b/c.xml"));
        setGlobalShowPath(false);
        QCOMPARE(shownFileName(QStringLiteral("/a/b/c.xml")), QStringLiteral("c.xml"));
        QCOMPARE(shownFileName(QStringLiteral("c.xml")), QStringLiteral("c.xml"));
    }

    void resourceSearchOrder()
    {
        QTemporaryDir configured;
        QSettings().setValue(QStringLiteral("resourcepath"), configured.path() + QLatin1Char('/'));
        initGlobalResourcePaths();
        const QStringList paths = globalResourcePaths();
        QCOMPARE(paths.value(1), configured.path());
        QCOMPARE(paths.count(configured.path()), 1);
        QCOMPARE(paths.last(), QCoreApplication::applicationDirPath());

        // A file present in two folders is found in the earlier one.
        QTemporaryDir first;
        TestSupport::writeTextFile(first.path() + "/Queries/q.xq", "1");
        TestSupport::writeTextFile(configured.path() + "/Queries/q.xq", "2");
        QCOMPARE(locateInResource("Queries", "q.xq"), configured.path() + "/Queries/q.xq");
        prependGlobalResourcePaths({first.path()});
        QCOMPARE(locateInResource("Queries", "q.xq"), first.path() + "/Queries/q.xq");
        QCOMPARE(locateInResource("Queries", "missing.xq"), QString());

        const QString writable = writableInResource("Settings", "some/dir/Templates.txt");
        QVERIFY(writable.endsWith("/Settings/Templates.txt"));
        QVERIFY(QFileInfo(writable).dir().exists());
        QSettings().remove(QStringLiteral("resourcepath"));
    }

    void softwareVersionTakesOnlyHigherStoredVersion_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        QTest::newRow("none") << "" << "2.0.2";
        QTest::newRow("longer and higher") << "2.0.10" << "2.0.10";
        QTest::newRow("same length, lower") << "1.9.9" << "2.0.2";
        QTest::newRow("major") << "10.0" << "10.0";
        QTest::newRow("longer but lower") << "1.10.0" << "2.0.2";
    }
    void softwareVersionTakesOnlyHigherStoredVersion()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        QSettings settings;
        if (stored.isEmpty())
            settings.remove(QStringLiteral("softwareVersion"));
        else
            settings.setValue(QStringLiteral("softwareVersion"), stored);
        settings.sync();
        QCOMPARE(softwareVersion(false), expected);
        QVERIFY(softwareVersion(true).startsWith(expected + " - "));
        QVERIFY(softwareVersion(true).endsWith(QStringLiteral(" арх. для Linux")));
        settings.remove(QStringLiteral("softwareVersion"));
    }

    void iconsAreRegistered()
    {
        for (const char* name : {"iconadd", "icondelete", "iconstart", "iconstop", "iconsettings", "iconexit",
                                 "iconcopy", "iconsave", "iconlink"}) {
            QVERIFY(QFile::exists(QStringLiteral(":/images/%1.png").arg(name)));
            QVERIFY(QFile::exists(QStringLiteral(":/images/%1@2x.png").arg(name)));
        }
    }
};

QTEST_GUILESS_MAIN(TestGlobals)
#include "tst_globals.moc"
