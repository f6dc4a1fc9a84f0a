// The tree of file items: names, links, display columns, errors, removal.
#include "globals.h"
#include "templateitem.h"
#include "testsupport.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"

#include <QtTest>

using namespace TestSupport;

class TestFileItem : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

    QString file(const QString& name, const QByteArray& bytes = "<doc/>")
    {
        const QString path = dir.path() + QLatin1Char('/') + name;
        writeFile(path, bytes);
        return path;
    }

private slots:
    void initTestCase() { initHermeticEnvironment(); }
    void init() { setGlobalShowPath(false); setGlobalShowNames(false); }

    void missingFileIsAnErrorItem()
    {
        XmlFileItem item(dir.path() + "/absent.xml", nullptr, false);
        QCOMPARE(item.fileName(), QString());
        QCOMPARE(item.fileSize(), 0);
        QVERIFY(item.hasError());
        QCOMPARE(item.errorText(), QStringLiteral("Ошибка! Файл не существует: absent.xml"));
        QCOMPARE(item.state(), 0);
    }

    void namesAndFormats()
    {
        XmlFileItem xml(file("data.report.xml", QByteArray(1234, 'x')), nullptr, false);
        QCOMPARE(xml.fileName(), QStringLiteral("data.report.xml"));
        QCOMPARE(xml.baseName(), QStringLiteral("data"));
        QCOMPARE(xml.suffix(), QStringLiteral("xml"));
        QCOMPARE(xml.completeSuffix(), QStringLiteral("report.xml"));
        QCOMPARE(xml.formatTitle(), QStringLiteral("Файл XML"));
        QCOMPARE(xml.formatName(), QStringLiteral("XML"));
        QCOMPARE(xml.data(1), QLocale().toString(1234) + " ");
        QCOMPARE(xml.data(0), QStringLiteral("data.report.xml"));
        setGlobalShowPath(true);
        QCOMPARE(xml.data(0), QDir::toNativeSeparators(dir.path() + "/data.report.xml"));

        ZipFileItem zip(file("pack.Zip"));
        QCOMPARE(zip.formatTitle(), QStringLiteral("Архив ZIP"));
        QCOMPARE(zip.unzipFolder(), dir.path() + "/pack");
        FileItem sig(file("a.SIG"), nullptr, false);
        QCOMPARE(sig.formatTitle(), QStringLiteral("Подпись SIG"));
        FileItem pdf(file("a.pdf"), nullptr, false);
        QCOMPARE(pdf.formatTitle(), QStringLiteral("Документ PDF"));
        FileItem bare(file("noext"), nullptr, false);
        QCOMPARE(bare.formatTitle(), QStringLiteral("Файл "));
        setGlobalShowNames(true);
        QCOMPARE(zip.data(2), QStringLiteral("ZIP"));
    }

    void linksReadTheirRealItem()
    {
        // An archive, a file unpacked from it into a sub-folder, and a link.
        ZipFileItem zip(file("arc.zip"));
        zip.setState(stateUnpacked);
        auto* inner = new XmlFileItem(file("arc/docs/a.xml", "<a/>"), &zip, false);
        auto* link = new XmlFileItem(QString(), inner, true);
        QCOMPARE(inner->state(), 1);
        QVERIFY(link->isLink());
        QCOMPARE(link->formatTitle(), QStringLiteral("Ссылка"));
        QCOMPARE(link->formatName(), QStringLiteral("link"));
        QCOMPARE(link->realItem(), inner);
        QCOMPARE(link->sourceFileName(true), dir.path() + "/arc/docs/a.xml");
        QCOMPARE(link->path(true), dir.path());
        QCOMPARE(link->path(false), dir.path() + "/arc/docs");
        QCOMPARE(inner->path(true), dir.path());
        QCOMPARE(link->level(), 2);
        QCOMPARE(link->data(1), inner->data(1));
        QVERIFY(!link->hasError());

        // Destination column: path(true) joined with the destination name.
        TemplateItem t;
        t.title = "Акт";
        t.name = "akt";
        link->setTemplateItem(&t);
        link->setDestFileName("a_akt.docx");
        QCOMPARE(link->data(3), QStringLiteral("Акт"));
        QCOMPARE(link->data(4), QStringLiteral("a_akt.docx"));
        setGlobalShowNames(true);
        QCOMPARE(link->data(3), QStringLiteral("akt"));
    }

    void errorsAndRemoval()
    {
        XmlFileItem item(file("r.xml"), nullptr, false);
        auto* link = new XmlFileItem(QString(), &item, true);
        item.appendErrorText("first");
        item.appendErrorText(QString());
        item.appendErrorText("second");
        QCOMPARE(item.data(5), QStringLiteral("first\nsecond"));
        link->appendErrorText("child");
        item.clearErrors();
        QVERIFY(!item.hasError() && !link->hasError());
        QCOMPARE(link->errorText(), QString());
        item.appendErrorText("kept flag", true);
        QVERIFY(!item.hasError());
        item.clearErrors();

        QVERIFY(!link->remove());
        QVERIFY(item.remove());
        QVERIFY(item.isRemoved());
        QVERIFY(!QFile::exists(dir.path() + "/r.xml"));
        QVERIFY(!item.remove());
        QCOMPARE(item.errorText(), QString());

        // A child created under a removed item starts removed.
        auto* late = new XmlFileItem(QString(), &item, true);
        QVERIFY(late->isRemoved());
    }

    void failedRemovalIsRecorded()
    {
        XmlFileItem item(file("gone.xml"), nullptr, false);
        QVERIFY(QFile::remove(dir.path() + "/gone.xml")); // deleted behind the item's back
        QVERIFY(!item.remove());
        QVERIFY(!item.isRemoved());
        QVERIFY(item.hasError());
        QCOMPARE(item.errorText(), QStringLiteral("Ошибка удаления файла: gone.xml "));
    }
};

QTEST_GUILESS_MAIN(TestFileItem)
#include "tst_fileitem.moc"
