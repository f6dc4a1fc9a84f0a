// The template catalogue and its tab-separated file.
#include "templatelist.h"
#include "testsupport.h"

#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

class TestTemplateList : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { initHermeticEnvironment(); }

    void loadTrimsCollapsesAndSkipsEmptyLines()
    {
        const QString file = dir.path() + "/Templates.txt";
        writeTextFile(file, "  akt \tАкт  приёмки\t\t_akt\takt.docx\takt\tname\tmatch\tON_;NO_\textra\n"
                            "\n"
                            "short\tКороткий\n");
        TemplateList list;
        QSignalSpy loaded(&list, &TemplateList::listLoaded);
        QSignalSpy modified(&list, &TemplateList::modifiedStatusChanged);
        QVERIFY(list.load(file));
        QCOMPARE(loaded.count(), 1);
        QCOMPARE(list.count(), 2);
        QCOMPARE(list.columnCount(), 10);
        const TemplateItem* akt = list.getItem(0);
        QCOMPARE(akt->name, QStringLiteral("akt"));
        QCOMPARE(akt->title, QStringLiteral("Акт приёмки"));
        QCOMPARE(akt->description, QString());
        QCOMPARE(akt->suffix, QStringLiteral("_akt"));
        QCOMPARE(akt->templateFile, QStringLiteral("akt.docx"));
        QCOMPARE(akt->queryPath, QStringLiteral("akt"));
        QCOMPARE(akt->nameQuery, QStringLiteral("name"));
        QCOMPARE(akt->matchQuery, QStringLiteral("match"));
        QCOMPARE(akt->matchPrefix, QStringLiteral("ON_;NO_"));
        QCOMPARE(akt->errorText, QString()); // a tenth field cannot set the error text
        QCOMPARE(list.getItem(1)->suffix, QString());
        QVERIFY(!list.isModified());
        QCOMPARE(modified.count(), 2); // true while loading, false at its end
        QCOMPARE(modified.last().first().toBool(), false);
        QCOMPARE(list.itemByName("AKT"), static_cast<SimpleItem*>(list.getItem(0)));
        QVERIFY(!list.getItem(2));
        QCOMPARE(list.data(0, 3), QStringLiteral("_akt"));
        QCOMPARE(list.data(0, 10), QString());
    }

    void saveAndReloadKeepsNineColumns()
    {
        const QString file = dir.path() + "/round.txt";
        writeTextFile(file, "a\tA\tdesc\t_s\ttpl\tq\tn\tm\tP_\n");
        TemplateList list;
        QVERIFY(list.load(file));
        list.setData(0, 2, "new description");
        QVERIFY(list.isModified());
        const QString copy = dir.path() + "/copy.txt";
        QVERIFY(list.save(copy));
        QVERIFY(!list.isModified());
        QCOMPARE(list.fileName, copy);
        QCOMPARE(QString::fromUtf8(readFile(copy)), QStringLiteral("a\tA\tnew description\t_s\ttpl\tq\tn\tm\tP_\n"));
        TemplateList again;
        QVERIFY(again.load(copy));
        for (int column = 0; column < 10; ++column)
            QCOMPARE(again.data(0, column), list.data(0, column));
        QVERIFY(!list.save(dir.path() + "/no/such/folder/x.txt"));
    }

    void editsMarkModifiedOnlyOnChange()
    {
        const QString file = dir.path() + "/edit.txt";
        writeTextFile(file, "a\tA\n");
        TemplateList list;
        QVERIFY(list.load(file));
        QSignalSpy modified(&list, &TemplateList::modifiedStatusChanged);
        list.setData(0, 1, "A");
        QCOMPARE(modified.count(), 0);
        list.setData(0, 9, "error text"); // differs, so modified, though column 9 keeps nothing
        QCOMPARE(modified.count(), 1);
        QCOMPARE(list.data(0, 9), QString());
        list.setData(0, 1, "B");
        QCOMPARE(modified.count(), 1); // already modified: signalled once
    }

    void emptyOrMissingFile()
    {
        const QString file = dir.path() + "/empty.txt";
        writeTextFile(file, "\n\n");
        TemplateList list;
        QSignalSpy loaded(&list, &TemplateList::listLoaded);
        QVERIFY(!list.load(file));
        QCOMPARE(loaded.count(), 1);
        QVERIFY(!list.load(dir.path() + "/absent.txt"));
        QCOMPARE(loaded.count(), 1);
    }

    void plainItemColumns()
    {
        SimpleItem plain;
        plain.errorText = "e";
        TemplateItem entry;
        entry.suffix = "_s";
        QCOMPARE(plain.data(3), QStringLiteral("e"));
        QCOMPARE(entry.data(3), QStringLiteral("_s"));
        entry.queryPath = "inv";
        QCOMPARE(entry.queryFolder(), QStringLiteral("Queries/inv"));
        entry.queryPath.clear();
        QCOMPARE(entry.queryFolder(), QStringLiteral("Queries"));
    }
};

QTEST_GUILESS_MAIN(TestTemplateList)
#include "tst_templatelist.moc"
