// The ODT generator on templates written in code and the same templates saved
// by LibreOffice; results checked in their XML and, at the end, through
// LibreOffice's own text and PDF conversion.
#include "docprocfactory.h"
#include "domutil.h"
#include "globals.h"
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "odtproc.h"
#include "odtformat.h"
#include "domtemplate.h"
#include "templatecache.h"
#include "odttestsupport.h"
#include "odttextwriter.h"
#include "status.h"
#include "testsupport.h"
#include "ziputil.h"

#include <QImage>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <memory>

using namespace TestSupport;

namespace {

const QString autoStyles = QStringLiteral(
    "<style:style style:name=\"T1\" style:family=\"text\"><style:text-properties fo:font-weight=\"bold\"/></style:style>"
    "<style:style style:name=\"T2\" style:family=\"text\"><style:text-properties fo:font-style=\"italic\"/></style:style>"
    "<style:style style:name=\"P1\" style:family=\"paragraph\" style:parent-style-name=\"Standard\">"
    "<style:paragraph-properties fo:margin-left=\"1cm\"/></style:style>"
    "<style:style style:name=\"PA\" style:family=\"paragraph\" style:master-page-name=\"A\"/>"
    "<style:style style:name=\"PB\" style:family=\"paragraph\" style:master-page-name=\"B\"/>"
    "<style:style style:name=\"PL\" style:family=\"paragraph\" style:master-page-name=\"Landscape\"/>");
const QString pageLayouts = QStringLiteral(
    "<style:page-layout style:name=\"pm1\"><style:page-layout-properties fo:page-width=\"21cm\" "
    "fo:page-height=\"29.7cm\"/></style:page-layout><style:page-layout style:name=\"pm2\">"
    "<style:page-layout-properties fo:page-width=\"29.7cm\" fo:page-height=\"21cm\"/></style:page-layout>");
const QString masterPages = QStringLiteral(
    "<style:master-page style:name=\"Standard\" style:page-layout-name=\"pm1\"/>"
    "<style:master-page style:name=\"A\" style:page-layout-name=\"pm1\"/>"
    "<style:master-page style:name=\"B\" style:page-layout-name=\"pm1\"/>"
    "<style:master-page style:name=\"Landscape\" style:page-layout-name=\"pm2\"/>");

QString p(const QString& content, const QString& style = QString())
{
    return (style.isEmpty() ? QStringLiteral("<text:p>") : QStringLiteral("<text:p text:style-name=\"%1\">").arg(style))
           + content + QStringLiteral("</text:p>");
}

QString table(const QString& glue)
{
    return QStringLiteral("<table:table table:name=\"Items\">%1<table:table-column table:number-columns-repeated=\"2\"/>"
                          "%1<table:table-row>%1<table:table-cell><text:p>H1</text:p></table:table-cell>"
                          "%1<table:table-cell><text:p>H2</text:p></table:table-cell>%1</table:table-row>"
                          "%1<table:table-row>%1<table:table-cell><text:p/></table:table-cell>%1<table:table-cell>"
                          "<text:p><text:span text:style-name=\"T1\">№</text:span></text:p></table:table-cell>%1"
                          "</table:table-row>%1</table:table>%1")
        .arg(glue);
}

QString sections(int markAt, const QString& query)
{
    const QStringList styles{"", "", "PA", "", "", "PB", "", "PA"};
    QString body;
    for (int i = 0; i < styles.size(); ++i) {
        const QString mark = i + 1 == markAt ? QStringLiteral("[%query=%1%delete_empty_section%]").arg(query) : QString();
        body += p(QStringLiteral("p%1").arg(i + 1) + mark, styles.at(i));
    }
    return body;
}

struct Scenario {
    QString name;
    QString body;
    QString expected; // the text as a reader shows it, a line per paragraph
    bool errors = false;
    std::function<void(const QDomElement& officeText, const QDomDocument& content)> check = {};
};

QList<QDomElement> paragraphs(const QDomElement& text)
{
    return Odt::elements(text, QStringLiteral("text:p"));
}

QVector<Scenario> scenarios()
{
    const QString iterate = p("before") + p("[%iterate_start=i%query=n3%separate=Page%]", "P1") + p("[%Row%]")
                            + p("[%iterate_end=i%]") + p("after");
    return {
        {"value between spans", p("Total: <text:span text:style-name=\"T1\">[%Sum%]</text:span> EUR"), "Total: 125 EUR",
         false,
         [](const QDomElement& text, const QDomDocument&) {
             QCOMPARE(Odt::elements(text, "text:span").value(0).text(), QStringLiteral("125"));
         }},
        {"command over two spans, text after",
         p("Sum: <text:span text:style-name=\"T1\">[%Su</text:span><text:span text:style-name=\"T2\">m%] EUR</text:span>"),
         "Sum: 125 EUR"},
        {"two commands in one text node", p("[%A%] and [%B%]!"), "x and y!"},
        {"value glued to a span", p("Итого:<text:span text:style-name=\"T1\">[%Sum%]</text:span>"), "Итого:125"},
        {"space between spans kept",
         p("<text:span text:style-name=\"T1\">a</text:span> <text:span text:style-name=\"T2\">[%A%]</text:span>"), "a x"},
        {"empty span stays empty", p("a<text:span text:style-name=\"T1\"/>[%A%]"), "ax"},
        {"replace_empty", p("[%query=Empty%replace_empty=-%]|[%Empty%]|"), "-||"},
        {"bracket before a command", p("see [1] and [%A%]"), "see [1] and x"},
        {"command over three spans and a bookmark",
         p("(<text:span text:style-name=\"T1\">[%</text:span><text:bookmark text:name=\"b\"/><text:span "
           "text:style-name=\"T2\">S</text:span><text:span text:style-name=\"T1\">um%]</text:span>)"),
         "(125)", false,
         [](const QDomElement& text, const QDomDocument&) {
             QVERIFY(Odt::elements(text, "text:bookmark").isEmpty());
         }},
        {"line feeds inside a sentence", p("Адрес: [%Addr%]."), "Адрес: ул. Ленина,\nд. 5."},
        {"spaces and tabs", p("|[%Spaced%]| [%Tabbed%]"), "|  two  spaces | a\tb"},
        {"trailing space of a value", p("[%Trail%] EUR"), "5  EUR"},
        {"iterate_end outside a block is named", p("a[%iterate_end=z%]b"), "ab", true},
        {"three lines alone in a paragraph",
         p("<text:span text:style-name=\"T1\">[%Three%]</text:span>", "P1") + p("after"), "first\nsecond\nthird\nafter",
         false,
         [](const QDomElement& text, const QDomDocument&) {
             const QList<QDomElement> ps = paragraphs(text);
             QCOMPARE(ps.size(), 4);
             QCOMPARE(ps.at(1).attribute("text:style-name"), ps.at(0).attribute("text:style-name"));
             QVERIFY(Odt::elements(text, "text:span").isEmpty());
         }},
        {"lines beside a tab stay in their paragraph", p("<text:tab/>[%Three%]"), "\tfirst\nsecond\nthird"},
        {"empty line of a result alone", p("[%query=Gappy%replace_empty=-%]"), "x\n-\nz"},
        {"table with heading and two rows", table("") + p("[%insert_table%query=Rows%] ") + p("after"),
         "H1\nH2\na\n№b\nc\n№d\nafter", false,
         [](const QDomElement& text, const QDomDocument&) {
             QCOMPARE(Odt::elements(text, "table:table-row").size(), 3);
             QCOMPARE(paragraphs(text).last().text(), QStringLiteral("after"));
         }},
        {"table written with indentation", table("\n  ") + p("[%insert_table%query=Rows%]") + p("after"),
         "H1\nH2\na\n№b\nc\n№d\nafter"},
        {"empty table result", table("") + p("[%insert_table%query=Empty%replace_empty=0%]") + p("end"),
         "H1\nH2\n0\n№0\nend"},
        {"template row cells that start with a tab or a space",
         "<table:table table:name=\"Lead\"><table:table-column table:number-columns-repeated=\"2\"/><table:table-row>"
         "<table:table-cell><text:p><text:tab/></text:p></table:table-cell>"
         "<table:table-cell><text:p><text:s/>№</text:p></table:table-cell></table:table-row></table:table>"
             + p("[%insert_table%query=Rows%]") + p("after"),
         "\ta\n №b\n\tc\n №d\nafter"},
        {"template row cell holding a section",
         "<table:table table:name=\"Wrapped\"><table:table-column table:number-columns-repeated=\"2\"/><table:table-row>"
         "<table:table-cell><text:section text:name=\"InCell\"><text:p/></text:section></table:table-cell>"
         "<table:table-cell><text:p/></table:table-cell></table:table-row></table:table>"
             + p("[%insert_table%query=Rows%]") + p("after"),
         "a\nb\nc\nd\nafter"},
        {"table command not after a table", p("x") + p("[%insert_table%query=Rows%]") + p("y"), "x\n\ny", true},
        {"table without rows",
         "<table:table><table:table-column/></table:table>" + p("[%insert_table%query=Rows%]") + p("y"), "\ny", true},
        {"three repetitions separated by pages", iterate, "before\nrow1\n\nrow2\n\nrow3\nafter", false,
         [](const QDomElement& text, const QDomDocument& content) {
             int separators = 0;
             for (const QDomElement& par : paragraphs(text)) {
                 if (par.attribute("text:style-name") == "PageBreakBefore") {
                     ++separators;
                     QVERIFY(!par.hasChildNodes());
                 }
             }
             QCOMPARE(separators, 2);
             const QList<QDomElement> styles = Odt::elements(content, "style:style");
             QCOMPARE(styles.last().attribute("style:name"), QStringLiteral("PageBreakBefore"));
             QCOMPARE(styles.last().firstChildElement().attribute("fo:break-before"), QStringLiteral("page"));
             QCOMPARE(std::count_if(styles.begin(), styles.end(),
                                    [](const QDomElement& s) { return s.attribute("style:name") == "PageBreakBefore"; }),
                      1);
         }},
        {"nested blocks, other separator",
         p("[%iterate_start=i%query=n2%]") + p("[%iterate_start=j%query=n3%separate=x%]", "P1") + p("[%Cell%]")
             + p("[%iterate_end=J%]") + p("[%iterate_end=i%]"),
         "1.1\n\n1.2\n\n1.3\n2.1\n\n2.2\n\n2.3", false,
         [](const QDomElement& text, const QDomDocument& content) {
             const QDomElement separator = paragraphs(text).at(1);
             QVERIFY(!separator.hasChildNodes());
             QVERIFY(separator.hasAttribute("text:style-name"));
             for (const QDomElement& s : Odt::elements(content, "style:style"))
                 QVERIFY(s.attribute("style:name") != "PageBreakBefore");
         }},
        {"keep_empty and zero count",
         p("[%iterate_start=i%query=n0%keep_empty%]") + p("[%Row%]") + p("[%iterate_end=i%]")
             + p("[%iterate_start=k%query=n0%]") + p("[%Row%]") + p("[%iterate_end=k%]") + p("end"),
         "row1\nend"},
        {"iterate_start in a heading",
         "<text:h text:outline-level=\"1\">[%iterate_start=i%query=n2%separate=x%]</text:h>" + p("[%Row%]")
             + p("[%iterate_end=i%]") + p("after"),
         "row1\n\nrow2\nafter", false,
         [](const QDomElement& text, const QDomDocument&) { QVERIFY(Odt::elements(text, "text:h").isEmpty()); }},
        {"missing iterate_end", p("before") + p("[%iterate_start=i%query=n2%]") + p("[%Row%]") + p("after"), "before",
         true},
        {"same variable nested",
         p("[%iterate_start=i%query=n2%]") + p("[%iterate_start=i%query=n2%]") + p("[%Row%]") + p("[%iterate_end=i%]")
             + p("tail") + p("[%iterate_end=i%]"),
         "tail\n", true},
        {"command before iterate_start in its paragraph",
         p("[%A%] [%iterate_start=i%query=n2%]") + p("[%Row%]") + p("[%iterate_end=i%]") + p("after"),
         "x \nrow1\nrow2\nafter"},
        {"iterate_end in the iterate_start paragraph",
         p("[%iterate_start=i%query=n2%] [%iterate_end=i%]") + p("[%Row%]") + p("[%iterate_end=i%]"), "row1\nrow2"},
        {"command inside the template row",
         "<table:table><table:table-column/><table:table-row><table:table-cell><text:p>[%A%]</text:p>"
         "</table:table-cell></table:table-row></table:table>"
             + p("[%insert_table%query=Rows%]") + p("after"),
         "x\n\nafter", true},
        {"page-style iterate_start paragraph kept once",
         p("[%iterate_start=i%query=n2%]", "PL") + p("[%Row%]") + p("[%iterate_end=i%]"), "\nrow1\nrow2", false,
         [](const QDomElement& text, const QDomDocument& content) {
             const QDomElement first = paragraphs(text).first();
             QVERIFY(!first.hasChildNodes());
             bool landscape = false;
             for (const QDomElement& s : Odt::elements(content, "style:style"))
                 landscape |= s.attribute("style:name") == first.attribute("text:style-name")
                              && s.attribute("style:master-page-name") == "Landscape";
             QVERIFY(landscape);
         }},
        {"empty section in the middle", sections(4, "Zero"), "p1\np2\np6\np7"},
        {"mark before the first page style", sections(1, "Empty"), "p1\np2\np3\np4\np5\np6\np7\np8"},
        {"mark in the last page style", sections(6, "Zero"), "p1\np2\np3\np4\np5\np8"},
        {"section not empty", sections(4, "Sum"), "p1\np2\np3\np4125\np5\np6\np7\np8"},
    };
}

} // namespace

class TestOdtProc : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    std::unique_ptr<ResourceFolder> res;
    MessageSenderObject sender;
    MessageHandler handler;
    QStringList log;
    QString source;
    QHash<QString, QString> loTemplates; // scenario name -> template saved by LibreOffice
    QHash<QString, QString> expectedText; // result -> the text LibreOffice should show
    QStringList pdfChecks;

    struct Run {
        bool ok;
        bool templateErrors;
        bool queryErrors;
    };
    Run generate(const QString& templatePath, const QString& dest)
    {
        OdtProc proc(source, dest, templatePath, "Queries/odt", nullptr);
        proc.setMessageHandler(&handler);
        const bool ok = proc.generateDocument();
        return {ok, proc.hasTemplateErrors(), proc.queryProc().hasErrors()};
    }
    QString codeTemplate(const QString& name, const QString& body, const QString& masters = masterPages)
    {
        const QString path = dir.path() + "/templates/" + name + ".odt";
        QDir().mkpath(QFileInfo(path).path());
        Odt::writeOdt(path, Odt::contentXml(body, autoStyles), Odt::stylesXml(masters, pageLayouts));
        return path;
    }
    QString out(const QString& name) { return dir.path() + "/out/" + name + ".odt"; }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        initGlobalResourcePaths();
        res.reset(new ResourceFolder);
        connect(&sender, &MessageSenderObject::sendMessageSignal, this, [this](const QString& l) { log << l; });
        setGlobalMessageSender(&sender);
        QDir().mkpath(dir.path() + "/out");
        source = dir.path() + "/data/src.xml";
        writeTextFile(source, "<doc/>");
        const QHash<QString, QString> literals{
            {"Sum", "125"}, {"A", "x"}, {"B", "y"}, {"Empty", ""}, {"Zero", "0"}, {"Title", "Отчёт"},
            {"Addr", "ул. Ленина,\nд. 5"}, {"Spaced", "  two  spaces "}, {"Tabbed", "a\tb"}, {"Trail", "5 "},
            {"Three", "first\nsecond\nthird"}, {"Gappy", "x\n\nz"}, {"Rows", "a\tb\nc\td"},
            {"n0", "0"}, {"n2", "2"}, {"n3", "3"}, {"PicA", "a.png"}, {"PicB", "b.JPG"}, {"PicC", "c.gif"},
            {"PicMissing", "none.png"}};
        for (auto it = literals.begin(); it != literals.end(); ++it)
            res->addLiteralQuery("odt", it.key(), it.value());
        res->addQuery("odt", "Row", queryPrologue() + "declare variable $i external; concat('row', $i)");
        res->addQuery("odt", "Cell",
                      queryPrologue() + "declare variable $i external; declare variable $j external; concat($i, '.', $j)");

        // The scenarios' templates as LibreOffice saves them, made in one call.
        if (!LibreOffice::available())
            return;
        QStringList flat;
        for (const Scenario& s : scenarios()) {
            const QString path = dir.path() + QStringLiteral("/flat/lo%1.fodt").arg(flat.size());
            writeTextFile(path, Odt::flatXml(s.body, autoStyles + pageLayouts, masterPages));
            flat << path;
        }
        const QHash<QString, QString> converted = LibreOffice::convert(flat, "odt", dir.path() + "/lo");
        for (int i = 0; i < flat.size(); ++i) {
            if (converted.contains(flat.at(i)))
                loTemplates.insert(scenarios().at(i).name, converted.value(flat.at(i)));
        }
        QCOMPARE(loTemplates.size(), flat.size());
    }
    void init() { log.clear(); }

    void textScenarios_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("savedByLibreOffice");
        for (int i = 0; i < scenarios().size(); ++i) {
            QTest::newRow(qPrintable(scenarios().at(i).name)) << i << false;
            QTest::newRow(qPrintable(scenarios().at(i).name + " (LibreOffice)")) << i << true;
        }
    }
    void textScenarios()
    {
        QFETCH(int, index);
        QFETCH(bool, savedByLibreOffice);
        const Scenario s = scenarios().at(index);
        if (savedByLibreOffice && !loTemplates.contains(s.name))
            QSKIP("LibreOffice is not available");
        const QString templatePath = savedByLibreOffice ? loTemplates.value(s.name) : codeTemplate(s.name, s.body);
        const QString result = out(QStringLiteral("%1-%2").arg(index).arg(savedByLibreOffice ? "lo" : "code"));

        const Run run = generate(templatePath, result);
        QCOMPARE(run.templateErrors, s.errors);
        QVERIFY(!run.queryErrors);
        QCOMPARE(run.ok, !s.errors);
        QCOMPARE(Odt::bodyText(result), s.expected + "\n");

        const QByteArray bytes = ZipUtil::loadFile(result, "content.xml");
        // Nothing is added between elements: inside a paragraph it would show.
        if (ZipUtil::loadFile(templatePath, "content.xml").count('\n') == 1)
            QCOMPARE(bytes.count('\n'), 1); // the one after the XML declaration
        const QDomDocument content = Odt::part(result, "content.xml");
        QVERIFY(!content.isNull());
        if (s.check) {
            s.check(content.documentElement().firstChildElement("office:body").firstChildElement("office:text"),
                    content);
        }
        expectedText.insert(result, s.expected);
        if (s.name.contains("separated by pages"))
            pdfChecks << result;
    }

    void textWriter_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("xml");
        QTest::newRow("plain") << "a b" << "a b";
        QTest::newRow("inner run") << "a   b" << "a <text:s text:c=\"2\"/>b";
        QTest::newRow("leading and trailing") << "  a " << "<text:s text:c=\"2\"/>a<text:s/>";
        QTest::newRow("breaks") << "a\r\nb\n c\td" << "a<text:line-break/>b<text:line-break/><text:s/>c<text:tab/>d";
        QTest::newRow("control characters") << QString("a\x01\x0b" "b") + QChar(0xFFFF) << "ab";
        QTest::newRow("empty") << "" << "";
    }
    void textWriter()
    {
        QFETCH(QString, value);
        QFETCH(QString, xml);
        QDomDocument doc;
        QDomElement root = doc.createElement("r");
        doc.appendChild(root);
        OdtTextWriter::append(root, doc, value);
        QByteArray bytes;
        DomUtil::rawDataFromDoc(bytes, doc, nullptr, -1);
        QCOMPARE(QString::fromUtf8(bytes), xml.isEmpty() ? QStringLiteral("<r/>") : "<r>" + xml + "</r>");
    }

    void pictures()
    {
        QImage image(200, 100, QImage::Format_RGB32);
        image.fill(Qt::red);
        image.setDotsPerMeterX(2000); // 200 px = 100 mm
        image.setDotsPerMeterY(2000);
        const QString folder = QFileInfo(source).path();
        QVERIFY(image.save(folder + "/a.png"));
        QVERIFY(image.save(folder + "/b.JPG", "JPEG"));
        writeFile(folder + "/c.gif", QByteArray::fromBase64("R0lGODlhAQABAIAAAP///wAAACH5BAEAAAAALAAAAAABAAEAAAICRAEAOw=="));
        const QString body = p("A:[%insert_picture%query=PicA%] B:<text:span text:style-name=\"T1\">"
                               "[%insert_picture%query=PicB%]</text:span> M:[%insert_picture%query=PicMissing%]|");
        const QString result = out("pictures");
        const Run run = generate(codeTemplate("pictures", body), result);
        QVERIFY(run.ok);

        QStringList names;
        for (const Odt::EntryInfo& e : Odt::entries(result))
            names << e.name;
        QVERIFY(names.contains("Pictures/pwkimg0.png"));
        QVERIFY(names.contains("Pictures/pwkimg1.JPG"));
        QCOMPARE(ZipUtil::loadFile(result, "Pictures/pwkimg1.JPG"), readFile(folder + "/b.JPG"));
        QMap<QString, QString> types;
        for (const QDomElement& e : Odt::elements(Odt::part(result, "META-INF/manifest.xml"), "manifest:file-entry"))
            types.insert(e.attribute("manifest:full-path"), e.attribute("manifest:media-type"));
        QCOMPARE(types.value("Pictures/pwkimg0.png"), QStringLiteral("image/png"));
        QCOMPARE(types.value("Pictures/pwkimg1.JPG"), QStringLiteral("image/jpeg"));

        const QDomDocument content = Odt::part(result, "content.xml");
        const QList<QDomElement> frames = Odt::elements(content, "draw:frame");
        QCOMPARE(frames.size(), 2);
        QCOMPARE(frames.at(0).attribute("svg:width"), QStringLiteral("10.0cm"));
        QCOMPARE(frames.at(0).attribute("svg:height"), QStringLiteral("5.0cm"));
        QCOMPARE(frames.at(0).attribute("text:anchor-type"), QStringLiteral("as-char"));
        QCOMPARE(frames.at(0).firstChildElement("draw:image").attribute("xlink:href"),
                 QStringLiteral("Pictures/pwkimg0.png"));
        QCOMPARE(frames.at(1).parentNode().nodeName(), QStringLiteral("text:span"));
        QCOMPARE(Odt::bodyText(result), QStringLiteral("A: B: M:|\n"));
        pdfChecks << result;

        // A template that has a picture of that name already, and a GIF.
        const QString reused = dir.path() + "/templates/reused.odt";
        Odt::writePackage(reused, {{"content.xml", Odt::contentXml(p("[%insert_picture%query=PicC%]")).toUtf8()},
                                   {"Pictures/pwkimg0.png", readFile(folder + "/a.png")},
                                   {"META-INF/manifest.xml", Odt::manifestXml().toUtf8()}});
        QVERIFY(generate(reused, out("reused")).ok);
        QCOMPARE(Odt::entries(out("reused")).last().name, QStringLiteral("Pictures/pwkimg1.gif"));
        QCOMPARE(Odt::elements(Odt::part(out("reused"), "META-INF/manifest.xml"), "manifest:file-entry")
                     .last()
                     .attribute("manifest:media-type"),
                 QStringLiteral("image/gif"));
    }

    void sparseTemplateGetsWhatTheAddedMarkupNeeds()
    {
        // No automatic styles, no declarations for pictures and styles, a manifest that does not parse.
        QString content = Odt::contentXml(p("[%iterate_start=i%query=n2%separate=page%]") + p("[%Row%]")
                                          + p("[%iterate_end=i%]") + p("[%insert_picture%query=PicA%]"));
        content.remove("<office:automatic-styles></office:automatic-styles>");
        for (const char* prefix : {"style", "fo", "draw", "svg", "xlink"})
            content.remove(QRegularExpression(QStringLiteral("xmlns:%1=\"[^\"]*\"").arg(prefix)));
        const QString templatePath = dir.path() + "/templates/sparse.odt";
        Odt::writePackage(templatePath, {{"content.xml", content.toUtf8()}, {"META-INF/manifest.xml", "<broken"}});
        QVERIFY(generate(templatePath, out("sparse")).ok);

        QDomDocument result;
        QVERIFY(result.setContent(ZipUtil::loadFile(out("sparse"), "content.xml"), true)); // every prefix declared
        const QDomElement styles = result.documentElement().firstChildElement("automatic-styles");
        QCOMPARE(styles.nextSiblingElement().localName(), QStringLiteral("body"));
        QCOMPARE(styles.firstChildElement().attributeNS("urn:oasis:names:tc:opendocument:xmlns:style:1.0", "name"),
                 QStringLiteral("PageBreakBefore"));
        QCOMPARE(ZipUtil::loadFile(out("sparse"), "META-INF/manifest.xml"), QByteArray("<broken"));
    }

    void headerInStyles()
    {
        const QString header = masterPages;
        const QString withCommand = QString(header).replace(
            "<style:master-page style:name=\"Standard\" style:page-layout-name=\"pm1\"/>",
            "<style:master-page style:name=\"Standard\" style:page-layout-name=\"pm1\"><style:header><text:p>Header "
            "<text:span text:style-name=\"T1\">[%Title%]</text:span></text:p></style:header></style:master-page>");
        const QString templatePath = codeTemplate("header", p("body"), withCommand);
        QVERIFY(generate(templatePath, out("header")).ok);
        QCOMPARE(Odt::shownText(Odt::elements(Odt::part(out("header"), "styles.xml"), "style:header").value(0)),
                 QStringLiteral("Header Отчёт\n"));
        pdfChecks << out("header");

        // Without a command the part is copied as it is.
        const QString plain = codeTemplate("plain", p("[%A%]"));
        QVERIFY(generate(plain, out("plain")).ok);
        QCOMPARE(ZipUtil::loadFile(out("plain"), "styles.xml"), ZipUtil::loadFile(plain, "styles.xml"));
        const QList<Odt::EntryInfo> entries = Odt::entries(out("plain"));
        QCOMPARE(entries.first().name, QStringLiteral("mimetype"));
        QCOMPARE(entries.first().method, 0);
        QCOMPARE(entries.size(), Odt::entries(plain).size());
    }

    void templateIsReadOnceAndNeverChanged()
    {
        TemplateCache::clear();
        const QString body = p("[%iterate_start=i%query=n3%separate=page%]") + p("a [%Row%] b [%A%]")
                             + p("[%iterate_end=i%]") + table("") + p("[%insert_table%query=Rows%]");
        const QString templatePath = codeTemplate("cached", body);
        QVERIFY(generate(templatePath, out("cached1")).ok);
        const std::shared_ptr<const DomTemplate> cached = TemplateCache::get(templatePath, nullptr, *createOdtFormat());
        const DomTemplatePart& part = cached->parts.first();
        QCOMPARE(part.commandCount, 5);
        QByteArray before;
        DomUtil::rawDataFromDoc(before, part.doc, nullptr, -1);
        QVERIFY(generate(templatePath, out("cached2")).ok);
        QByteArray after;
        DomUtil::rawDataFromDoc(after, part.doc, nullptr, -1);
        QCOMPARE(after, before);
        QCOMPARE(ZipUtil::loadFile(out("cached2"), "content.xml"), ZipUtil::loadFile(out("cached1"), "content.xml"));
        QCOMPARE(TemplateCache::partCount(), 2); // content.xml and styles.xml

        // A changed template is read again.
        QTest::qWait(20);
        codeTemplate("cached", p("changed [%A%]"));
        QVERIFY(generate(templatePath, out("cached3")).ok);
        QCOMPARE(Odt::bodyText(out("cached3")), QStringLiteral("changed x\n"));

        // Each thread keeps its own trees.
        int otherThreadSize = -1;
        std::unique_ptr<QThread> thread(QThread::create([&] {
            generate(templatePath, out("cached4"));
            otherThreadSize = TemplateCache::partCount();
        }));
        thread->start();
        QVERIFY(thread->wait(60000));
        QCOMPARE(otherThreadSize, 2);
        QCOMPARE(ZipUtil::loadFile(out("cached4"), "content.xml"), ZipUtil::loadFile(out("cached3"), "content.xml"));
    }

    void failures_data()
    {
        QTest::addColumn<QString>("templateName");
        QTest::addColumn<QString>("dest");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("written");
        QTest::newRow("missing template") << "missing" << "" << "Ошибка загрузки шаблона документа" << false;
        QTest::newRow("broken content") << "broken" << "" << "Ошибка загрузки шаблона документа" << false;
        QTest::newRow("unwritable destination") << "good" << "/nonexistent/x.odt"
                                                << "Ошибка сохранения результирующего документа" << false;
        QTest::newRow("failing query") << "failing" << "" << "" << true;
    }
    void failures()
    {
        QFETCH(QString, templateName);
        QFETCH(QString, dest);
        QFETCH(QString, message);
        QFETCH(bool, written);
        QString templatePath = dir.path() + "/templates/" + templateName + ".odt";
        if (templateName == "broken")
            Odt::writeOdt(templatePath, "<office:document-content><office:body>");
        else if (templateName != "missing")
            codeTemplate(templateName, p(templateName == "failing" ? "a [%NoSuchQuery%] b" : "x"));
        if (dest.isEmpty())
            dest = out("failure-" + templateName);

        const Run run = generate(templatePath, dest);
        QVERIFY(!run.ok);
        QCOMPARE(QFileInfo::exists(dest), written);
        if (!message.isEmpty())
            QTRY_VERIFY(log.join('\n').contains(message));
        if (written) {
            QVERIFY(run.queryErrors);
            QCOMPARE(Odt::bodyText(dest), QStringLiteral("a !!! ОШИБКА !!! b\n"));
        }
    }

    void factoryCreatesOdtProc()
    {
        std::unique_ptr<BaseDocProc> proc(createDocProc("odt", source, out("f"), "t.odt", "Queries/odt"));
        QVERIFY(dynamic_cast<OdtProc*>(proc.get()));
    }

    // Declared last: converts every result made above in one call per format.
    void libreOfficeShowsTheResults()
    {
        if (!LibreOffice::available())
            QSKIP("LibreOffice is not available");
        const QHash<QString, QString> texts = LibreOffice::toText(expectedText.keys(), dir.path() + "/txt");
        for (auto it = expectedText.constBegin(); it != expectedText.constEnd(); ++it) {
            QString text = texts.value(it.key());
            text.replace("\r\n", "\n");
            QVERIFY2(texts.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(text, it.value() + "\n");
        }

        const QHash<QString, QString> pdfs = LibreOffice::convert(pdfChecks, "pdf", dir.path() + "/pdf");
        QCOMPARE(pdfs.size(), pdfChecks.size());
        for (const QString& doc : qAsConst(pdfChecks)) {
            const QString pdf = pdfs.value(doc);
            if (!doc.endsWith("pictures.odt") && !doc.endsWith("header.odt"))
                QCOMPARE(LibreOffice::pdfPageCount(pdf), 3); // the pages of the separated repetitions
            if (doc.endsWith("pictures.odt"))
                QCOMPARE(LibreOffice::pdfImageCount(pdf), 2);
            if (doc.endsWith("header.odt")) {
                QProcess pdftotext;
                pdftotext.start("pdftotext", {pdf, "-"});
                QVERIFY(pdftotext.waitForFinished(60000));
                QVERIFY(QString::fromUtf8(pdftotext.readAllStandardOutput()).contains("Header Отчёт"));
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestOdtProc)
#include "tst_odtproc.moc"
