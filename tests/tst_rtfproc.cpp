// RTF templates in Word's and LibreOffice's markup through the generator:
// commands, tables, repeated blocks, template errors, Unicode, brace balance.
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "proccommand.h"
#include "rtfgroupbalance.h"
#include "rtfproc.h"
#include "rtftemplatecache.h"
#include "status.h"
#include "testsupport.h"

#include <QTextCodec>
#include <QThread>
#include <QtTest>

using namespace TestSupport;

namespace {
QTextCodec* cp1251()
{
    return QTextCodec::codecForName("Windows-1251");
}

// Word 2007+ markup: a header declaring code page 1251, paragraphs whose runs
// sit in groups, table rows with the row definition repeated at their end.
const char* const wordHeader =
    R"({\rtf1\adeflang1025\ansi\ansicpg1251\uc1\adeff0\deff0\deflang1049\deflangfe1049
{\fonttbl{\f0\fbidi \froman\fcharset204\fprq2 Times New Roman;}}{\colortbl;\red0\green0\blue0;}
\paperw11906\paperh16838\margl1701\margr850\margt1134\margb1134\ltrsect \sectd \ltrsect\linex0\sectdefaultcl\sftnbj
)";
const char* const wordPard =
    R"(\pard\plain \ltrpar\ql \li0\ri0\widctlpar\wrapdefault\aspalpha\rin0\lin0\itap0 \rtlch\fcs1 \af0\afs24 \ltrch\fcs0 \fs24\lang1049\langfe1049 )";
const char* const wordRowDef =
    R"(\trowd \irow0\ltrrow\trgaph108\trleft-108\trbrdrt\brdrs\brdrw10 \trftsWidth1\tblind0 \clvertalt\clbrdrt\brdrs\brdrw10 \cltxlrtb\clftsWidth3\clwWidth3190 \cellx3082\clvertalt\cltxlrtb\clwWidth3190 \cellx6272\clvertalt\cltxlrtb\clwWidth3190 \cellx9462)";

QString par(const QString& content)
{
    return wordPard + QStringLiteral("{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid1 ") + content +
           "\\par }\n";
}

// One row of three cells; rsid tells the rows apart in the result.
QString row(const QString& cells, int rsid)
{
    const QString pard = QString(wordPard).replace("\\wrapdefault", "\\intbl\\wrapdefault");
    return pard + QStringLiteral("{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid%1 %2}").arg(rsid).arg(cells) +
           pard + "{\\rtlch\\fcs1 \\af0 \\ltrch\\fcs0 \\insrsid9 " + wordRowDef + "\\row \\ltrrow}\n";
}

QString wordDoc(const QString& body)
{
    return wordHeader + body + "}";
}

// Groups nest properly and the document's own group closes only at its end.
bool balanced(const QByteArray& rtf)
{
    const QByteArray trimmed = rtf.trimmed();
    int depth = 0;
    for (int i = 0; i < trimmed.size(); ++i) {
        if (trimmed[i] == '\\')
            ++i;
        else if (trimmed[i] == '{')
            ++depth;
        else if (trimmed[i] == '}' && (--depth < 0 || (depth == 0 && i != trimmed.size() - 1)))
            return false;
    }
    return depth == 0;
}

QStringList captures(const QString& text, const QString& pattern)
{
    QStringList found;
    for (auto it = QRegularExpression(pattern).globalMatch(text); it.hasNext();)
        found << it.next().captured(1);
    return found;
}
} // namespace

class TestRtfProc : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    QScopedPointer<ResourceFolder> res;
    MessageSenderObject sender;
    MessageHandler handler;
    QStringList log;
    QString xml;
    int runs = 0;

    struct Outcome
    {
        bool ok = false;
        bool templateErrors = false;
        bool queryErrors = false;
        QByteArray bytes;
        QString text;
    };

    // Generates from template bytes; the result is also decoded for searching.
    Outcome generate(const QByteArray& templateBytes, const QString& destination = QString())
    {
        const QString base = dir.path() + QStringLiteral("/run%1").arg(++runs);
        writeFile(base + ".tpl.rtf", templateBytes);
        const QString out = destination.isEmpty() ? base + ".rtf" : destination;
        RtfProc proc(xml, out, base + ".tpl.rtf", "Queries/rtf", cp1251());
        proc.setMessageHandler(&handler);
        Outcome o;
        o.ok = proc.generateDocument();
        o.templateErrors = proc.hasTemplateErrors();
        o.queryErrors = proc.queryProc().hasErrors();
        o.bytes = readFile(out);
        o.text = cp1251()->toUnicode(o.bytes);
        return o;
    }
    Outcome generate(const QString& rtf) { return generate(cp1251()->fromUnicode(rtf)); }

    // A query returning exactly this text (any characters, tabs and line feeds).
    void addValueQuery(const QString& name, const QString& value)
    {
        QStringList codes;
        for (uint c : value.toUcs4())
            codes << QString::number(c);
        res->addQuery("rtf", name, queryPrologue() + "codepoints-to-string((" + codes.join(',') + "))");
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        connect(&sender, &MessageSenderObject::sendMessageSignal, this,
                [this](const QString& l) { log << l; });
        setGlobalMessageSender(&sender);
        res.reset(new ResourceFolder);
        xml = dir.path() + "/src.xml";
        writeTextFile(
            xml,
            "<doc><client>ООО «Ромашка»</client><item>Первый</item><item>Второй</item><item>Третий</item>"
            "<g><n>G1</n><v>a</v><v>b</v></g><g><n>G2</n><v>c</v></g></doc>");
        const QString g = queryPrologue() + "declare variable $g external;\n";
        res->addQuery("rtf", "Client", queryPrologue() + "string(doc($inputDocument)/doc/client)");
        res->addQuery("rtf", "Item",
                      queryPrologue() +
                          "declare variable $i external; string(doc($inputDocument)/doc/item[$i])");
        res->addQuery("rtf", "GroupCount", queryPrologue() + "count(doc($inputDocument)/doc/g)");
        res->addQuery("rtf", "GroupName", g + "string(doc($inputDocument)/doc/g[$g]/n)");
        res->addQuery("rtf", "ValueCount", g + "count(doc($inputDocument)/doc/g[$g]/v)");
        res->addQuery("rtf", "Value",
                      g + "declare variable $v external; string(doc($inputDocument)/doc/g[$g]/v[$v])");
        res->addQuery("rtf", "Bad", queryPrologue() + "xs:integer('x')");
        // Names and the exact texts their queries return.
        const QStringList values{"Count",      "3",
                                 "Zero",       "0",
                                 "Empty",      "",
                                 "Lines",      "a\nb",
                                 "Markup",     "{\\b bold}",
                                 "Lower",      "abc",
                                 "Number",     "12",
                                 "Greek",      "Ωμέγα",
                                 "Cjk",        "中文字",
                                 "Mixed",      "Ж Ω",
                                 "Rows",       "a1\ta2\ta3\nb1\tb2\tb3",
                                 "RowsLf",     "a1\ta2\ta3\n",
                                 "Ragged",     "x\t\tz\tEXTRA\ny",
                                 "UnicodeRow", "Ω\tЖ\t1"};
        for (int k = 0; k < values.size(); k += 2)
            addValueQuery(values[k], values[k + 1]);
        // codepoints-to-string() of the XQuery engine cuts code points to 16 bits.
        res->addLiteralQuery("rtf", "Emoji", "😀");
    }
    void init() { log.clear(); }

    void textCommands_data()
    {
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("expected");
        const auto add = [](const char* tag, const QString& content, const QString& expected) {
            QTest::newRow(tag) << content << expected;
        };
        add("plain, Cyrillic kept as code page bytes", "Name: [%Client%]", "Name: ООО «Ромашка»");
        add("split into runs", "Name: [%{\\rtlch\\fcs1 Cli}{\\rtlch\\fcs1 ent}%]", "Name: ООО «Ромашка»");
        add("Word run split", "N: [%}{\\rtlch\\fcs1 \\insrsid2 Client}{\\rtlch\\fcs1 \\insrsid3 %]",
            "N: ООО «Ромашка»");
        add("block closes a group", "{\\b N: [%Cli}ent%] tail", "{\\b N: ООО «Ромашка»} tail");
        add("block opens a group", "N: [%Cli{\\i ent%] tail}", "N: ООО «Ромашка»{ tail}");
        add("bookmark", "[%{\\*\\bkmkstart b1}Client{\\*\\bkmkend b1}%].", "ООО «Ромашка».");
        add("multi-line", "<[%Lines%]>", "<a\\par b>");
        add("replace_empty", "<[%query=Empty%replace_empty=-%]>", "<->");
        add("empty", "<[%Empty%]>", "<>");
        add("RTF markup", "<[%Markup%]>", "<{\\b bold}>");
        add("Greek", "<[%Greek%]>", "<{\\uc1\\u937?\\u956?\\u941?\\u947?\\u945?}>");
        add("CJK", "<[%Cjk%]>", "<{\\uc1\\u20013?\\u25991?\\u23383?}>");
        add("outside the BMP", "<[%Emoji%]>", "<{\\uc1\\u-10179?\\u-8704?}>");
        add("mixed scripts", "<[%Mixed%]>", "<Ж {\\uc1\\u937?}>");
        add("after a control word", "{\\b[%Lower%]}{\\fs20[%Number%]}", "{\\b abc}{\\fs20 12}");
    }
    void textCommands()
    {
        QFETCH(QString, content);
        QFETCH(QString, expected);
        const Outcome o = generate(wordDoc(par("A") + par(content) + par("B")));
        QVERIFY(o.ok);
        QVERIFY2(o.text.contains(par(expected)), qPrintable(o.text));
        QVERIFY(o.text.startsWith(wordHeader + par("A")) && o.text.endsWith(par("B") + "}"));
        QVERIFY(balanced(o.bytes));
    }

    void failingQueryLeavesMarker()
    {
        const Outcome o = generate(wordDoc(par("[%Bad%] [%Client%]")));
        QVERIFY(!o.ok && o.queryErrors && !o.templateErrors);
        QVERIFY(o.text.contains("!!! ОШИБКА !!! ООО «Ромашка»"));
        QVERIFY(log.join('\n').contains("Ошибка в запросе"));
    }

    void tableRows_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("rows");
        QTest::newRow("two lines") << "[%insert_table%query=Rows%]" << QStringList{"a1|a2|a3", "b1|b2|b3"};
        QTest::newRow("final line feed") << "[%insert_table%query=RowsLf%]" << QStringList{"a1|a2|a3", "||"};
        QTest::newRow("empty, replace_empty")
            << "[%insert_table%query=Empty%replace_empty=0%]" << QStringList{"0|0|0"};
        QTest::newRow("empty") << "[%insert_table%query=Empty%]" << QStringList{"||"};
        QTest::newRow("ragged") << "[%insert_table%query=Ragged%replace_empty=-%]"
                                << QStringList{"x|-|z", "y||"};
        QTest::newRow("Unicode") << "[%insert_table%query=UnicodeRow%]" << QStringList{"{\\uc1\\u937?}|Ж|1"};
    }
    void tableRows()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, rows);
        const Outcome o = generate(wordDoc(par("Before") + row("H1\\cell H2\\cell H3\\cell ", 4) +
                                           row("\\cell \\cell \\cell ", 5) + par(command) + par("After")));
        QVERIFY(o.ok);
        QCOMPARE(captures(o.text, "\\\\insrsid4 (.*?)\\\\cell "), QStringList{"H1"});
        const QStringList cells = captures(o.text, "\\\\insrsid5 (.*?\\\\cell .*?\\\\cell .*?)\\\\cell ");
        QCOMPARE(cells.join(';').replace("\\cell ", "|"), rows.join(';'));
        QCOMPARE(o.text.count(wordRowDef), rows.size() + 1);
        QVERIFY(!o.text.contains("insert_table"));
        QVERIFY(o.text.contains("\\row \\ltrrow}\n\\pard " + par("After")));
        QVERIFY(balanced(o.bytes));
    }

    void valuesAfterBareCellMarksStayText()
    {
        // LibreOffice writes empty cells as consecutive marks: \cell\cell.
        const QString rowText =
            "\\trowd\\cellx1000\\cellx2000\\cellx3000\\pard\\plain\\intbl\\loch\\cell\\cell\\cell\\row";
        const Outcome o = generate(
            wordDoc(rowText + rowText + "\\pard\\plain{[%insert_table%query=Rows%]}\\par\\pard After\\par "));
        QVERIFY2(o.text.contains("\\loch a1\\cell a2\\cell a3\\cell\\row") &&
                     o.text.contains("\\loch b1\\cell b2"),
                 qPrintable(o.text));
        QVERIFY(balanced(o.bytes));
    }

    void repeatedBlocks_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<int>("paragraphs");
        QTest::addColumn<QString>("separator");
        const auto block = [](const QString& options, const QString& body, const QString& v = "i") {
            return par("S1 [%iterate_start=" + v + "%" + options + "%]") + body +
                   par("[%iterate_end=" + v.toUpper() + "%] E1");
        };
        const QString items = par("Item [%Item%]");
        const QStringList three{"S1", "Item Первый", "Item Второй", "Item Третий", "E1"};
        QTest::newRow("page") << block("query=Count%separate=page", items) << three << 7
                              << "\\pard\\page\\par ";
        QTest::newRow("section") << block("query=Count%separate=Section", items) << three << 5
                                 << "\\pard\\sect ";
        QTest::newRow("other") << block("query=Count%separate=line", items) << three << 7 << "\\pard\\par ";
        QTest::newRow("count 0") << block("query=Zero", items) << QStringList{"S1", "E1"} << 2 << "";
        QTest::newRow("count 0, keep_empty")
            << block("query=Zero%keep_empty", items) << QStringList{"S1", "Item Первый", "E1"} << 3 << "";
        QTest::newRow("table rows") << block("query=Count", row("Item [%Item%]\\cell \\cell \\cell ", 5))
                                    << three << 2 << "";
        QTest::newRow("nested") << block("query=GroupCount",
                                         par("Group [%GroupName%]") +
                                             block("query=ValueCount", par("Value [%Value%]"), "v"),
                                         "g")
                                << QStringList{"S1",       "Group G1", "S1",      "Value a", "Value b", "E1",
                                               "Group G2", "S1",       "Value c", "E1",      "E1"}
                                << 7 << "";
        QTest::newRow("escaped brace") << block("query=Count", par("\\{Item [%Item%]")) << three << 5 << "";
    }
    void repeatedBlocks()
    {
        QFETCH(QString, body);
        QFETCH(QStringList, expected);
        QFETCH(int, paragraphs);
        QFETCH(QString, separator);
        const Outcome o = generate(wordDoc(par("Intro") + body + par("Outro")));
        QVERIFY2(o.ok, qPrintable(log.join('\n')));
        QCOMPARE(captures(o.text, "((?:Item|Group|Value) [^}\\\\]*|S1|E1)"), expected);
        // The paragraphs of the start and end commands leave no mark behind.
        QCOMPARE(o.text.count(QRegularExpression("\\\\par(?=[\\s{}\\\\])")), paragraphs);
        if (!separator.isEmpty())
            QCOMPARE(o.text.count(separator), expected.size() - 3);
        if (QByteArray(QTest::currentDataTag()) == "table rows")
            QCOMPARE(o.text.count("\\row \\ltrrow}\n\\pard "), 3);
        QVERIFY(!o.text.contains("[%"));
        QVERIFY(balanced(o.bytes));
    }

    void templateErrorsAndBraces_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("message");
        const QString unmatched =
            "Ошибка структуры шаблона: для блока итераций с переменной %1 не найден его конец";
        QTest::newRow("no end") << par("[%iterate_start=i%query=Count%]") + par("Item") << unmatched.arg("i");
        QTest::newRow("same variable nested")
            << par("[%iterate_start=i%query=Count%]") + par("[%iterate_start=i%query=Count%]") + par("x") +
                   par("[%iterate_end=i%]") + par("[%iterate_end=i%]")
            << unmatched.arg("i");
        QTest::newRow("no end, block closes a group")
            << "{\\b [%iterate_start=k%query=Count%}]\\par " << unmatched.arg("k");
        QTest::newRow("table without rows") << par("[%insert_table%query=Rows%]") << "строка таблицы";
        QTest::newRow("start closes, end opens a group")
            << "{\\b [%iterate_start=i%query=Count%}]\\par " + par("Item") + "[%iterate_end{\\i =i%]\\par }"
            << "";
        QTest::newRow("body opens a group") << par("[%iterate_start=i%query=Count%]") +
                                                   "{\\b Item [%Item%]\\par " + "[%iterate_end=i%]}\\par "
                                            << "";
    }
    void templateErrorsAndBraces()
    {
        QFETCH(QString, body);
        QFETCH(QString, message);
        const Outcome o = generate(wordDoc(par("Intro") + body + par("Outro")));
        QCOMPARE(o.templateErrors, !message.isEmpty());
        QCOMPARE(o.ok, message.isEmpty());
        QVERIFY(log.join('\n').contains(message));
        QVERIFY(o.text.contains(par("Intro")) && o.text.endsWith(par("Outro") + "}"));
        QVERIFY2(balanced(o.bytes), qPrintable(o.text));
    }

    void fileFailures_data()
    {
        QTest::addColumn<QString>("templatePath");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("message");
        const QString tpl = dir.path() + "/plain.rtf";
        writeFile(tpl, "{\\rtf1 x}");
        QTest::newRow("no template") << dir.path() + "/missing.rtf" << dir.path() + "/never.rtf"
                                     << "Ошибка открытия файла-шаблона";
        QTest::newRow("no destination folder") << tpl << dir.path() + "/no/such/out.rtf"
                                               << "Ошибка открытия конечного файла преобразования";
        if (QFileInfo::exists("/dev/full"))
            QTest::newRow("disk full") << tpl << "/dev/full"
                                       << "Ошибка записи конечного файла преобразования";
    }
    void fileFailures()
    {
        QFETCH(QString, templatePath);
        QFETCH(QString, destination);
        QFETCH(QString, message);
        RtfProc proc(xml, destination, templatePath, "Queries/rtf", cp1251());
        QVERIFY(!proc.generateDocument());
        QVERIFY(log.join('\n').endsWith(" : " + message));
        QVERIFY(!destination.startsWith(dir.path()) || !QFileInfo::exists(destination));
    }

    void templatesWithoutCommandsAreCopied()
    {
        // Every byte value, lone carriage returns and CRLF included, comes back;
        // 0x98 has no character in Windows-1251.
        QByteArray bytes;
        for (int b = 0; b < 256; ++b)
            bytes += char(b);
        bytes += "\r\n\r";
        Outcome o = generate("{\\rtf1\\ansi\\ansicpg1251 " + bytes + "}");
        QVERIFY(o.ok);
        QCOMPARE(o.bytes, "{\\rtf1\\ansi\\ansicpg1251 " + bytes + "}");

        const QString corpus = corpusDir() + "/rtf";
        const QFileInfoList files = QDir(corpus).entryInfoList({"*.rtf"}, QDir::Files);
        if (files.isEmpty())
            QSKIP("no RTF corpus");
        for (const QFileInfo& file : files) {
            // Documents from the wild whose braces do not pair are refused
            // rather than copied with the fault.
            const QByteArray original = readFile(file.filePath());
            o = generate(original);
            if (RtfGroupBalance::of(cp1251()->toUnicode(original)).isBalanced())
                QVERIFY2(o.ok && o.bytes == original, qPrintable(file.fileName()));
            else
                QVERIFY2(!o.ok && o.templateErrors, qPrintable(file.fileName()));
        }
    }

    void templateKeptUntilItChanges()
    {
        // The thread keeps a template with its command blocks found; the same
        // file gives the same document, an edited one the edited document.
        const QString tpl = dir.path() + "/kept.tpl.rtf";
        const auto run = [&](const QString& out) {
            RtfProc proc(xml, out, tpl, "Queries/rtf", cp1251());
            proc.setMessageHandler(&handler);
            return proc.generateDocument() ? readFile(out) : QByteArray();
        };
        writeFile(tpl, cp1251()->fromUnicode(wordDoc(par("[%Client%]") + par("[%iterate_start=i%query=Count%]") +
                                                     par("[%Item%]") + par("[%iterate_end=i%]"))));
        const QByteArray first = run(dir.path() + "/kept1.rtf");
        QVERIFY(cp1251()->toUnicode(first).contains(par("Третий")));
        QCOMPARE(run(dir.path() + "/kept2.rtf"), first);
        writeFile(tpl, cp1251()->fromUnicode(wordDoc(par("Изменён: [%Client%]"))));
        QVERIFY(cp1251()->toUnicode(run(dir.path() + "/kept3.rtf")).contains(par("Изменён: ООО «Ромашка»")));
    }

    void blockPositionsAnswerAsTheSearchDoes()
    {
        RtfTemplate kept;
        kept.text = QStringLiteral("a [%x%] b [%y [%z%] c] [%w%]");
        QRegExp block(ProcCommand::patCommandBlock, Qt::CaseInsensitive);
        for (int from = 0; from >= 0 && (from = block.indexIn(kept.text, from)) >= 0;) {
            kept.blockStarts << from;
            from += block.matchedLength();
            kept.blockEnds << from;
        }
        for (int from = 0; from <= kept.text.size(); ++from) {
            int start = -1;
            int end = -1;
            bool known = false;
            const bool found = kept.blockAfter(from, start, end, known);
            if (!known)
                continue;
            const int expected = block.indexIn(kept.text, from);
            QCOMPARE(found ? start : -1, expected);
            if (found)
                QCOMPARE(end, expected + block.matchedLength());
        }
    }

    void crlfTemplateCutsLikeLf()
    {
        const QString lf =
            wordDoc(par("[%iterate_start=i%query=Count%separate=page%]") + par("Item [%Item%]") +
                    par("[%iterate_end=i%]") + row("H\\cell \\cell \\cell ", 4) +
                    row("\\cell \\cell \\cell ", 5) + par("[%insert_table%query=Rows%]") + par("End"));
        const Outcome withLf = generate(lf);
        const Outcome withCrLf = generate(QString(lf).replace("\n", "\r\n"));
        QVERIFY(withLf.ok && withCrLf.ok);
        QCOMPARE(QByteArray(withCrLf.bytes).replace("\r", ""), withLf.bytes);
    }

    void parallelGeneratorsAgree()
    {
        const QByteArray tpl = cp1251()->fromUnicode(
            wordDoc(par("[%iterate_start=i%query=Count%]") + par("{\\b[%Item%]} [%Greek%]") +
                    par("[%iterate_end=i%]") + row("H\\cell \\cell \\cell ", 4) +
                    row("\\cell \\cell \\cell ", 5) + par("[%insert_table%query=Rows%]")));
        const Outcome sequential = generate(tpl);
        QVERIFY(sequential.ok);
        const QByteArray expected = sequential.bytes;
        QVector<QByteArray> results(4);
        QVector<QThread*> threads;
        for (int t = 0; t < results.size(); ++t) {
            const QString out = dir.path() + QStringLiteral("/parallel%1.rtf").arg(t);
            const QString in = dir.path() + QStringLiteral("/parallel%1.tpl.rtf").arg(t);
            writeFile(in, tpl);
            threads << QThread::create([=, &results] {
                for (int k = 0; k < 5; ++k) {
                    RtfProc proc(xml, out, in, "Queries/rtf", cp1251());
                    proc.generateDocument();
                    results[t] = readFile(out);
                }
            });
            threads.last()->start();
        }
        for (QThread* thread : threads) {
            QVERIFY(thread->wait(60000));
            delete thread;
        }
        for (const QByteArray& result : results)
            QCOMPARE(result, expected);
    }

    void libreOfficeTemplateEndToEnd()
    {
        if (!LibreOffice::available())
            QSKIP("LibreOffice is not installed");
        // Written by LibreOffice from HTML: no \ansicpg, Cyrillic as \u escapes,
        // a command split by formatting, a bookmark inside a command.
        const QString html = dir.path() + "/lo.html";
        writeTextFile(
            html,
            "<html><head><meta charset='utf-8'></head><body>"
            "<p>Клиент: [%Cli<b>ent</b>%]; [%<a name='bm1'></a>Client%]</p>"
            "<p>Ω: [%Greek%] 中: [%Cjk%]</p><p>[%Lines%]</p>"
            "<table "
            "border=1><tr><td>H1</td><td>H2</td><td>H3</td></tr><tr><td></td><td></td><td></td></tr></table>"
            "<p>[%insert_table%query=Rows%]</p>"
            "<p>[%iterate_start=g%query=GroupCount%]</p><p>Group [%GroupName%]</p>"
            "<p>[%iterate_start=v%query=ValueCount%]</p><p>Value [%Value%]</p><p>[%iterate_end=v%]</p>"
            "<p>[%iterate_end=g%]</p>"
            "<p>[%iterate_start=i%query=Count%]</p><table border=1><tr><td>Row "
            "[%Item%]</td><td>x</td></tr></table>"
            "<p>[%iterate_end=i%]</p>"
            "<p>[%iterate_start=i%query=Count%separate=page%]</p><p>Page [%Item%]</p><p>[%iterate_end=i%]</p>"
            "</body></html>");
        const QString loDir = dir.path() + "/lo";
        const QString tpl = LibreOffice::convert({html}, "rtf", loDir, "HTML (StarWriter)").value(html);
        QVERIFY2(!tpl.isEmpty(), "LibreOffice did not write the template");
        QDir().mkpath(loDir + "/out");
        const Outcome o = generate(readFile(tpl), loDir + "/out/lo.rtf");
        QVERIFY2(o.ok, qPrintable(log.join('\n')));
        QVERIFY(balanced(o.bytes));

        const QString out = loDir + "/out/lo.rtf";
        const QString text = LibreOffice::toText(out, loDir + "/txt");
        const QString pdf = LibreOffice::convert({out}, "pdf", loDir + "/pdf").value(out);
        const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        for (const QString& line :
             QStringList{"Клиент: ООО «Ромашка»; ООО «Ромашка»", "Ω: Ωμέγα 中: 中文字", "a", "b", "Group G1",
                         "Value a", "Value b", "Group G2", "Value c", "Row Первый", "Row Третий",
                         "Page Первый", "Page Третий"})
            QVERIFY2(lines.contains(line), qPrintable(line + " missing from:\n" + text));
        QVERIFY(text.contains("a1") && text.contains("b3") && text.indexOf("H1") < text.indexOf("a1"));
        QVERIFY(!text.contains("[%"));
        QCOMPARE(LibreOffice::pdfPageCount(pdf), 3);
    }
};

QTEST_GUILESS_MAIN(TestRtfProc)
#include "tst_rtfproc.moc"
