// Generated DOCX documents as a word processor shows them: LibreOffice's text
// and PDF conversions of results from small templates, and every real DOCX of
// the corpus passed through as a template without commands. All documents are
// generated first and converted in one LibreOffice call per format.
#include "docproc.h"
#include "docxbuilder.h"
#include "globals.h"
#include "testsupport.h"
#include "ziputil.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QtTest>

using namespace TestSupport;

namespace {

QString run(const QString& text, const QString& properties = QString())
{
    return QStringLiteral("<w:r>%1<w:t xml:space=\"preserve\">%2</w:t></w:r>").arg(properties, text.toHtmlEscaped());
}

QString par(const QString& text, const QString& properties = QString())
{
    return QStringLiteral("<w:p>%1%2</w:p>").arg(properties, run(text));
}

QString cell(const QString& text)
{
    return QStringLiteral("<w:tc><w:tcPr><w:tcW w:w=\"2000\" w:type=\"dxa\"/></w:tcPr><w:p>%1</w:p></w:tc>").arg(run(text));
}

QString table(const QString& row1, const QString& row2)
{
    return QStringLiteral("<w:tbl><w:tblPr><w:tblW w:w=\"4000\" w:type=\"dxa\"/></w:tblPr><w:tblGrid>"
                          "<w:gridCol w:w=\"2000\"/><w:gridCol w:w=\"2000\"/></w:tblGrid><w:tr>%1</w:tr>"
                          "<w:tr>%2</w:tr></w:tbl>")
        .arg(row1, row2);
}

QString sectionEnd(int width)
{
    return QStringLiteral("<w:pPr><w:sectPr><w:pgSz w:w=\"%1\" w:h=\"16838\"/></w:sectPr></w:pPr>").arg(width);
}

// Non-empty lines, trimmed.
QStringList lines(const QString& text)
{
    QStringList out;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty())
            out << line.trimmed();
    }
    return out;
}

QString pdfText(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

class TestDocProcRender : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ResourceFolder res;
    QString xml;
    // Case name -> expected lines of its text conversion.
    QList<QPair<QString, QStringList>> textCases;
    QHash<QString, QString> results;       // case name -> generated document
    QHash<QString, bool> generated;        // case name -> generateDocument's result
    QHash<QString, QString> texts;         // document -> its text conversion
    QHash<QString, QString> pdfs;          // document -> its PDF
    QStringList corpusTemplates;
    // Corpus documents whose typed ${name} placeholders, split over runs by
    // the word processor, were turned into commands: template -> result.
    QList<QPair<QString, QString>> placeholderCases;

    QString generate(const QString& name, const DocxBuilder& builder)
    {
        const QString templatePath = dir.path() + "/templates/r_" + name + ".docx";
        QDir().mkpath(dir.path() + "/templates");
        builder.write(templatePath);
        return generateFrom(name, templatePath);
    }

    QString generateFrom(const QString& name, const QString& templatePath)
    {
        QDir().mkpath(dir.path() + "/out");
        const QString out = dir.path() + "/out/" + QFileInfo(templatePath).completeBaseName() + "_out.docx";
        DocProc proc(xml, out, templatePath, "Queries/render", nullptr);
        generated.insert(name, proc.generateDocument());
        results.insert(name, out);
        return out;
    }

    void textCase(const QString& name, const QString& body, const QStringList& expected)
    {
        generate(name, DocxBuilder(body));
        textCases.append({name, expected});
    }

    void addPlaceholderCase(const QString& corpusTemplate)
    {
        QByteArray document = ZipUtil::loadFile(corpusTemplate, "word/document.xml");
        // In these files "${" is never split, and "}" closes placeholders only.
        if (document.count("${") != document.count("}"))
            return;
        document.replace("${", "[%").replace("}", "%]");
        const QString name = QFileInfo(corpusTemplate).completeBaseName();
        const QString templatePath = dir.path() + "/templates/ph_" + name + ".docx";
        if (!ZipUtil::copyReplaceArchiveFiles(templatePath, corpusTemplate, {{"word/document.xml", &document}}))
            return;
        static const QRegularExpression placeholder("\\$\\{([^}]*)\\}");
        const QString plain = QString::fromUtf8(ZipUtil::loadFile(corpusTemplate, "word/document.xml"))
                                  .remove(QRegularExpression("<[^>]*>"));
        QRegularExpressionMatchIterator it = placeholder.globalMatch(plain);
        while (it.hasNext()) {
            const QString query = it.next().captured(1);
            res.addLiteralQuery("render", query, "V(" + query + ")");
        }
        placeholderCases.append({corpusTemplate, generateFrom("placeholders/" + name, templatePath)});
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        initGlobalResourcePaths();
        if (!LibreOffice::available())
            QSKIP("LibreOffice is not installed");
        xml = dir.path() + "/src.xml";
        writeTextFile(xml, "<doc><note>one</note><note>two</note><note>three</note></doc>");
        const QList<QPair<QString, QString>> literals{{"name", "Ivan"},     {"a", "A"},       {"b", "B"},
                                                      {"empty", ""},        {"zero", "0"},    {"two", "2"},
                                                      {"three", "3"},       {"multi", "x\ny"}, {"lines", "x\ny\n\nz"},
                                                      {"rows", "a\tb\nc\td"}, {"pic", "pic.png"}};
        for (const auto& l : literals)
            res.addLiteralQuery("render", l.first, l.second);
        res.addQuery("render", "note",
                     queryPrologue() + "declare variable $i external;\nstring(doc($inputDocument)/doc/note[$i])");
        res.addQuery("render", "inner", queryPrologue()
                                            + "declare variable $i external; declare variable $j external;\n"
                                              "concat($i, '.', $j)");
        QImage picture(120, 60, QImage::Format_RGB32);
        picture.fill(Qt::blue);
        QVERIFY(picture.save(dir.path() + "/pic.png"));

        textCase("sentence", par("Dear [%name%], welcome"), {"Dear Ivan, welcome"});
        textCase("split", "<w:p>" + run("Name: [%na", "<w:rPr><w:b/></w:rPr>") + run("m", "<w:rPr><w:i/></w:rPr>")
                              + run("e%] (x)", "<w:rPr><w:u w:val=\"single\"/></w:rPr>") + "</w:p>",
                 {"Name: Ivan (x)"});
        textCase("two_in_run", par("[%a%] and [%b%]!"), {"A and B!"});
        textCase("multiline_alone", par("[%query=lines%replace_empty=-%]"), {"x", "y", "-", "z"});
        textCase("multiline_in_sentence", par("Lines: [%multi%]!"), {"Lines: x", "y!"});
        textCase("spaces", "<w:p>" + run("x") + run("   ") + run("[%a%]") + run("  y") + "</w:p>", {"x   A  y"});
        textCase("table", table(cell("H1") + cell("H2"), cell("") + cell("")) + par("[%insert_table%query=rows%]"),
                 {"H1", "H2", "a", "b", "c", "d"});
        textCase("table_replace_empty",
                 table(cell("H1") + cell("H2"), cell("") + cell("")) +
                     par("[%insert_table%query=empty%replace_empty=0%]") + par("end"),
                 {"H1", "H2", "0", "0", "end"});
        textCase("nested",
                 par("[%iterate_start=i%query=two%]") + par("[%iterate_start=j%query=two%]") + par("<[%inner%]>")
                     + par("[%iterate_end=j%]") + par("[%iterate_end=i%]"),
                 {"<1.1>", "<1.2>", "<2.1>", "<2.2>"});
        textCase("keep_empty",
                 par("[%iterate_start=i%query=zero%keep_empty%]") + par("n: [%note%]") + par("[%iterate_end=i%]")
                     + par("[%iterate_start=k%query=zero%]") + par("never") + par("[%iterate_end=k%]"),
                 {"n: one"});
        const QString threeSections = par("one") + par("end1", sectionEnd(11906)) + par("two %1")
                                      + par("end2", sectionEnd(11906)) + par("three %2");
        const QString mark = "[%query=empty%delete_empty_section%]";
        textCase("delete_middle_section", threeSections.arg(mark, QString()), {"one", "end1", "three"});
        textCase("delete_last_section", threeSections.arg(QString(), mark), {"one", "end1", "two", "end2"});

        // For the PDF: pages, pictures, headers and footers.
        generate("pages", DocxBuilder(par("[%iterate_start=i%query=three%separate=page%]") + par("[%note%]")
                                      + par("[%iterate_end=i%]")));
        generate("picture_body", DocxBuilder(par("see [%insert_picture%query=pic%] here")));
        generate("picture_header",
                 DocxBuilder(par("body")).header(par("[%insert_picture%query=pic%]")).withoutVmlNamespace());
        generate("header_footer", DocxBuilder(par("body")).header(par("head [%name%]")).footer(
                                      "<w:p>" + run("page [%") + run("b%] end", "<w:rPr><w:b/></w:rPr>") + "</w:p>"));

        // The corpus, each file as a template without commands.
        const QString corpus = corpusDir();
        if (!corpus.isEmpty()) {
            QDirIterator it(corpus + "/docx", {"*.docx"}, QDir::Files);
            while (it.hasNext())
                corpusTemplates << it.next();
            corpusTemplates.sort();
            for (const QString& t : qAsConst(corpusTemplates))
                generateFrom("corpus/" + QFileInfo(t).fileName(), t);
        }

        for (const QString& t : qAsConst(corpusTemplates)) {
            if (QFileInfo(t).fileName().startsWith("yarg_ru_split"))
                addPlaceholderCase(t);
        }

        QStringList toText;
        for (const auto& c : qAsConst(textCases))
            toText << results.value(c.first);
        for (const QString& t : qAsConst(corpusTemplates))
            toText << t << results.value("corpus/" + QFileInfo(t).fileName());
        for (const auto& c : qAsConst(placeholderCases))
            toText << c.second;
        texts = LibreOffice::toText(toText, dir.path() + "/txt");
        pdfs = LibreOffice::convert({results.value("pages"), results.value("picture_body"),
                                     results.value("picture_header"), results.value("header_footer")},
                                    "pdf", dir.path() + "/pdf");
    }

    void renderedText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        for (const auto& c : qAsConst(textCases))
            QTest::newRow(qPrintable(c.first)) << c.first << c.second;
    }

    void renderedText()
    {
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        QVERIFY(generated.value(name));
        const QString document = results.value(name);
        QVERIFY2(texts.contains(document), "LibreOffice did not open the result");
        QCOMPARE(lines(texts.value(document)), expected);
    }

    void repeatedBlockWithPageBreaks()
    {
        QVERIFY(generated.value("pages"));
        const QString pdf = pdfs.value(results.value("pages"));
        QVERIFY(!pdf.isEmpty());
        QCOMPARE(LibreOffice::pdfPageCount(pdf), 3);
    }

    void picturesAreShown_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("in the body") << "picture_body";
        QTest::newRow("in a header") << "picture_header";
    }

    void picturesAreShown()
    {
        QFETCH(QString, name);
        QVERIFY(generated.value(name));
        const QString pdf = pdfs.value(results.value(name));
        QVERIFY2(!pdf.isEmpty(), "LibreOffice did not open the result");
        QCOMPARE(LibreOffice::pdfImageCount(pdf), 1);
    }

    void headerAndFooterCommands()
    {
        QVERIFY(generated.value("header_footer"));
        const QString pdf = pdfs.value(results.value("header_footer"));
        QVERIFY(!pdf.isEmpty());
        const QStringList shown = lines(pdfText(pdf));
        QVERIFY2(shown.contains("head Ivan") && shown.contains("page B end") && shown.contains("body"),
                 qPrintable(shown.join('|')));
    }

    void corpusPassesThrough_data()
    {
        QTest::addColumn<QString>("templatePath");
        if (corpusTemplates.isEmpty())
            QSKIP("No corpus");
        for (const QString& t : qAsConst(corpusTemplates))
            QTest::newRow(qPrintable(QFileInfo(t).fileName())) << t;
    }

    void corpusPassesThrough()
    {
        QFETCH(QString, templatePath);
        const QString name = "corpus/" + QFileInfo(templatePath).fileName();
        QVERIFY(generated.value(name));
        const QString result = results.value(name);
        // Same entries in the same order; all but the main part unchanged.
        const QStringList entries = zipEntryNames(templatePath);
        QCOMPARE(zipEntryNames(result), entries);
        for (const QString& entry : entries) {
            if (entry != "word/document.xml")
                QVERIFY2(zipEntry(result, entry) == zipEntry(templatePath, entry), qPrintable(entry));
        }
        QVERIFY(texts.contains(templatePath));
        QVERIFY2(texts.contains(result), "LibreOffice did not open the result");
        QCOMPARE(texts.value(result), texts.value(templatePath));
    }

    void corpusPlaceholdersAsCommands_data()
    {
        QTest::addColumn<QString>("templatePath");
        QTest::addColumn<QString>("result");
        if (placeholderCases.isEmpty())
            QSKIP("No corpus");
        for (const auto& c : qAsConst(placeholderCases))
            QTest::newRow(qPrintable(QFileInfo(c.first).fileName())) << c.first << c.second;
    }

    void corpusPlaceholdersAsCommands()
    {
        QFETCH(QString, templatePath);
        QFETCH(QString, result);
        QVERIFY(generated.value("placeholders/" + QFileInfo(templatePath).completeBaseName()));
        QVERIFY2(texts.contains(result), "LibreOffice did not open the result");
        // Every placeholder executed, whatever runs it was split over, and
        // all text around it kept.
        QString expected = texts.value(templatePath);
        expected.replace(QRegularExpression("\\$\\{([^}]*)\\}"), "V(\\1)");
        QVERIFY(expected.contains("V("));
        QCOMPARE(texts.value(result), expected);
    }
};

QTEST_GUILESS_MAIN(TestDocProcRender)
#include "tst_docproc_render.moc"
