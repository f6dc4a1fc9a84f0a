// Walking, copying, whitespace-keeping parsing and compact serialising of DOM trees.
#include "domutil.h"
#include "testsupport.h"
#include "ziputil.h"

#include <QDir>
#include <QTextCodec>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

const char* const twoParagraphs =
    "<w:document xmlns:w=\"urn:w\"><w:body>"
    "<w:p><w:r><w:t>1</w:t></w:r><w:r><w:t>2</w:t></w:r><w:r><w:t>3</w:t></w:r></w:p>"
    "<w:p w:rsidR=\"X\"><w:r><w:t>4</w:t></w:r><w:r><w:t>5</w:t></w:r></w:p>"
    "</w:body></w:document>";

QDomDocument parsed(const QString& xml)
{
    QDomDocument doc;
    DomUtil::parseDocument(doc, xml);
    return doc;
}

QString compact(const QDomDocument& doc)
{
    QByteArray bytes;
    DomUtil::rawDataFromDoc(bytes, doc, nullptr, -1);
    return QString::fromUtf8(bytes);
}

// The n-th element (from 0) named `name` in document order.
QDomNode element(const QDomDocument& doc, const QString& name, int n = 0)
{
    return doc.elementsByTagName(name).item(n);
}

// All character data in document order, as an application reading the text sees it.
QString domText(const QDomDocument& doc)
{
    QString text;
    for (QDomNode node = doc.firstChild(); !node.isNull(); node = DomUtil::nextNode(node)) {
        if (node.isText())
            text += node.nodeValue();
    }
    return text;
}

// The same, read from the XML text by an independent reader.
QString sourceText(const QByteArray& xml)
{
    QString text;
    QXmlStreamReader reader(xml);
    reader.setNamespaceProcessing(false);
    int depth = 0;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement())
            ++depth;
        else if (reader.isEndElement())
            --depth;
        else if ((reader.isCharacters() || reader.isEntityReference()) && depth > 0)
            text += reader.text();
    }
    return text;
}

QStringList rootNamespaces(const QDomDocument& doc)
{
    QStringList declarations;
    const QDomNamedNodeMap attributes = doc.documentElement().attributes();
    for (int i = 0; i < attributes.count(); ++i) {
        const QDomAttr attribute = attributes.item(i).toAttr();
        if (attribute.name().startsWith("xmlns"))
            declarations << attribute.name() + "=" + attribute.value();
    }
    declarations.sort();
    return declarations;
}

} // namespace

class TestDomUtil : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;

private slots:
    void initTestCase() { TestSupport::initHermeticEnvironment(); }

    void walkInDocumentOrder()
    {
        const QDomDocument doc = parsed("<r><a><b/><c>t</c></a><d/></r>");
        QStringList names;
        for (QDomNode node = doc.documentElement(); !node.isNull(); node = DomUtil::nextNode(node))
            names << node.nodeName();
        QCOMPARE(names, QStringList({"r", "a", "b", "c", "#text", "d"}));
        QVERIFY(DomUtil::nextNode(QDomNode()).isNull());

        const QDomNode a = element(doc, "a");
        QCOMPARE(DomUtil::lastNode(a).nodeValue(), QString("t"));
        QCOMPARE(DomUtil::lastNode(element(doc, "b")), element(doc, "b"));
        QCOMPARE(DomUtil::nextLastNode(a), element(doc, "d"));
        QVERIFY(DomUtil::nextLastNode(doc.documentElement()).isNull());
        QVERIFY(DomUtil::lastNode(QDomNode()).isNull());

        const QDomNode text = DomUtil::lastNode(a);
        QCOMPARE(DomUtil::ancestorNode("a", text), a);
        QCOMPARE(DomUtil::ancestorNode("c", element(doc, "c")), element(doc, "c"));
        QVERIFY(DomUtil::ancestorNode("d", text).isNull());
    }

    void nodePathRunsFromTheDocument()
    {
        const QDomDocument doc = parsed(twoParagraphs);
        QCOMPARE(DomUtil::nodePath(element(doc, "w:p", 1)), QString("#document/w:document/w:body/w:p"));
        QCOMPARE(DomUtil::nodePath(doc), QString("#document"));
        QCOMPARE(DomUtil::nodePath(QDomNode()), QString());
    }

    void findNode_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("isRegExp");
        QTest::addColumn<QString>("start"); // element name, n-th occurrence after '#'
        QTest::addColumn<QString>("end");   // empty: null
        QTest::addColumn<QString>("expected");

        auto row = [](const char* name, const char* pattern, bool isRegExp, const char* start,
                      const char* end, const char* expected) {
            QTest::newRow(name) << QString(pattern) << isRegExp << QString(start) << QString(end)
                                << QString(expected);
        };
        row("start included", "w:p", false, "w:p#0", "", "w:p#0");
        row("to the end of the tree", "w:t", false, "w:r#3", "", "w:t#3");
        row("end excluded", "w:p", false, "w:r#0", "w:p#1", "");
        row("start equal to end", "w:p", false, "w:p#0", "w:p#0", "");
        row("name is case-sensitive", "W:P", false, "w:body#0", "", "");
        row("pattern", "w:(r|t)", true, "w:p#1", "", "w:r#2");
        row("pattern matches whole name", "w:r", true, "w:rPr#0", "", "w:r#0");
        row("pattern, start equal to end", "w:.*", true, "w:r#1", "w:r#1", "");
    }

    void findNode()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, isRegExp);
        QFETCH(QString, start);
        QFETCH(QString, end);
        QFETCH(QString, expected);
        const QDomDocument doc = parsed("<w:document xmlns:w=\"urn:w\"><w:body><w:p><w:pPr><w:rPr/></w:pPr>"
                                        "<w:r><w:t>1</w:t></w:r><w:r><w:t>2</w:t></w:r></w:p>"
                                        "<w:p><w:r><w:t>3</w:t></w:r><w:r><w:t>4</w:t></w:r></w:p>"
                                        "</w:body></w:document>");
        auto node = [&](const QString& wanted) {
            return wanted.isEmpty() ? QDomNode()
                                    : element(doc, wanted.section('#', 0, 0), wanted.section('#', 1).toInt());
        };
        const QDomNode found = isRegExp ? DomUtil::findNode(QRegExp(pattern), node(start), node(end))
                                        : DomUtil::findNode(pattern, node(start), node(end));
        QCOMPARE(found, node(expected));
    }

    void copyNodesAcrossParagraphs()
    {
        const QDomDocument source = parsed(twoParagraphs);
        QDomDocument result = parsed("<w:document xmlns:w=\"urn:w\"><w:body><w:p/></w:body></w:document>");
        const QDomNode dp = element(result, "w:p");

        const QDomNode last = DomUtil::copyNodes(dp, element(source, "w:r", 1), element(source, "w:r", 3));

        QCOMPARE(compact(result), QString("<w:document xmlns:w=\"urn:w\"><w:body>"
                                          "<w:p><w:r><w:t>2</w:t></w:r><w:r><w:t>3</w:t></w:r></w:p>"
                                          "<w:p w:rsidR=\"X\"/></w:body></w:document>"));
        QCOMPARE(last, element(result, "w:p", 1));
        QCOMPARE(last.ownerDocument(), result);
        // Nothing to copy.
        QVERIFY(DomUtil::copyNodes(dp, element(source, "w:r", 1), element(source, "w:r", 1)).isNull());
        QVERIFY(DomUtil::copyNodes(QDomNode(), element(source, "w:r", 1), QDomNode()).isNull());
    }

    void copyNodesSynClimbsToTheSourceLevel()
    {
        const QDomDocument source = parsed(twoParagraphs);
        QDomDocument result = parsed("<w:document xmlns:w=\"urn:w\"><w:body>"
                                     "<w:p><w:r><w:t>a</w:t></w:r></w:p></w:body></w:document>");
        // Three levels below the body, whose counterpart holds the source paragraphs.
        const QDomNode deep = element(result, "w:t");

        const QDomNode last = DomUtil::copyNodesSyn(deep, element(source, "w:p", 1), QDomNode());

        QCOMPARE(compact(result),
                 QString("<w:document xmlns:w=\"urn:w\"><w:body><w:p><w:r><w:t>a</w:t></w:r></w:p>"
                         "<w:p w:rsidR=\"X\"><w:r><w:t>4</w:t></w:r><w:r><w:t>5</w:t></w:r></w:p>"
                         "</w:body></w:document>"));
        QCOMPARE(last.nodeValue(), QString("5"));
    }

    void copyNodesSynWithoutCopyReturnsDest()
    {
        const QDomDocument source = parsed(twoParagraphs);
        QDomDocument result = parsed("<other><w:t/></other>");
        const QDomNode dest = element(result, "w:t");
        const QString before = compact(result);
        // Nothing between start and end, and a destination with no counterpart.
        QCOMPARE(DomUtil::copyNodesSyn(dest, element(source, "w:p"), element(source, "w:p")), dest);
        QCOMPARE(DomUtil::copyNodesSyn(dest, element(source, "w:p"), QDomNode()), dest);
        QCOMPARE(compact(result), before);
        QVERIFY(DomUtil::copyNodesSyn(QDomNode(), element(source, "w:p"), QDomNode()).isNull());
    }

    void parseAndWriteRoundTrip_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<QString>("expected");

        const QString same;
        QTest::newRow("spaces-only run text")
            << "<w:p xmlns:w=\"urn:w\"><w:r><w:t xml:space=\"preserve\">   </w:t></w:r></w:p>" << same;
        QTest::newRow("space between spans")
            << "<text:p xmlns:text=\"urn:t\"><text:span>a</text:span> <text:span>b</text:span></text:p>"
            << same;
        QTest::newRow("line break and tab in text") << "<a>\n\t<b/>\n</a>" << same;
        QTest::newRow("entities decoded, written as needed")
            << "<a>x &amp; y &lt; z &gt; &#65;&#x42; &quot;q&quot; &apos;</a>"
            << "<a>x &amp; y &lt; z > AB \"q\" '</a>";
        QTest::newRow("end of CDATA marker in text") << "<a>]]&gt;</a>" << same;
        QTest::newRow("carriage return in text") << "<a>x&#13;y</a>"
                                                 << "<a>x&#xd;y</a>";
        QTest::newRow("attribute escapes") << "<a v=\"1&#10;2&#9;3&#13; &quot;q&quot; 'a' &lt;&amp;>\"/>"
                                           << "<a v=\"1&#xa;2&#x9;3&#xd; &quot;q&quot; 'a' &lt;&amp;>\"/>";
        QTest::newRow("CDATA kept") << "<a><![CDATA[x<y]]></a>" << same;
        QTest::newRow("comment adds no line break") << "<w:t>abc<!--c--></w:t>" << same;
        QTest::newRow("processing instruction adds no line break") << "<a>x<?pi data?></a>" << same;
        QTest::newRow("declaration first, own line")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<a/>"
            << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<a/>";
        QTest::newRow("document type dropped") << "<!DOCTYPE a><a/>"
                                               << "<a/>";
        QTest::newRow("whitespace outside the root dropped") << "\n<a/>\n\n"
                                                             << "<a/>";
        QTest::newRow("namespace declarations kept")
            << "<w:document xmlns:w=\"urn:w\"><w:body xmlns=\"urn:d\"/></w:document>" << same;
    }

    void parseAndWriteRoundTrip()
    {
        QFETCH(QString, xml);
        QFETCH(QString, expected);
        QDomDocument doc;
        QVERIFY(DomUtil::parseDocument(doc, xml));
        QCOMPARE(compact(doc), expected.isNull() ? xml : expected);
    }

    void parsedTreeUsesQualifiedNames()
    {
        QDomDocument doc;
        QVERIFY(DomUtil::parseDocument(
            doc, QByteArray("<?xml version=\"1.0\"?><w:p xmlns:w=\"urn:w\" w:a=\"1\"><w:t> </w:t></w:p>")));
        QVERIFY(doc.firstChild().isProcessingInstruction());
        QCOMPARE(doc.firstChild().nodeName(), QString("xml"));
        QCOMPARE(doc.documentElement().nodeName(), QString("w:p"));
        QCOMPARE(doc.documentElement().attribute("w:a"), QString("1"));
        QCOMPARE(doc.documentElement().attribute("xmlns:w"), QString("urn:w"));
        QCOMPARE(doc.documentElement().firstChild().firstChild().nodeValue(), QString(" "));
    }

    void parseFailureIsReported()
    {
        QDomDocument doc = parsed("<old/>");
        QString message;
        int line = 0;
        int column = 0;
        QVERIFY(!DomUtil::parseDocument(doc, QString("<a>\n<b></a>"), &message, &line, &column));
        QVERIFY(!message.isEmpty());
        QCOMPARE(line, 2);
        QVERIFY(column > 0);
        QVERIFY(doc.documentElement().isNull());
        QVERIFY(!DomUtil::parseDocument(doc, QString()));
    }

    void writtenValuesSurviveReading_data()
    {
        QTest::addColumn<QString>("value");
        QTest::newRow("markup characters") << "a & b < c > d ]]> e";
        QTest::newRow("quotes") << "\"double\" 'single'";
        QTest::newRow("line breaks and tabs") << "one\ntwo\r\nthree\tfour";
        QTest::newRow("leading and trailing spaces") << "  x  ";
        QTest::newRow("Cyrillic and beyond the basic plane") << QString::fromUtf8("Щука \xF0\x9F\x98\x80");
    }

    void writtenValuesSurviveReading()
    {
        QFETCH(QString, value);
        for (const char* codecName : {"UTF-8", "Windows-1251"}) {
            QDomDocument doc;
            QDomElement root = doc.createElement("w:t");
            doc.appendChild(root);
            root.setAttribute("w:val", value);
            root.appendChild(doc.createTextNode(value));
            QByteArray bytes;
            QTextCodec* codec = QTextCodec::codecForName(codecName);
            DomUtil::rawDataFromDoc(bytes, doc, codec, -1);

            QDomDocument back;
            QVERIFY(DomUtil::parseDocument(back, codec->toUnicode(bytes)));
            QCOMPARE(back.documentElement().attribute("w:val"), value);
            QCOMPARE(back.documentElement().text(), value);
        }
    }

    void unencodableCharactersBecomeReferences()
    {
        QDomDocument doc = parsed(QString::fromUtf8("<a v=\"\xE4\xB8\xAD\">Щ\xE4\xB8\xAD</a>"));
        QByteArray bytes("previous content, longer than the new");
        DomUtil::rawDataFromDoc(bytes, doc, QTextCodec::codecForName("Windows-1251"), -1);
        QCOMPARE(bytes, QByteArray("<a v=\"&#x4e2d;\">\xD9&#x4e2d;</a>"));
    }

    void namespaceAwareTreesAreWrittenByQDom()
    {
        QDomDocument doc;
        QVERIFY(doc.setContent(QString("<w:p xmlns:w=\"urn:w\"><w:t>x</w:t></w:p>"), true));
        QCOMPARE(compact(doc), doc.toString(-1));
    }

    // Every main part of the real documents: all text survives parsing and
    // writing, namespaces stay declared, and the compact writer escapes like QDom.
    void corpusPartsKeepTheirText_data()
    {
        QTest::addColumn<QString>("package");
        QTest::addColumn<QString>("entry");
        const QString corpus = TestSupport::corpusDir();
        if (corpus.isEmpty())
            QSKIP("no corpus");
        const QDir docx(corpus + "/docx");
        for (const QString& name : docx.entryList({"*.docx"}, QDir::Files, QDir::Name))
            QTest::newRow(qPrintable(name)) << docx.filePath(name) << "word/document.xml";
        const QDir odt(corpus + "/odt");
        for (const QString& name : odt.entryList({"*.odt"}, QDir::Files, QDir::Name)) {
            for (const char* entry : {"content.xml", "styles.xml"})
                QTest::newRow(qPrintable(name + "/" + entry)) << odt.filePath(name) << entry;
        }
    }

    void corpusPartsKeepTheirText()
    {
        QFETCH(QString, package);
        QFETCH(QString, entry);
        ZipUtil::initDefaults();
        bool loaded = false;
        const QByteArray original = ZipUtil::loadFile(package, entry, &loaded);
        QVERIFY(loaded);

        QDomDocument doc;
        QVERIFY(DomUtil::parseDocument(doc, original));
        const QString text = sourceText(original);
        QCOMPARE(domText(doc), text);

        QByteArray written;
        DomUtil::rawDataFromDoc(written, doc, QTextCodec::codecForName("UTF-8"), -1);
        QDomDocument back;
        QVERIFY(DomUtil::parseDocument(back, written));
        QCOMPARE(domText(back), text);
        QCOMPARE(rootNamespaces(back), rootNamespaces(doc));
        QVERIFY(!rootNamespaces(doc).isEmpty());
        if (!original.contains("<!--") && original.indexOf("<?", 5) < 0)
            QCOMPARE(QString::fromUtf8(written), doc.toString(-1));
    }
};

QTEST_GUILESS_MAIN(TestDomUtil)
#include "tst_domutil.moc"
