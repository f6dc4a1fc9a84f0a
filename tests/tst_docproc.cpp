// The DOCX generator on small packages built in code: commands in and across
// runs, tables, repeated blocks, section removal, headers and footers,
// pictures, the package written, the template cache. Checked on the XML of
// the result parts; tst_docproc_render checks what a word processor shows.
#include "docproc.h"
#include "docxrelations.h"
#include "docxbuilder.h"
#include "templatecache.h"
#include "globals.h"
#include "messagesenderobject.h"
#include "status.h"
#include "testsupport.h"
#include "ziputil.h"

#include <QAbstractMessageHandler>
#include <QElapsedTimer>
#include <QImage>
#include <QThread>
#include <QXmlStreamReader>
#include <QtTest>

#include <sys/mount.h>

using namespace TestSupport;

namespace {

// Bytes that deflate cannot shrink, the same on every run.
QByteArray incompressible(int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(42).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

QString esc(const QString& text)
{
    return text.toHtmlEscaped();
}

// A paragraph of one plain run.
QString par(const QString& text, const QString& properties = QString())
{
    return QStringLiteral("<w:p>%1<w:r><w:t xml:space=\"preserve\">%2</w:t></w:r></w:p>").arg(properties, esc(text));
}

QString cell(const QString& content)
{
    return QStringLiteral("<w:tc><w:tcPr><w:tcW w:w=\"2000\" w:type=\"dxa\"/></w:tcPr><w:p>%1</w:p></w:tc>")
        .arg(content);
}

QString runXml(const QString& text)
{
    return QStringLiteral("<w:r><w:t xml:space=\"preserve\">%1</w:t></w:r>").arg(esc(text));
}

// A table with a heading row H1, H2 and a template row of the given cells.
QString table(const QString& templateRow)
{
    return QStringLiteral("<w:tbl><w:tblPr><w:tblW w:w=\"4000\" w:type=\"dxa\"/></w:tblPr>"
                          "<w:tblGrid><w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/></w:tblGrid>"
                          "<w:tr>%1%2</w:tr><w:tr>%3</w:tr></w:tbl>")
        .arg(cell(runXml("H1")), cell(runXml("H2")), templateRow);
}

QString sectPr(int width)
{
    return QStringLiteral("<w:sectPr><w:pgSz w:w=\"%1\" w:h=\"16838\"/></w:sectPr>").arg(width);
}

// Paragraph texts of a part in document order: "\t" for tabs, "\n" for line
// breaks, "<page>" for page breaks.
QStringList paragraphs(const QByteArray& xml)
{
    QStringList texts;
    QVector<int> open;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QStringRef name = reader.qualifiedName();
            if (name == QLatin1String("w:p")) {
                open.append(texts.size());
                texts.append(QString());
            } else if (open.isEmpty()) {
                continue;
            } else if (name == QLatin1String("w:t")) {
                texts[open.last()] += reader.readElementText();
            } else if (name == QLatin1String("w:tab")) {
                texts[open.last()] += QLatin1Char('\t');
            } else if (name == QLatin1String("w:br")) {
                texts[open.last()] += reader.attributes().value(QLatin1String("w:type")) == QLatin1String("page")
                                          ? QStringLiteral("<page>")
                                          : QStringLiteral("\n");
            }
        } else if (reader.isEndElement() && reader.qualifiedName() == QLatin1String("w:p")) {
            open.removeLast();
        }
    }
    return texts;
}

QDomDocument parse(const QByteArray& xml)
{
    QDomDocument doc;
    doc.setContent(xml);
    return doc;
}

// The run properties of the run whose text is `text`, as XML.
QString runPropertiesOf(const QByteArray& xml, const QString& text)
{
    const QDomNodeList texts = parse(xml).elementsByTagName(QStringLiteral("w:t"));
    for (int i = 0; i < texts.size(); ++i) {
        if (texts.at(i).toElement().text() == text) {
            QString out;
            QTextStream stream(&out);
            texts.at(i).parentNode().firstChildElement(QStringLiteral("w:rPr")).save(stream, -1);
            return out;
        }
    }
    return QStringLiteral("(no run)");
}

class CollectingHandler : public QAbstractMessageHandler
{
public:
    QStringList messages;

protected:
    void handleMessage(QtMsgType, const QString& description, const QUrl&, const QSourceLocation&) override
    {
        messages << description;
    }
};

struct Outcome
{
    bool ok = false;
    bool templateErrors = false;
    QString path;
    QByteArray document;
};

} // namespace

class TestDocProc : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ResourceFolder res;
    MessageSenderObject sender;
    CollectingHandler handler;
    QStringList log;
    QString xml;
    int counter = 0;

    QString newName() { return QStringLiteral("t%1").arg(++counter); }

    Outcome generate(const DocxBuilder& builder, const QString& name = QString())
    {
        const QString base = dir.path() + QLatin1Char('/') + (name.isEmpty() ? newName() : name);
        Outcome outcome;
        if (!builder.write(base + ".docx"))
            return outcome;
        outcome.path = base + "_out.docx";
        DocProc proc(xml, outcome.path, base + ".docx", "Queries/docx", nullptr);
        proc.setMessageHandler(&handler);
        outcome.ok = proc.generateDocument();
        outcome.templateErrors = proc.hasTemplateErrors();
        outcome.document = zipEntry(outcome.path, "word/document.xml");
        return outcome;
    }

    // Paragraph texts of the body of a generated document.
    QStringList generateTexts(const QString& body, bool* ok = nullptr)
    {
        const Outcome outcome = generate(DocxBuilder(body));
        if (ok)
            *ok = outcome.ok;
        return paragraphs(outcome.document);
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        initGlobalResourcePaths();
        QVERIFY(dir.isValid() && res.isValid());
        connect(&sender, &MessageSenderObject::sendMessageSignal, this, [this](const QString& l) { log << l; });
        setGlobalMessageSender(&sender);
        xml = dir.path() + "/src.xml";
        writeTextFile(xml, "<doc><note>one</note><note>two</note><note>three</note></doc>");
        const QString q = "docx";
        const QList<QPair<QString, QString>> literals{
            {"name", "Ivan"},        {"a", "A"},           {"b", "B"},
            {"empty", ""},           {"multi", "x\ny"},    {"lines", "x\ny\n\nz"},
            {"spaced", " padded "},  {"rows", "a\tb\nc\td"}, {"rowsTrail", "a\n"},
            {"rowsWide", "x\ty\tz"}, {"rowOne", "x"},      {"zero", "0"},
            {"two", "2"},            {"three", "3"},       {"pic", "pic.png"}, {"bare", "pics.v2/bare"},
            {"nopic", "missing.png"}};
        for (const auto& l : literals)
            res.addLiteralQuery(q, l.first, l.second);
        res.addQuery(q, "note", queryPrologue()
                                    + "declare variable $i external;\nstring(doc($inputDocument)/doc/note[$i])");
        res.addQuery(q, "inner", queryPrologue()
                                     + "declare variable $i external; declare variable $j external;\n"
                                       "concat($i, '.', $j)");
        res.addQuery(q, "bad", queryPrologue() + "xs:integer('x')");

        QImage picture(100, 50, QImage::Format_RGB32);
        picture.fill(Qt::red);
        picture.setDotsPerMeterX(3937); // 100 dpi: 25.4 mm wide
        picture.setDotsPerMeterY(3937);
        QVERIFY(picture.save(dir.path() + "/pic.png"));
        QDir(dir.path()).mkpath("pics.v2");
        QVERIFY(picture.save(dir.path() + "/pics.v2/bare", "PNG"));
    }
    void cleanupTestCase() { setGlobalMessageSender(nullptr); }
    void init()
    {
        log.clear();
        handler.messages.clear();
    }

    void textCommands_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("inside a sentence") << par("Dear [%name%], welcome") << QStringList{"Dear Ivan, welcome"};
        QTest::newRow("split over three formatted runs, text after it")
            << "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">Name: [%na</w:t></w:r>"
               "<w:r><w:rPr><w:i/></w:rPr><w:t>m</w:t></w:r>"
               "<w:r><w:rPr><w:u w:val=\"single\"/></w:rPr><w:t xml:space=\"preserve\">e%] (x)</w:t></w:r></w:p>"
            << QStringList{"Name: Ivan (x)"};
        QTest::newRow("bracket and percent before a command") << "<w:p>" + runXml("price [50% ") + runXml("[%a%]") + "</w:p>"
                                                              << QStringList{"price [50% A"};
        QTest::newRow("two commands in one run") << par("[%a%] and [%b%]!") << QStringList{"A and B!"};
        QTest::newRow("command across wrappers and marks")
            << "<w:p><w:hyperlink r:id=\"rId9\"><w:r><w:t xml:space=\"preserve\">go [%na</w:t></w:r></w:hyperlink>"
               "<w:proofErr w:type=\"spellStart\"/><w:bookmarkStart w:id=\"0\" w:name=\"bm\"/>"
               "<w:r><w:t>me%]!</w:t></w:r><w:bookmarkEnd w:id=\"0\"/><w:proofErr w:type=\"spellEnd\"/></w:p>"
            << QStringList{"go Ivan!"};
        QTest::newRow("several texts and tabs in a run")
            << "<w:p><w:r><w:t>A</w:t><w:tab/><w:t xml:space=\"preserve\">[%name%] [%b%]</w:t><w:tab/>"
               "<w:t>C</w:t></w:r></w:p>"
            << QStringList{"A\tIvan B\tC"};
        QTest::newRow("tab inside a command is dropped")
            << "<w:p><w:r><w:t>[%na</w:t><w:tab/></w:r><w:r><w:t>me%]</w:t><w:tab/><w:t>end</w:t></w:r></w:p>"
            << QStringList{"Ivan\tend"};
        QTest::newRow("inside an insertion") << "<w:p><w:ins w:id=\"1\" w:author=\"x\">" + runXml("<[%a%]>")
                                                    + "</w:ins></w:p>"
                                             << QStringList{"<A>"};
        QTest::newRow("empty result with replace_empty") << par("<[%query=empty%replace_empty=-%]>") << QStringList{"<->"};
        QTest::newRow("empty result") << par("<[%empty%]>") << QStringList{"<>"};
        QTest::newRow("line feeds inside a sentence become line breaks")
            << par("Lines: [%multi%]!") << QStringList{"Lines: x\ny!"};
        QTest::newRow("alone in its paragraph: one paragraph per line")
            << par("before") + par(" [%query=lines%replace_empty=-%] ") + par("after")
            << QStringList{"before", "x", "y", "-", "z", "after"};
        QTest::newRow("foreign placeholders and brackets pass through")
            << "<w:p><w:r><w:t>${na</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">me} "
               "[50% off] 100%</w:t></w:r></w:p>"
            << QStringList{"${name} [50% off] 100%"};
        QTest::newRow("spaces and empty texts kept")
            << "<w:p><w:r><w:t xml:space=\"preserve\">   </w:t></w:r><w:r><w:t xml:space=\"preserve\"/></w:r>"
               "<w:r><w:t>[%a%]</w:t></w:r><w:r><w:t xml:space=\"preserve\">  </w:t></w:r></w:p>"
            << QStringList{"   A  "};
        QTest::newRow("in a text box and around it")
            << "<w:p><w:r><w:t xml:space=\"preserve\">out </w:t></w:r><w:r><w:pict><v:shape><v:textbox>"
               "<w:txbxContent><w:p><w:r><w:t>in [%a%]</w:t></w:r></w:p></w:txbxContent></v:textbox></v:shape>"
               "</w:pict></w:r><w:r><w:t xml:space=\"preserve\"> after [%b%]</w:t></w:r></w:p>"
            << QStringList{"out  after B", "in A"};
    }

    void textCommands()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        bool ok = false;
        const QStringList texts = generateTexts(body, &ok);
        QCOMPARE(texts, expected);
        QVERIFY(ok);
        QVERIFY(handler.messages.isEmpty());
    }

    void insertedTextKeepsFormattingAndSpaces()
    {
        const QString body =
            "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">Name: [%na</w:t></w:r>"
            "<w:r><w:rPr><w:i/></w:rPr><w:t>m</w:t></w:r>"
            "<w:r><w:rPr><w:u w:val=\"single\"/></w:rPr><w:t>e%] (x)</w:t></w:r></w:p>"
            "<w:p><w:r><w:rPr><w:color w:val=\"FF0000\"/></w:rPr><w:t>a[%spaced%]b [%a%]</w:t></w:r></w:p>"
            "<w:p><w:pPr><w:jc w:val=\"center\"/></w:pPr><w:r><w:rPr><w:i/></w:rPr><w:t>[%multi%]</w:t></w:r></w:p>";
        const Outcome outcome = generate(DocxBuilder(body));
        QVERIFY(outcome.ok);
        // The value takes the formatting of the run where the command begins;
        // the text after it keeps that of its own run.
        QCOMPARE(runPropertiesOf(outcome.document, "Ivan"), QStringLiteral("<w:rPr><w:b/></w:rPr>"));
        QCOMPARE(runPropertiesOf(outcome.document, "Name: "), QStringLiteral("<w:rPr><w:b/></w:rPr>"));
        QCOMPARE(runPropertiesOf(outcome.document, " (x)"), QStringLiteral("<w:rPr><w:u w:val=\"single\"/></w:rPr>"));
        // A value with outer spaces, and text split off next to a value, keep
        // their spaces in Word.
        const QDomDocument doc = parse(outcome.document);
        const QDomNodeList texts = doc.elementsByTagName("w:t");
        QStringList preserved;
        for (int i = 0; i < texts.size(); ++i) {
            const QDomElement t = texts.at(i).toElement();
            if (t.attribute("xml:space") == "preserve")
                preserved << t.text();
        }
        QVERIFY2(preserved.contains(" padded ") && preserved.contains("b ") && preserved.contains(" (x)"),
                 qPrintable(preserved.join('|')));
        QCOMPARE(runPropertiesOf(outcome.document, " padded "), QStringLiteral("<w:rPr><w:color w:val=\"FF0000\"/></w:rPr>"));
        // Lines of a command alone in its paragraph keep the paragraph's and
        // the command run's properties.
        const QDomNodeList pars = doc.elementsByTagName("w:p");
        QCOMPARE(pars.size(), 4);
        for (int i = 2; i < 4; ++i) {
            QCOMPARE(pars.at(i).firstChildElement("w:pPr").firstChildElement("w:jc").attribute("w:val"),
                     QStringLiteral("center"));
            QVERIFY(!pars.at(i).firstChildElement("w:r").firstChildElement("w:rPr").firstChildElement("w:i").isNull());
        }
    }

    void multiLineInSectionEndingParagraph()
    {
        // The paragraph ends the first section: only its last line may end it.
        const QString body = "<w:p><w:pPr>" + sectPr(9000) + "</w:pPr><w:bookmarkStart w:id=\"1\" w:name=\"m\"/>"
                             + runXml("[%lines%]") + "<w:bookmarkEnd w:id=\"1\"/></w:p>" + par("next");
        const Outcome outcome = generate(DocxBuilder(body));
        QCOMPARE(paragraphs(outcome.document), QStringList({"x", "y", "", "z", "next"}));
        const QDomNodeList pars = parse(outcome.document).elementsByTagName("w:p");
        for (int i = 0; i < 4; ++i)
            QCOMPARE(pars.at(i).firstChildElement("w:pPr").firstChildElement("w:sectPr").isNull(), i != 3);
        QCOMPARE(parse(outcome.document).elementsByTagName("w:bookmarkStart").size(), 1);
    }

    void failedQueryIsMarked()
    {
        bool ok = true;
        QCOMPARE(generateTexts(par("v=[%bad%]"), &ok), QStringList({"v=!!! ОШИБКА !!!"}));
        QVERIFY(!ok);
    }

    void tables_data()
    {
        QTest::addColumn<QString>("templateRow");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("cells");
        const QString plain = cell(runXml("")) + cell(runXml(""));
        QTest::newRow("two result lines") << plain << "[%insert_table%query=rows%]"
                                          << QStringList{"a", "b", "c", "d"};
        QTest::newRow("empty result, replace_empty in every cell")
            << plain << "[%insert_table%query=empty%replace_empty=0%]" << QStringList{"0", "0"};
        QTest::newRow("empty line keeps the template text only")
            << cell(runXml("№ ")) + cell(runXml("")) << "[%insert_table%query=rowsTrail%replace_empty=-%]"
            << QStringList{"№ a", "", "№ ", ""};
        QTest::newRow("extra values ignored") << plain << "[%insert_table%query=rowsWide%]" << QStringList{"x", "y"};
        QTest::newRow("missing values leave the template text")
            << cell(runXml("")) + cell(runXml("t")) << "[%insert_table%query=rowOne%]" << QStringList{"x", "t"};
        QTest::newRow("marks between cells do not shift the values")
            << cell(runXml("")) + "<w:bookmarkStart w:id=\"7\" w:name=\"c\"/><w:bookmarkEnd w:id=\"7\"/>"
                   + cell(runXml(""))
            << "[%insert_table%query=rows%]" << QStringList{"a", "b", "c", "d"};
        QTest::newRow("other runs of a cell stay")
            << cell(runXml("<") + runXml(">")) + cell("<w:pPr><w:rPr><w:b/></w:rPr></w:pPr>")
            << "[%insert_table%query=rows%]" << QStringList{"<a>", "b", "<c>", "d"};
        QTest::newRow("cell paragraph inside a content control")
            << "<w:tc><w:sdt><w:sdtPr><w:id w:val=\"5\"/></w:sdtPr><w:sdtContent><w:p>" + runXml("")
                   + "</w:p></w:sdtContent></w:sdt></w:tc>" + cell(runXml(""))
            << "[%insert_table%query=rows%]" << QStringList{"a", "b", "c", "d"};
        QTest::newRow("command split over runs, paragraph marks around it")
            << plain
            << "<w:proofErr w:type=\"spellStart\"/><w:r><w:t>[%insert_</w:t></w:r><w:r><w:rPr><w:b/></w:rPr>"
               "<w:t>table%query=rows%]</w:t></w:r><w:bookmarkEnd w:id=\"3\"/>"
            << QStringList{"a", "b", "c", "d"};
    }

    void tables()
    {
        QFETCH(QString, templateRow);
        QFETCH(QString, command);
        QFETCH(QStringList, cells);
        const QString commandPar = command.startsWith("[%") ? "<w:p>" + runXml(command) + "</w:p>"
                                                            : "<w:p>" + command + "</w:p>";
        const Outcome outcome = generate(DocxBuilder(par("before") + table(templateRow) + commandPar + par("after")));
        QVERIFY(outcome.ok);
        const QStringList expected = QStringList{"before", "H1", "H2"} + cells + QStringList{"after"};
        QCOMPARE(paragraphs(outcome.document), expected);
        const QDomDocument doc = parse(outcome.document);
        QCOMPARE(doc.elementsByTagName("w:tbl").size(), 1);
        QCOMPARE(doc.elementsByTagName("w:tr").size(), 1 + cells.size() / 2);
        QCOMPARE(doc.elementsByTagName("w:tblGrid").size(), 1);
    }

    void tablePlacementErrors_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("message");
        const QString command = par("[%insert_table%query=rows%]");
        QTest::newRow("not right after a table")
            << table(cell(runXml(""))) + par("between") + command
            << "Ошибка структуры шаблона - команда вставки таблицы должна следовать сразу за таблицей";
        QTest::newRow("table without rows")
            << "<w:tbl><w:tblPr/><w:tblGrid/></w:tbl>" + command
            << "Ошибка структуры шаблона - не найдет шаблонный ряд в таблице";
    }

    void tablePlacementErrors()
    {
        QFETCH(QString, body);
        QFETCH(QString, message);
        const Outcome outcome = generate(DocxBuilder(body + par("after")));
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.templateErrors);
        QCOMPARE(handler.messages, QStringList({message}));
        // The command is dropped; the document goes on.
        const QStringList texts = paragraphs(outcome.document);
        QCOMPARE(texts.last(), QStringLiteral("after"));
        QVERIFY(!texts.join('|').contains("[%"));
    }

    void repeatedBlocks_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");
        const auto block = [](const QString& start, const QString& inner, const QString& end) {
            return par("before") + par(start) + inner + par(end) + par("after");
        };
        QTest::newRow("three copies separated by page breaks")
            << block("[%iterate_start=i%query=three%separate=page%]", par("[%note%]"), "[%iterate_end=i%]")
            << QStringList{"before", "one", "", "<page>", "two", "", "<page>", "three", "after"};
        QTest::newRow("plain separator")
            << block("[%iterate_start=i%query=two%separate=line%]", par("[%note%]"), "[%iterate_end=i%]")
            << QStringList{"before", "one", "", "", "two", "after"};
        QTest::newRow("nested")
            << block("[%iterate_start=i%query=two%]",
                     par("[%iterate_start=j%query=two%]") + par("<[%inner%]>") + par("[%iterate_end=j%]"),
                     "[%iterate_end=i%]")
            << QStringList{"before", "<1.1>", "<1.2>", "<2.1>", "<2.2>", "after"};
        QTest::newRow("count 0 gives nothing")
            << block("[%iterate_start=i%query=zero%]", par("[%note%]"), "[%iterate_end=i%]")
            << QStringList{"before", "after"};
        QTest::newRow("keep_empty gives one copy")
            << block("[%iterate_start=i%query=zero%keep_empty%]", par("[%note%]"), "[%iterate_end=i%]")
            << QStringList{"before", "one", "after"};
        QTest::newRow("end name ignores case, body with a table")
            << block("[%iterate_start=i%query=two%]", table(cell(runXml("r[%note%]"))), "[%iterate_end=I%]")
            << QStringList{"before", "H1", "H2", "rone", "H1", "H2", "rtwo", "after"};
    }

    void repeatedBlocks()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        bool ok = false;
        const QStringList texts = generateTexts(body, &ok);
        QCOMPARE(texts, expected);
        QVERIFY(ok);
    }

    // Word refuses a document in which a table cell does not end with a
    // paragraph, or a text box holds none; commands that consume their own
    // paragraph must not leave such a cell or text box behind.
    void cellsAndTextBoxesEndWithAParagraph_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");
        const QString list = par("[%iterate_start=i%query=zero%]") + par("[%note%]") + par("[%iterate_end=i%]");
        const QString nestedTable = table(cell(runXml("v"))) + par("[%insert_table%query=rows%]");
        QTest::newRow("table command after a nested table")
            << table(QStringLiteral("<w:tc>%1</w:tc>").arg(nestedTable))
            << QStringList{"H1", "H2", "H1", "H2", "va", "vc", ""};
        QTest::newRow("empty block alone in a cell")
            << table(QStringLiteral("<w:tc>%1</w:tc>").arg(list)) << QStringList{"H1", "H2", ""};
        QTest::newRow("empty block alone in a text box")
            << QStringLiteral("<w:p><w:r><w:t>box</w:t></w:r><w:r><mc:AlternateContent "
                              "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
                              "<mc:Fallback><w:pict><v:shape><v:textbox><w:txbxContent>%1</w:txbxContent>"
                              "</v:textbox></v:shape></w:pict></mc:Fallback></mc:AlternateContent></w:r></w:p>")
                   .arg(list)
            << QStringList{"box", ""};
    }

    void cellsAndTextBoxesEndWithAParagraph()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        const Outcome outcome = generate(DocxBuilder(body));
        QVERIFY(outcome.ok);
        QCOMPARE(paragraphs(outcome.document), expected);
        const QDomDocument doc = parse(outcome.document);
        for (const QString& name : {QStringLiteral("w:tc"), QStringLiteral("w:txbxContent")}) {
            const QDomNodeList holders = doc.elementsByTagName(name);
            for (int i = 0; i < holders.size(); ++i) {
                const QDomElement last = holders.at(i).lastChildElement();
                QVERIFY2(!last.isNull() && last.tagName() == QLatin1String("w:p"),
                         qPrintable(name + QLatin1String(" ends with ") + last.tagName()));
            }
        }
    }

    void sectionSeparator()
    {
        const QString body = par("[%iterate_start=i%query=two%separate=section%]") + par("[%note%]")
                             + par("[%iterate_end=i%]") + sectPr(11111);
        const Outcome outcome = generate(DocxBuilder(body));
        QCOMPARE(paragraphs(outcome.document), QStringList({"one", "", "", "two"}));
        // The separator ends a section with the properties of the block's section.
        const QDomNodeList sections = parse(outcome.document).elementsByTagName("w:sectPr");
        QCOMPARE(sections.size(), 2);
        QCOMPARE(sections.at(0).parentNode().nodeName(), QStringLiteral("w:pPr"));
        QCOMPARE(sections.at(0).firstChildElement("w:pgSz").attribute("w:w"), QStringLiteral("11111"));
    }

    void iterationErrors_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("no end") << par("[%iterate_start=i%query=two%]") + par("[%a%]")
                                << "Ошибка структуры шаблона: для блока итераций с переменной i не найден его конец"
                                << QStringList{"A"};
        QTest::newRow("same variable nested")
            << par("[%iterate_start=i%query=two%]") + par("[%iterate_start=i%query=two%]") + par("[%a%]")
                   + par("[%iterate_end=i%]") + par("[%b%]")
            << "Ошибка структуры шаблона: для блока итераций с переменной i не найден его конец"
            << QStringList{"A", "A", "B"};
    }

    void iterationErrors()
    {
        QFETCH(QString, body);
        QFETCH(QString, message);
        QFETCH(QStringList, expected);
        const Outcome outcome = generate(DocxBuilder(body));
        QVERIFY(!outcome.ok);
        QVERIFY(outcome.templateErrors);
        QVERIFY2(handler.messages.contains(message), qPrintable(handler.messages.join('\n')));
        QCOMPARE(paragraphs(outcome.document), expected);
    }

    void deleteEmptySections_data()
    {
        QTest::addColumn<int>("section");
        QTest::addColumn<QString>("query");
        QTest::addColumn<bool>("emptyClosing");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("bodyWidth");
        QTest::newRow("middle, empty") << 2 << "empty" << false << QStringList{"one", "end1", "three"} << 3000;
        QTest::newRow("middle, zero") << 2 << "zero" << false << QStringList{"one", "end1", "three"} << 3000;
        QTest::newRow("middle, value") << 2 << "a" << false
                                       << QStringList{"one", "end1", "two A", "end2", "three"} << 3000;
        QTest::newRow("last, closing paragraph with text stays")
            << 3 << "empty" << false << QStringList{"one", "end1", "two ", "end2"} << 2000;
        QTest::newRow("in the paragraph that ends the section")
            << 12 << "zero" << false << QStringList{"one", "end1", "three"} << 3000;
        QTest::newRow("last, empty closing paragraph goes")
            << 3 << "empty" << true << QStringList{"one", "end1", "two "} << 2000;
    }

    void deleteEmptySections()
    {
        QFETCH(int, section);
        QFETCH(QString, query);
        QFETCH(bool, emptyClosing);
        QFETCH(QStringList, expected);
        QFETCH(int, bodyWidth);
        const QString command = QStringLiteral("[%query=%1%delete_empty_section%]").arg(query);
        const QString end2 = section == 12 ? "end2" + command : "end2";
        const QString closing2 = emptyClosing ? "<w:p><w:pPr>" + sectPr(2000) + "</w:pPr></w:p>"
                                              : par(end2, "<w:pPr>" + sectPr(2000) + "</w:pPr>");
        const QString body = par("one") + par("end1", "<w:pPr>" + sectPr(1000) + "</w:pPr>")
                             + par(section == 2 ? "two " + command : "two ") + closing2
                             + par(section == 3 ? "three" + command : "three") + sectPr(3000);
        const Outcome outcome = generate(DocxBuilder(body));
        QCOMPARE(paragraphs(outcome.document), expected);
        const QDomElement bodyElement = parse(outcome.document).documentElement().firstChildElement("w:body");
        const QDomElement last = bodyElement.lastChildElement();
        QCOMPARE(last.nodeName(), QStringLiteral("w:sectPr"));
        QCOMPARE(last.firstChildElement("w:pgSz").attribute("w:w").toInt(), bodyWidth);
    }

    void singleOrAllSectionsStay()
    {
        QCOMPARE(generateTexts(par("one") + par("[%query=empty%delete_empty_section%]x")), QStringList({"one", "x"}));
        const QString all = par("[%query=empty%delete_empty_section%]a", "<w:pPr>" + sectPr(1000) + "</w:pPr>")
                            + par("[%query=zero%delete_empty_section%]b") + sectPr(2000);
        QCOMPARE(generateTexts(all), QStringList({"a", "0b"}));
    }

    void headersAndFooters()
    {
        DocxBuilder builder(par("body [%a%]"));
        builder.header(par("head [%name%]"));
        builder.header(par("plain [x] 5% and 6%"));
        builder.footer("<w:p><w:r><w:t>page [%</w:t></w:r><w:r><w:rPr><w:b/></w:rPr><w:t>b%] end</w:t></w:r></w:p>");
        const QString name = newName();
        const Outcome outcome = generate(builder, name);
        QVERIFY(outcome.ok);
        QCOMPARE(paragraphs(outcome.document), QStringList({"body A"}));
        QCOMPARE(paragraphs(zipEntry(outcome.path, "word/header1.xml")), QStringList({"head Ivan"}));
        QCOMPARE(paragraphs(zipEntry(outcome.path, "word/footer1.xml")), QStringList({"page B end"}));
        // A part without a command is left exactly as it was.
        const QString templatePath = dir.path() + "/" + name + ".docx";
        QCOMPARE(zipEntry(outcome.path, "word/header2.xml"), zipEntry(templatePath, "word/header2.xml"));
    }

    // Commands in footnotes and endnotes are carried out like those in the
    // body, as the ODT and RTF generators do with notes.
    void footnotesAndEndnotes_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("root");
        QTest::addColumn<QString>("note");
        QTest::newRow("footnote") << "word/footnotes.xml" << "w:footnotes" << "w:footnote";
        QTest::newRow("endnote") << "word/endnotes.xml" << "w:endnotes" << "w:endnote";
    }
    void footnotesAndEndnotes()
    {
        QFETCH(QString, entry);
        QFETCH(QString, root);
        QFETCH(QString, note);
        const QString notes = QStringLiteral(
                                  "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<%1 "
                                  "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                                  "<%2 w:id=\"1\">%3</%2></%1>")
                                  .arg(root, note, par("Note: [%name%], [%query=empty%replace_empty=-%]"));
        const Outcome outcome = generate(DocxBuilder(par("body [%a%]")).entry(entry, notes.toUtf8()));
        QVERIFY(outcome.ok);
        QCOMPARE(paragraphs(outcome.document), QStringList({"body A"}));
        QCOMPARE(paragraphs(zipEntry(outcome.path, entry)), QStringList({"Note: Ivan, -"}));
    }

    void pictures()
    {
        const QString pictureRun = "<w:r><w:rPr><w:b/></w:rPr><w:t>[%insert_picture%query=pic%]</w:t></w:r>";
        DocxBuilder builder(par("[%insert_picture%query=pic%]") + "<w:p>" + pictureRun + "</w:p>"
                            + par("x[%insert_picture%query=nopic%]y") + par("[%insert_picture%query=empty%]"));
        builder.withoutVmlNamespace();
        builder.header("<w:p>" + pictureRun + "</w:p>");             // no relationships of its own
        builder.header("<w:p>" + pictureRun + "</w:p>", true);       // its own, using rId3
        builder.entry("word/media/image3.jpeg", "not really a picture");
        builder.documentRelationships("<Relationship Id=\"rId9\" Type=\"http://schemas.openxmlformats.org/"
                                      "officeDocument/2006/relationships/image\" Target=\"media/image3.jpeg\"/>");
        const QString name = newName();
        const Outcome outcome = generate(builder, name);
        QVERIFY(outcome.ok);
        const QString templatePath = dir.path() + "/" + name + ".docx";

        // Template entries in their order, then the pictures, then the new
        // relationships part of the header that had none.
        const QStringList expectedNames =
            zipEntryNames(templatePath)
            + QStringList{"word/media/image4.png", "word/media/image5.png", "word/media/image6.png",
                          "word/media/image7.png", "word/_rels/header1.xml.rels"};
        QCOMPARE(zipEntryNames(outcome.path), expectedNames);
        QCOMPARE(zipEntry(outcome.path, "word/media/image5.png"), readFile(dir.path() + "/pic.png"));

        // The body's pictures in the main part's relationships, after rId9.
        const auto relTargets = [&](const QString& entry) {
            QMap<QString, QString> targets;
            const QDomNodeList rels = parse(zipEntry(outcome.path, entry)).elementsByTagName("Relationship");
            for (int i = 0; i < rels.size(); ++i) {
                const QDomElement r = rels.at(i).toElement();
                if (r.attribute("Type").endsWith("/relationships/image"))
                    targets.insert(r.attribute("Id"), r.attribute("Target"));
            }
            return targets;
        };
        QCOMPARE(relTargets("word/_rels/document.xml.rels"),
                 (QMap<QString, QString>{{"rId9", "media/image3.jpeg"},
                                         {"rId10", "media/image4.png"},
                                         {"rId11", "media/image5.png"}}));
        // Each header's picture in that header's own relationships.
        using Targets = QMap<QString, QString>;
        QCOMPARE(relTargets("word/_rels/header1.xml.rels"), Targets({{"rId1", "media/image6.png"}}));
        QCOMPARE(relTargets("word/_rels/header2.xml.rels"), Targets({{"rId4", "media/image7.png"}}));
        QVERIFY(zipEntry(outcome.path, "word/_rels/header2.xml.rels").contains("http://example.org/"));

        // The picture markup refers to those ids, sized by the picture's
        // resolution, in a run that keeps its properties but not its text.
        const QDomDocument doc = parse(outcome.document);
        const QDomNodeList shapes = doc.elementsByTagName("v:imagedata");
        QCOMPARE(shapes.size(), 2);
        QCOMPARE(shapes.at(0).toElement().attribute("r:id"), QStringLiteral("rId10"));
        QCOMPARE(shapes.at(0).parentNode().toElement().attribute("style"), QStringLiteral("width:70.9pt;height:36.9pt"));
        QCOMPARE(shapes.at(0).parentNode().toElement().attribute("stroked"), QStringLiteral("f")); // no frame
        const QDomElement secondRun = shapes.at(1).parentNode().parentNode().parentNode().toElement();
        QVERIFY(!secondRun.firstChildElement("w:rPr").firstChildElement("w:b").isNull());
        QVERIFY(secondRun.firstChildElement("w:t").isNull());
        QCOMPARE(paragraphs(outcome.document), QStringList({"", "", "xy", ""}));
        QCOMPARE(parse(zipEntry(outcome.path, "word/header1.xml"))
                     .elementsByTagName("v:imagedata").at(0).toElement().attribute("r:id"),
                 QStringLiteral("rId1"));

        // Undeclared prefixes of the picture markup are declared.
        const QDomElement root = doc.documentElement();
        QCOMPARE(root.attribute("xmlns:v"), QStringLiteral("urn:schemas-microsoft-com:vml"));
        QVERIFY(zipEntry(outcome.path, "word/header1.xml").contains("xmlns:v=\"urn:schemas-microsoft-com:vml\""));

        // A content type for png, before the other defaults; jpeg was not inserted.
        const QDomElement types = parse(zipEntry(outcome.path, "[Content_Types].xml")).documentElement();
        const QDomElement firstDefault = types.firstChildElement("Default");
        QCOMPARE(firstDefault.attribute("Extension"), QStringLiteral("png"));
        QCOMPARE(firstDefault.attribute("ContentType"), QStringLiteral("image/png"));
        QCOMPARE(types.elementsByTagName("Default").size(), 3);
    }

    void contentTypesUnchangedWhenKnown()
    {
        // A template that already declares png keeps its content types, in
        // whatever case it wrote the extension.
        const QString plainPath = dir.path() + "/" + newName() + ".docx";
        QVERIFY(DocxBuilder(par("[%insert_picture%query=pic%]")).write(plainPath));
        QByteArray types = zipEntry(plainPath, "[Content_Types].xml");
        types.replace("<Default Extension=\"xml\"",
                      "<Default Extension=\"PNG\" ContentType=\"image/png\"/><Default Extension=\"xml\"");
        const QString templatePath = dir.path() + "/" + newName() + ".docx";
        QVERIFY(ZipUtil::copyReplaceArchiveFiles(templatePath, plainPath, {{"[Content_Types].xml", &types}}));
        const QString out = templatePath + "_out.docx";
        DocProc proc(xml, out, templatePath, "Queries/docx", nullptr);
        QVERIFY(proc.generateDocument());
        QCOMPARE(zipEntry(out, "[Content_Types].xml"), types);
        QVERIFY(zipEntryNames(out).contains("word/media/image1.png"));
    }

    void tiffContentType()
    {
        QByteArray out;
        QVERIFY(DocxRelations::addImageContentTypes(
            out, "<Types><Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>", {"tif"}, nullptr));
        const QDomElement added = parse(out).documentElement().firstChildElement("Default");
        QCOMPARE(added.attribute("Extension"), QStringLiteral("tif"));
        QCOMPARE(added.attribute("ContentType"), QStringLiteral("image/tiff"));
    }

    void pictureNameWithoutExtension()
    {
        // The picture's own format gives the extension of its entry.
        const Outcome outcome = generate(DocxBuilder(par("[%insert_picture%query=bare%]")));
        QVERIFY(outcome.ok);
        QVERIFY(zipEntryNames(outcome.path).contains("word/media/image1.png"));
        const QDomElement types = parse(zipEntry(outcome.path, "[Content_Types].xml")).documentElement();
        QCOMPARE(types.firstChildElement("Default").attribute("ContentType"), QStringLiteral("image/png"));
    }

    void packageKeepsEntriesAndOrder()
    {
        DocxBuilder builder(par("[%a%]"));
        builder.entry("word/styles.xml", "<?xml version=\"1.0\"?><w:styles xmlns:w=\"urn:x\"/>");
        builder.entry("docProps/app.xml", "<Properties>  spaced </Properties>");
        builder.entry("customXml/item1.xml", "<a/>");
        builder.footer(par("no command"));
        const QString name = newName();
        const Outcome outcome = generate(builder, name);
        QVERIFY(outcome.ok);
        const QString templatePath = dir.path() + "/" + name + ".docx";
        const QStringList names = zipEntryNames(templatePath);
        QCOMPARE(zipEntryNames(outcome.path), names);
        for (const QString& entry : names) {
            if (entry != "word/document.xml")
                QVERIFY2(zipEntry(outcome.path, entry) == zipEntry(templatePath, entry), qPrintable(entry));
        }
        // The main part is written without added whitespace.
        QVERIFY(outcome.document.startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<w:document"));
        QVERIFY(!outcome.document.contains("\n "));
    }

    void loadFailures_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("exists");
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not a package") << QByteArray("plain text") << true;
        DocxBuilder broken;
        QTemporaryDir temp;
        broken.body("<w:p><w:r><w:t>unclosed</w:r></w:p>");
        broken.write(temp.path() + "/b.docx");
        QTest::newRow("main part not well-formed") << readFile(temp.path() + "/b.docx") << true;
    }

    void loadFailures()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, exists);
        const QString path = dir.path() + "/" + newName() + ".docx";
        if (exists)
            writeFile(path, bytes);
        const QString out = path + "_out.docx";
        DocProc proc(xml, out, path, "Queries/docx", nullptr);
        QVERIFY(!proc.generateDocument());
        QVERIFY(!QFileInfo::exists(out));
        QTRY_VERIFY(log.join('\n').contains(
            QStringLiteral("Ошибка загрузки шаблона документа %1").arg(QDir::toNativeSeparators(path))));
    }

    void saveFailure_data()
    {
        QTest::addColumn<bool>("fullDisk");
        QTest::newRow("missing folder") << false;
        QTest::newRow("full disk keeps the old document") << true;
    }
    void saveFailure()
    {
        QFETCH(bool, fullDisk);
        const QString templatePath = dir.path() + "/" + newName() + ".docx";
        // Incompressible and larger than the small file system, so the new package cannot fit.
        QVERIFY(DocxBuilder(par("[%a%]")).entry("word/media/noise.bin", incompressible(100000)).write(templatePath));
        QString out = dir.path() + "/no/such/folder/out.docx";
        if (fullDisk) {
            const QString full = dir.path() + "/" + newName();
            QDir().mkpath(full);
            if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=64k") != 0)
                QSKIP("mounting a small file system needs the right to mount");
            out = full + "/out.docx";
            QVERIFY(writeFile(out, "old good document"));
        }
        DocProc proc(xml, out, templatePath, "Queries/docx", nullptr);
        const bool made = proc.generateDocument();
        const QByteArray left = fullDisk ? readFile(out) : QByteArray();
        const QStringList halfWritten =
            QDir(QFileInfo(out).path()).entryList({".pw-*"}, QDir::Files | QDir::Hidden);
        if (fullDisk)
            ::umount2(QFile::encodeName(QFileInfo(out).path()).constData(), MNT_DETACH);
        QVERIFY(!made);
        QTRY_VERIFY(log.join('\n').contains(
            QStringLiteral("Ошибка сохранения результирующего документа %1").arg(QDir::toNativeSeparators(out))));
        QCOMPARE(left, fullDisk ? QByteArray("old good document") : QByteArray());
        QVERIFY2(halfWritten.isEmpty(), qPrintable(halfWritten.join(' ')));
    }

    // A template entry that cannot be read: no document, not even a
    // half-written one, stays behind under the document's name, and the
    // log names the entry.
    void damagedTemplateEntryLeavesNoDocument_data()
    {
        QTest::addColumn<bool>("inData");
        QTest::newRow("entry header") << false;
        QTest::newRow("compressed data") << true;
    }
    void damagedTemplateEntryLeavesNoDocument()
    {
        QFETCH(bool, inData);
        const QString templatePath = dir.path() + "/" + newName() + ".docx";
        // Long enough that the damaged byte lies inside the entry's compressed data.
        QVERIFY(DocxBuilder(par("[%a%]")).entry("word/last.bin", incompressible(4000)).write(templatePath));
        QByteArray bytes = readFile(templatePath);
        const int header = bytes.lastIndexOf(QByteArray("PK\x03\x04"));
        QVERIFY(header > 0);
        if (inData) {
            const int nameLength = quint8(bytes[header + 26]) | quint8(bytes[header + 27]) << 8;
            const int extraLength = quint8(bytes[header + 28]) | quint8(bytes[header + 29]) << 8;
            const int damaged = header + 30 + nameLength + extraLength + 200;
            bytes[damaged] = char(bytes.at(damaged) ^ 0x55);
        } else {
            bytes[header + 2] = 'X';
        }
        QVERIFY(writeFile(templatePath, bytes));
        const QString out = dir.path() + "/" + newName() + "_out.docx";
        DocProc proc(xml, out, templatePath, "Queries/docx", nullptr);
        QVERIFY(!proc.generateDocument());
        QVERIFY(!QFileInfo::exists(out));
        // The damage is found when the template is first read.
        QTRY_VERIFY(log.join('\n').contains(QStringLiteral("Ошибка загрузки шаблона документа %1: повреждён элемент word/last.bin")
                                                 .arg(QDir::toNativeSeparators(templatePath))));
    }

    void templateCacheServesRepeatedDocuments()
    {
        const QString name = newName();
        const QString templatePath = dir.path() + "/" + name + ".docx";
        const QString body = par("[%iterate_start=i%query=three%]") + par("n [%note%]") + par("[%iterate_end=i%]")
                             + table(cell(runXml("")) + cell(runXml(""))) + par("[%insert_table%query=rows%]")
                             + par("[%lines%]") + "<w:p>" + runXml("[%na");
        QVERIFY(DocxBuilder(body + runXml("me%] end") + "</w:p>").write(templatePath));
        const auto render = [&](const QString& out) {
            DocProc proc(xml, out, templatePath, "Queries/docx", nullptr);
            return proc.generateDocument() ? zipEntry(out, "word/document.xml") : QByteArray();
        };
        TemplateCache::clear();
        const QByteArray first = render(dir.path() + "/c1.docx");
        QVERIFY(!first.isEmpty());
        // Walking a cached template must leave it as it was.
        QCOMPARE(render(dir.path() + "/c2.docx"), first);
        QCOMPARE(TemplateCache::partCount(), 1);

        // Documents from other threads: each thread parses for itself.
        QVector<QByteArray> fromThreads(2);
        QList<QThread*> threads;
        for (int t = 0; t < 2; ++t) {
            threads << QThread::create([&, t] {
                for (int n = 0; n < 5; ++n) {
                    const QByteArray doc = render(dir.path() + QStringLiteral("/th%1_%2.docx").arg(t).arg(n));
                    if (doc != first)
                        return;
                }
                fromThreads[t] = first;
            });
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(60000));
            delete thread;
        }
        QCOMPARE(fromThreads, QVector<QByteArray>(2, first));

        // A changed template is read again.
        QVERIFY(DocxBuilder(body + runXml("me%] changed!") + "</w:p>").write(templatePath));
        QVERIFY(paragraphs(render(dir.path() + "/c3.docx")).contains("Ivan changed!"));
        QCOMPARE(TemplateCache::partCount(), 1);
    }

    void largeInvoice()
    {
        // An invoice like the benchmark's: 16 fields, 200 rows, 10 repeated
        // paragraphs, made thirty times over one cached template. The time
        // per document is reported for reading; speed itself is judged by
        // plinthworks-bench, not here.
        QString rows;
        for (int i = 1; i <= 200; ++i)
            rows += QStringLiteral("%1\tItem %1\t%1\t10.00\t%2.00\n").arg(i).arg(i * 10);
        rows.chop(1);
        res.addLiteralQuery("docx", "items", rows);
        res.addLiteralQuery("docx", "ten", "10");
        QString body;
        for (int i = 0; i < 16; ++i)
            body += "<w:p><w:r><w:rPr><w:b/></w:rPr><w:t xml:space=\"preserve\">Field: </w:t></w:r>"
                    + runXml("[%name%]") + "</w:p>";
        QString row;
        for (int c = 0; c < 5; ++c)
            row += cell("<w:r><w:t></w:t></w:r>");
        body += table(row) + par("[%insert_table%query=items%]");
        body += par("[%iterate_start=i%query=ten%]") + par("[%note%]") + par("[%iterate_end=i%]");
        const QString templatePath = dir.path() + "/invoice.docx";
        QVERIFY(DocxBuilder(body).write(templatePath));
        const int count = 30;
        QElapsedTimer timer;
        timer.start();
        for (int n = 0; n < count; ++n) {
            DocProc proc(xml, dir.path() + QStringLiteral("/inv%1.docx").arg(n), templatePath, "Queries/docx",
                         nullptr);
            QVERIFY(proc.generateDocument());
        }
        const double perDocument = double(timer.elapsed()) / count;
        qInfo("DOCX invoice with a 200-row table: %.1f ms per document", perDocument);
        QCOMPARE(paragraphs(zipEntry(dir.path() + "/inv0.docx", "word/document.xml")).count("Field: Ivan"), 16);
        QCOMPARE(paragraphs(zipEntry(dir.path() + QStringLiteral("/inv%1.docx").arg(count - 1), "word/document.xml")),
                 paragraphs(zipEntry(dir.path() + "/inv0.docx", "word/document.xml")));
    }
};

QTEST_GUILESS_MAIN(TestDocProc)
#include "tst_docproc.moc"
