// Template detection by match queries, destination naming, transformation
// preconditions and additional templates, with real query files.
#include "docxbuilder.h"
#include "globals.h"
#include "messagesenderobject.h"
#include "status.h"
#include "templatelist.h"
#include "testsupport.h"
#include "xmlfileitem.h"
#include "ziputil.h"

#include <QTextCodec>
#include <QThread>
#include <QtTest>

#include <atomic>

using namespace TestSupport;

class TestDetection : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ResourceFolder* res = nullptr;

    QString xml(const QString& name, const QString& content = "<doc><kind>act</kind><no>42</no></doc>")
    {
        const QString path = dir.path() + QLatin1Char('/') + name;
        writeTextFile(path, content);
        return path;
    }
    // A catalogue line: name, title, description, suffix, template, query path, name query, match query, prefix.
    static QString entry(const QString& name, const QString& suffix, const QString& queryPath,
                         const QString& nameQuery, const QString& matchQuery, const QString& prefix)
    {
        return QStringList{name, name.toUpper(), QString(), suffix, name, queryPath, nameQuery, matchQuery, prefix}
            .join('\t');
    }
    void loadCatalogue(TemplateList& list, const QStringList& lines) { QVERIFY(list.load(res->writeCatalogue(lines))); }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        initGlobalResourcePaths();
        res = new ResourceFolder;
        const QString p = queryPrologue();
        res->addQuery("a", "yes", p + "exists(doc($inputDocument)/doc/kind)");
        res->addQuery("b", "yes", p + "true()");
        res->addQuery("b", "name", p + "concat('Акт №', doc($inputDocument)/doc/no)");
        for (const char* no : {"false", "0", "нет", "No", ""})
            res->addLiteralQuery("neg", QStringLiteral("no_%1").arg(QString::fromUtf8(no).isEmpty() ? "empty" : no), no);
        res->addQuery("neg", "no_seq", p + "()");
        res->addQuery("odd", "name", p + "' ../../etc/passwd\n'");
        res->addQuery("odd", "blank", p + "'  \n '");
        res->addQuery("odd", "ctl", p + "concat('a', codepoints-to-string(9), 'b\\c')");
    }
    void cleanupTestCase() { delete res; }

    void prefixMatchesAreTriedFirst()
    {
        TemplateList list;
        loadCatalogue(list, {entry("A", "_a", "a", "", "yes", ""), entry("B", "_b", "b", "name", "yes", "ON_")});
        XmlFileItem prefixed(xml("ON_1.xml"), nullptr, false);
        QVERIFY(prefixed.detectTemplate(&list, true));
        QCOMPARE(prefixed.templateItem(), list.getItem(1));
        QCOMPARE(prefixed.state(), 2);
        QCOMPARE(prefixed.destBaseName(), QStringLiteral("Акт №42"));

        XmlFileItem plain(xml("X.xml"), nullptr, false);
        QVERIFY(plain.detectTemplate(&list, true));
        QCOMPARE(plain.templateItem(), list.getItem(0));
        QCOMPARE(plain.destBaseName(), QString()); // A has no name query

        // Detection refuses items already recognised or in error.
        QVERIFY(!plain.detectTemplate(&list, false));
        XmlFileItem broken(dir.path() + "/absent.xml", nullptr, false);
        QVERIFY(!broken.detectTemplate(&list, false));
        QVERIFY(!plain.detectTemplate(nullptr, false));
    }

    void negativeResultsAndMissingQueries()
    {
        QStringList lines{entry("missing", "", "a", "", "nothere", ""), entry("noquery", "", "a", "", "", "")};
        for (const char* no : {"no_false", "no_0", "no_нет", "no_No", "no_empty", "no_seq"})
            lines << entry(QString::fromUtf8(no), "", "neg", "", QString::fromUtf8(no), "");
        TemplateList list;
        loadCatalogue(list, lines);
        XmlFileItem item(xml("n.xml"), nullptr, false);
        QVERIFY(!item.detectTemplate(&list, true));
        QVERIFY(!item.templateItem());
        QCOMPARE(item.state(), 0);
        QVERIFY(!item.hasError());

        lines << entry("last", "", "b", "", "yes", "");
        TemplateList withMatch;
        loadCatalogue(withMatch, lines);
        QVERIFY(item.detectTemplate(&withMatch, false));
        QCOMPARE(item.templateName(), QStringLiteral("last"));
    }

    // --skip-existing leaves a file only when every file it would make stands
    // under its first name, as a file or a link; "_1" names and folders do
    // not count.
    void keepsExistingOutputs_data()
    {
        QTest::addColumn<int>("pdf");
        QTest::addColumn<QStringList>("present");
        QTest::addColumn<QString>("kept");
        QTest::newRow("document") << int(PdfOutput::None) << QStringList{"123_akt.docx"} << "123_akt.docx";
        QTest::newRow("only a numbered one") << int(PdfOutput::None) << QStringList{"123_akt_1.docx"} << "";
        QTest::newRow("a folder of that name") << int(PdfOutput::None) << QStringList{"123_akt.docx/"} << "";
        QTest::newRow("a link that points nowhere") << int(PdfOutput::None) << QStringList{"123_akt.docx@"}
                                                    << "123_akt.docx";
        QTest::newRow("document without its PDF") << int(PdfOutput::Beside) << QStringList{"123_akt.docx"} << "";
        QTest::newRow("document and PDF") << int(PdfOutput::Beside) << QStringList{"123_akt.docx", "123_akt.pdf"}
                                          << "123_akt.docx";
        QTest::newRow("PDF alone") << int(PdfOutput::Only) << QStringList{"123_akt.pdf"} << "123_akt.pdf";
    }
    void keepsExistingOutputs()
    {
        QFETCH(int, pdf);
        QFETCH(QStringList, present);
        QFETCH(QString, kept);
        TemplateList list;
        loadCatalogue(list, {entry("akt", "_akt", "b", "", "yes", "ON_;NO_")});
        const QString folder = dir.path() + "/kept/" + QTest::currentDataTag();
        QVERIFY(QDir().mkpath(folder));
        for (const QString& name : present) {
            if (name.endsWith('/'))
                QVERIFY(QDir().mkpath(folder + "/" + name));
            else if (name.endsWith('@'))
                QVERIFY(QFile::link(folder + "/nowhere", folder + "/" + name.chopped(1)));
            else
                QVERIFY(writeTextFile(folder + "/" + name, "x"));
        }
        QVERIFY(writeTextFile(folder + "/NO_123.xml", "<doc/>"));
        XmlFileItem item(folder + "/NO_123.xml", nullptr, false);
        item.setTemplateItem(list.getItem(0));
        item.setState(stateRecognized);
        QCOMPARE(item.keepExistingDocument("docx", false, PdfOutput(pdf)), !kept.isEmpty());
        QCOMPARE(item.destFileName(), kept);
        QCOMPARE(item.pdfFileName(), kept.isEmpty() || pdf == int(PdfOutput::None) ? QString() : "123_akt.pdf");
    }

    void destinationNames()
    {
        TemplateList list;
        loadCatalogue(list, {entry("akt", "_akt", "b", "", "yes", "ON_;NO_"),
                             entry("named", "_n", "b", "name", "yes", ""),
                             entry("odd", "", "odd", "name", "yes", ""), entry("blank", "", "odd", "blank", "yes", ""),
                             entry("ctl", "", "odd", "ctl", "yes", "")});
        XmlFileItem item(xml("NO_123.xml"), nullptr, false);
        item.setTemplateItem(list.getItem(0));
        QVERIFY(item.composeDestFileName("docx", true, false));
        QCOMPARE(item.destFileName(), QStringLiteral("123_akt.docx"));
        writeTextFile(dir.path() + "/123_akt.docx", "x");
        QVERIFY(item.composeDestFileName("docx", true, false));
        QCOMPARE(item.destFileName(), QStringLiteral("123_akt_1.docx"));
        writeTextFile(dir.path() + "/123_akt_1.docx", "x");
        QVERIFY(item.composeDestFileName("docx", true, false));
        QCOMPARE(item.destFileName(), QStringLiteral("123_akt_2.docx"));
        QVERIFY(item.composeDestFileName("docx", true, true));
        QCOMPARE(item.destFileName(), QStringLiteral("123_akt.docx"));

        // The name query's result is the base when renaming is on.
        XmlFileItem named(xml("n2.xml"), nullptr, false);
        named.setTemplateItem(list.getItem(1));
        QVERIFY(named.detectDestBase());
        QVERIFY(named.composeDestFileName("rtf", true, false));
        QCOMPARE(named.destFileName(), QStringLiteral("Акт №42_n.rtf"));
        QVERIFY(named.composeDestFileName("rtf", false, false));
        QCOMPARE(named.destFileName(), QStringLiteral("n2_n.rtf"));

        // A result with white space, separators or ".." stays inside the folder.
        XmlFileItem odd(xml("o.xml"), nullptr, false);
        odd.setTemplateItem(list.getItem(2));
        QVERIFY(odd.detectDestBase());
        QVERIFY(odd.composeDestFileName("odt", true, false));
        QCOMPARE(odd.destFileName(), QStringLiteral(".._.._etc_passwd.odt"));
        QCOMPARE(QFileInfo(odd.destFilePath()).absolutePath(), dir.path());
        XmlFileItem blank(xml("b.xml"), nullptr, false);
        blank.setTemplateItem(list.getItem(3));
        QVERIFY(blank.detectDestBase()); // the raw result is kept, but
        QVERIFY(blank.composeDestFileName("odt", true, false));
        QCOMPARE(blank.destFileName(), QStringLiteral("b.odt")); // nothing usable is left of it
        XmlFileItem ctl(xml("c.xml"), nullptr, false);
        ctl.setTemplateItem(list.getItem(4));
        QVERIFY(ctl.detectDestBase());
        QVERIFY(ctl.composeDestFileName("odt", true, false));
        QCOMPARE(ctl.destFileName(), QStringLiteral("a_b_c.odt"));
        QCOMPARE(XmlFileItem::safeFileBase(".."), QStringLiteral("__"));
        QCOMPARE(XmlFileItem::safeFileBase("Договор 1.2"), QStringLiteral("Договор 1.2"));
    }

    void everyVariantTakenIsAnErrorNotAnOverwrite()
    {
        QTemporaryDir full;
        const QString source = full.path() + "/s.xml";
        writeTextFile(source, "<doc/>");
        writeTextFile(full.path() + "/s_x.rtf", "original");
        for (int n = 1; n <= 999; ++n)
            writeTextFile(full.path() + QStringLiteral("/s_x_%1.rtf").arg(n), "original");
        TemplateList list;
        loadCatalogue(list, {entry("x", "_x", "b", "", "yes", "")});
        XmlFileItem item(source, nullptr, false);
        item.setTemplateItem(list.getItem(0));
        item.setState(stateRecognized);
        QVERIFY(!item.transform("rtf", false, false));
        QVERIFY(item.hasError());
        QVERIFY(item.errorText().contains("s_x.rtf"));
        QCOMPARE(readFile(full.path() + "/s_x_999.rtf"), QByteArray("original"));
        QCOMPARE(item.state(), 2);
    }

    void transformRefusesDoneAndFailedItems()
    {
        TemplateList list;
        loadCatalogue(list, {entry("x", "_x", "b", "", "yes", "")});
        XmlFileItem done(xml("done.xml"), nullptr, false);
        done.setTemplateItem(list.getItem(0));
        done.setState(stateGenerated);
        QVERIFY(!done.transform("rtf", false, false));
        QCOMPARE(done.destFileName(), QString());
        XmlFileItem failed(xml("failed.xml"), nullptr, false);
        failed.setTemplateItem(list.getItem(0));
        failed.appendErrorText("earlier");
        QVERIFY(!failed.transform("rtf", false, false));
        QCOMPARE(failed.errorText(), QStringLiteral("earlier"));
        XmlFileItem none(xml("none.xml"), nullptr, false);
        QVERIFY(!none.transform("rtf", false, false));
    }

    void missingTemplateFileIsReportedOnTheItem()
    {
        TemplateList list;
        loadCatalogue(list, {entry("notemplate", "_x", "b", "", "yes", "")});
        XmlFileItem item(xml("m.xml"), nullptr, false);
        item.setTemplateItem(list.getItem(0));
        QVERIFY(!item.transform("rtf", false, false));
        QVERIFY(item.hasError());
        QVERIFY(item.errorText().contains(QStringLiteral("Не найден файл шаблона: notemplate.rtf")));
        QCOMPARE(item.state(), 0);
    }

    void transformThroughTheRtfGenerator()
    {
        MessageSenderObject sender;
        QStringList log;
        connect(&sender, &MessageSenderObject::sendMessageSignal, this, [&](const QString& l) { log << l; });
        setGlobalMessageSender(&sender);
        res->addTemplate("letter.rtf", QTextCodec::codecForName("Windows-1251")->fromUnicode(
                                          QStringLiteral("{\\rtf1\\ansi\\ansicpg1251 Номер: [%query=no%]\\par }")));
        res->addQuery("letter", "no", queryPrologue() + "string(doc($inputDocument)/doc/no)");
        TemplateList list;
        loadCatalogue(list, {entry("letter", "_l", "letter", "", "yes", "")});
        list.getItem(0)->templateFile = "letter";
        XmlFileItem item(xml("e2e.xml"), nullptr, false);
        item.setTemplateItem(list.getItem(0));
        item.setState(stateRecognized);
        QVERIFY(item.transform("rtf", false, false));
        QCOMPARE(item.state(), 3);
        QCOMPARE(item.destFileName(), QStringLiteral("e2e_l.rtf"));
        const QByteArray written = readFile(dir.path() + "/e2e_l.rtf");
        QVERIFY(written.contains(QTextCodec::codecForName("Windows-1251")->fromUnicode(QStringLiteral("Номер: 42"))));
        QTRY_VERIFY(log.join('\n').contains(QStringLiteral("Файл: e2e.xml успешно преобразован в документ: e2e_l.rtf")));
        QVERIFY(!item.transform("rtf", false, false)); // done once

        // A failing query: the document is written, the item carries the error.
        res->addQuery("letter", "no", queryPrologue() + "error(xs:QName('x'), 'boom')");
        XmlFileItem failing(xml("e2f.xml"), nullptr, false);
        failing.setTemplateItem(list.getItem(0));
        QVERIFY(!failing.transform("rtf", false, false));
        QVERIFY(failing.errorText().contains(QStringLiteral("Имели место ошибки выполнения запросов")));
        QVERIFY(QFile::exists(dir.path() + "/e2f_l.rtf"));
        QCOMPARE(failing.state(), 0);
        setGlobalMessageSender(nullptr);
    }

    // Files of one parallel run that get the same document name, as files of
    // one name in different folders of an archive do: every document must be
    // written whole, and without overwriting each gets a file of its own.
    void concurrentTransformsOfOneName_data()
    {
        QTest::addColumn<bool>("overwrite");
        QTest::newRow("new names") << false;
        QTest::newRow("overwrite") << true;
    }
    void concurrentTransformsOfOneName()
    {
        QFETCH(bool, overwrite);
        QVERIFY(DocxBuilder("<w:p><w:r><w:t>[%query=no%]</w:t></w:r></w:p>").write(res->path() + "/Templates/same.docx"));
        res->addQuery("same", "no", queryPrologue() + "string(doc($inputDocument)/doc/no)");
        TemplateList list;
        loadCatalogue(list, {entry("same", "_s", "same", "", "yes", "")});
        QTemporaryDir folder;
        const int count = 8;
        std::vector<std::unique_ptr<XmlFileItem>> items;
        for (int i = 0; i < count; ++i) {
            const QString source = folder.path() + QStringLiteral("/%1.xml").arg(i);
            QVERIFY(writeTextFile(source, QStringLiteral("<doc><no>N%1N</no></doc>").arg(i)));
            items.emplace_back(new XmlFileItem(source, nullptr, false));
            items.back()->setTemplateItem(list.getItem(0));
            items.back()->setState(stateRecognized);
            items.back()->setDestBaseName(QStringLiteral("Акт"));
        }
        std::atomic<bool> go{false};
        std::atomic<int> made{0};
        QList<QThread*> threads;
        for (int i = 0; i < count; ++i) {
            threads << QThread::create([&, i] {
                while (!go)
                    QThread::yieldCurrentThread();
                if (items[i]->transform("docx", true, overwrite))
                    ++made;
            });
            threads.last()->start();
        }
        go = true;
        for (QThread* thread : qAsConst(threads)) {
            QVERIFY(thread->wait(60000));
            delete thread;
        }
        QCOMPARE(made.load(), count);

        QSet<QString> paths;
        for (const auto& item : items)
            paths.insert(item->destFilePath());
        QCOMPARE(paths.size(), overwrite ? 1 : count);
        for (int i = 0; i < count; ++i) {
            bool ok = false;
            const QByteArray part = ZipUtil::loadFile(items[i]->destFilePath(), "word/document.xml", &ok);
            QVERIFY2(ok, qPrintable(items[i]->destFilePath()));
            if (!overwrite)
                QVERIFY(part.contains(QStringLiteral("N%1N").arg(i).toUtf8()));
        }
    }

    void additionalTemplates()
    {
        TemplateList list;
        loadCatalogue(list, {entry("one", "_1", "b", "", "yes", ""), entry("two", "_2", "b", "", "yes", "")});
        TemplateItem* one = list.getItem(0);
        TemplateItem* two = list.getItem(1);
        XmlFileItem item(xml("t.xml"), nullptr, false);

        item.addTemplate(one);
        QCOMPARE(item.templateItem(), one);
        QCOMPARE(item.state(), 2);
        item.addTemplate(one);
        QCOMPARE(item.childCount(), 0);

        // As if the first document had been generated.
        item.setState(stateGenerated);
        item.setDestFileName("t_1.docx");
        item.addTemplate(two);
        QVERIFY(!item.templateItem());
        QCOMPARE(item.childCount(), 2);
        auto* first = static_cast<XmlFileItem*>(item.child(0));
        auto* second = static_cast<XmlFileItem*>(item.child(1));
        QVERIFY(first->isLink() && second->isLink());
        QCOMPARE(first->templateItem(), one);
        QCOMPARE(first->state(), 3);
        QCOMPARE(first->destFileName(), QStringLiteral("t_1.docx"));
        QCOMPARE(second->templateItem(), two);
        QCOMPARE(second->state(), 2);
        QCOMPARE(item.state(), 2);
        QCOMPARE(item.destFileName(), QString());
        QVERIFY(item.containsTemplate(two));
        QCOMPARE(item.indexOfTemplate(two), 1);
        QCOMPARE(item.indexOfTemplate(nullptr), -1);
        second->addTemplate(one); // links take no templates of their own
        QCOMPARE(second->childCount(), 0);

        // Removing one of the two folds the other back onto the file.
        item.removeTemplate(two);
        QCOMPARE(item.childCount(), 0);
        QCOMPARE(item.templateItem(), one);
        QCOMPARE(item.destFileName(), QStringLiteral("t_1.docx"));
        item.removeTemplate(two);
        QCOMPARE(item.templateItem(), one);
        item.removeTemplate(one);
        QVERIFY(!item.templateItem());
        QCOMPARE(item.state(), 0);
        QCOMPARE(item.destFileName(), QString());
    }
};

QTEST_GUILESS_MAIN(TestDetection)
#include "tst_detection.moc"
