// The template check: templates that carry one authoring mistake each, in
// every format where it can be made, give that finding at its place and
// with its severity; the bundled examples give none; the batch command's
// --check tells errors by its exit status, writes its report, runs a dry
// run on a sample file, and writes no file anywhere.
#include "docxbuilder.h"
#include "globals.h"
#include "odttestsupport.h"
#include "templatechecker.h"
#include "templatelist.h"
#include "testsupport.h"

#include <QDirIterator>
#include <QProcess>
#include <QTextCodec>
#include <QtTest>

using namespace TestSupport;

namespace {

const QString folder = QStringLiteral("chk");

// A template of the given format whose paragraphs are `paragraphs`: plain
// text goes into a paragraph of its own; text that starts with "<" (DOCX,
// ODT) or "\" (RTF) is written as it is. RTF paragraph k stands on line k+1.
QByteArray templateBytes(const QString& format, const QStringList& paragraphs, const QString& path)
{
    if (format == QLatin1String("rtf")) {
        QString rtf = QStringLiteral("{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0 Arial;}}\n");
        for (const QString& p : paragraphs)
            rtf +=
                (p.startsWith(QLatin1Char('\\')) ? p
                                                 : QStringLiteral("\\pard ") + p + QStringLiteral("\\par")) +
                QLatin1Char('\n');
        return QTextCodec::codecForName("Windows-1251")->fromUnicode(rtf + QStringLiteral("}\n"));
    }
    QString body;
    for (const QString& p : paragraphs) {
        if (p.startsWith(QLatin1Char('<')))
            body += p;
        else if (format == QLatin1String("odt"))
            body += QStringLiteral("<text:p>") + p.toHtmlEscaped() + QStringLiteral("</text:p>");
        else
            body += QStringLiteral("<w:p><w:r><w:t xml:space=\"preserve\">") + p.toHtmlEscaped() +
                    QStringLiteral("</w:t></w:r></w:p>");
    }
    if (format == QLatin1String("odt"))
        Odt::writeOdt(path, Odt::contentXml(body));
    else
        DocxBuilder(body).write(path);
    return readFile(path);
}

// The place of paragraph `n` of such a template.
QString placeOf(const QString& format, int n)
{
    if (format == QLatin1String("rtf"))
        return QStringLiteral("строка %1, абзац %2").arg(n + 1).arg(n);
    return QStringLiteral("%1, абзац %2").arg(format == QLatin1String("odt") ? "content" : "document").arg(n);
}

struct Found
{
    QString place;
    QString severity;
    QString message;
};

QList<Found> findingsOf(const QVector<TemplateCheckResult>& results)
{
    QList<Found> found;
    for (const TemplateCheckResult& result : results) {
        for (const CheckFinding& finding : result.findings)
            found.append({finding.place.shown(),
                          finding.severity == CheckSeverity::Error ? QStringLiteral("error")
                                                                   : QStringLiteral("warning"),
                          finding.message});
    }
    return found;
}

QString shown(const QList<Found>& found)
{
    QStringList lines;
    for (const Found& f : found)
        lines << f.place + " | " + f.severity + " | " + f.message;
    return lines.join('\n');
}

struct BatchRun
{
    int exitCode = -1;
    QString out;
    QString err;
};

BatchRun runBatch(const QStringList& args, const QString& workDir, const QProcessEnvironment& env)
{
    BatchRun run;
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.setProcessEnvironment(env);
    process.start(qEnvironmentVariable("PLINTHWORKS_BATCH"), args);
    if (!process.waitForFinished(120000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// Every file and folder below `root` with its size and modification time.
QStringList listing(const QString& root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        entries << info.filePath() + QLatin1Char(' ') + QString::number(info.size()) + QLatin1Char(' ') +
                       QString::number(info.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

const QString examples = QStringLiteral(PLINTHWORKS_SOURCE_DIR "/examples");

} // namespace

class TestTemplateCheck : public QObject
{
    Q_OBJECT
    ResourceFolder* res = nullptr;
    int templateCount = 0;

    CheckedTemplate entry(const QString& templateFile, const QString& match = QStringLiteral("Match"),
                          const QString& name = QString())
    {
        return {templateFile, templateFile, QStringLiteral("Queries/") + folder, name, match, 1};
    }

    QVector<TemplateCheckResult> checkTemplate(const QString& format, const QStringList& paragraphs)
    {
        const QString name = QStringLiteral("t%1").arg(++templateCount);
        const QString path = res->path() + "/Templates/" + name + "." + format;
        const QByteArray bytes = templateBytes(format, paragraphs, path);
        if (format == QLatin1String("rtf"))
            writeFile(path, bytes);
        TemplateChecker::Options options;
        options.formats = QStringList{format};
        return TemplateChecker::check(entry(name), options);
    }

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        res = new ResourceFolder;
        res->addLiteralQuery(folder, "Client", "ООО «Ромашка»");
        res->addQuery(folder, "Count", queryPrologue() + "2");
        res->addQuery(folder, "Item", queryPrologue() + "declare variable $i external;\nconcat('item ', $i)");
        res->addQuery(folder, "NeedsJ", queryPrologue() + "declare variable $j external;\nconcat('j ', $j)");
        res->addQuery(folder, "Broken", queryPrologue() + "concat('a',\n  foo(1))");
        res->addQuery(folder, "Rows", queryPrologue() + "'a&#9;b&#10;c&#9;d'");
        res->addQuery(folder, "Match", queryPrologue() + "true()");
        res->addQuery(folder, "Fails", queryPrologue() + "xs:integer(string(doc($inputDocument)/a/@n))");
    }
    void cleanupTestCase() { delete res; }

    // One mistake per template; the finding is told at its place.
    void mistakes_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("paragraphs");
        QTest::addColumn<QString>("place");
        QTest::addColumn<QString>("severity");
        QTest::addColumn<QString>("message");

        const QString start = "[%iterate_start=i%query=Count%]";
        for (const QString format : {"docx", "odt", "rtf"}) {
            const auto row = [&](const char* name) {
                QTestData& data = QTest::newRow(qPrintable(format + ": " + name));
                data << format;
                return &data;
            };
            *row("missing query") << QStringList{"[%Missing%]"} << placeOf(format, 1) << "error"
                                  << "Нет файла запроса Missing.xq";
            *row("query does not compile") << QStringList{"Итог: [%Broken%]"} << placeOf(format, 1) << "error"
                                           << "Запрос Broken.xq не компилируется: строка 2, позиция 13: No function with name fn:foo";
            *row("block without end") << QStringList{start, "[%Item%]"} << placeOf(format, 1) << "error"
                                      << "не найден его конец";
            *row("blocks cross") << QStringList{start, "[%iterate_start=j%query=Count%]", "[%Item%]",
                                                "[%iterate_end=i%]", "[%iterate_end=j%]"}
                                 << placeOf(format, 2) << "error"
                                 << "стоит после конца внешнего блока";
            *row("end closes another variable")
                << QStringList{start, "[%Item%]", "[%iterate_end=k%]"} << placeOf(format, 1) << "error"
                << "[%iterate_end=k%] (" + placeOf(format, 3) + ") закрывает другую переменную";
            *row("end that closes nothing")
                << QStringList{"[%Client%]", "[%iterate_end=k%]"} << placeOf(format, 2) << "error"
                << "закрывает блок итераций, который не был открыт";
            *row("variable no block provides") << QStringList{"[%NeedsJ%]"} << placeOf(format, 1) << "error"
                                               << "объявляет внешнюю переменную $j (строка";
            *row("variable of another block")
                << QStringList{start, "[%NeedsJ%]", "[%iterate_end=i%]"} << placeOf(format, 2) << "error"
                << "объявляет внешнюю переменную $j";
            *row("block variable unused")
                << QStringList{start, "[%Client%]", "[%iterate_end=i%]"} << placeOf(format, 1) << "warning"
                << "Переменная i блока " + start + " не используется ни одним запросом";
            *row("unknown word beside a query")
                << QStringList{"[%query=Client%bogus=1%]"} << placeOf(format, 1) << "warning"
                << "Неизвестное слово «bogus»";
            *row("unknown words, no query")
                << QStringList{"[%Client%Extra%]"} << placeOf(format, 1) << "error"
                << "Неизвестное слово «client», «extra»";
            *row("no %] in the paragraph")
                << QStringList{"Итог: [%Client", "[%Client%]"} << placeOf(format, 1) << "warning"
                << "Текст «[%Client» похож на команду, но командой не будет: в том же "
                   "абзаце нет «%]»";
            *row("block runs on to a later ]")
                << QStringList{"[%Client%] (см. п. 2])"} << placeOf(format, 1) << "error"
                << "Блок команды продлился до следующей «]»";
        }

        // Spaces that parsing drops; in RTF the value is written as the
        // word processor stores Cyrillic.
        for (const QString format : {"docx", "odt"})
            QTest::newRow(qPrintable(format + ": spaces dropped"))
                << format << QStringList{"[%query=Client%replace_empty=нет данных%]"} << placeOf(format, 1)
                << "warning"
                << "«replace_empty=нет данных» прочитается как «replace_empty=нетданных»";
        QTest::newRow("rtf: spaces dropped")
            << "rtf"
            << QStringList{"[%query=Client%replace_empty=\\'ed\\'e5\\'f2 \\'e4\\'e0\\'ed\\'ed\\'fb\\'f5%]"}
            << placeOf("rtf", 1) << "warning"
            << "«replace_empty=нет данных» прочитается как «replace_empty=нетданных»";

        // Commands broken by a field or a comment.
        QTest::newRow("docx: split by a field")
            << "docx"
            << QStringList{"<w:p><w:r><w:t>[%Cli</w:t></w:r><w:r><w:fldChar w:fldCharType=\"begin\"/></w:r>"
                           "<w:r><w:instrText> PAGE </w:instrText></w:r><w:r><w:fldChar "
                           "w:fldCharType=\"separate\"/>"
                           "</w:r><w:r><w:t>1</w:t></w:r><w:r><w:fldChar w:fldCharType=\"end\"/></w:r>"
                           "<w:r><w:t>ent%]</w:t></w:r></w:p>"}
            << placeOf("docx", 1) << "warning"
            << "Внутри команды [%Cli1ent%] стоит поле w:fldChar";
        QTest::newRow("docx: split by a comment")
            << "docx"
            << QStringList{"<w:p><w:r><w:t>[%Cli</w:t></w:r><w:r><w:commentReference w:id=\"0\"/></w:r>"
                           "<w:r><w:t>ent%]</w:t></w:r></w:p>"}
            << placeOf("docx", 1) << "warning"
            << "стоит примечание w:commentReference";
        QTest::newRow("odt: split by a field")
            << "odt" << QStringList{"<text:p>[%Cli<text:page-number>1</text:page-number>ent%]</text:p>"} << placeOf("odt", 1)
            << "warning"
            << "Внутри команды [%Cli1ent%] стоит поле text:page-number";
        QTest::newRow("odt: split by a comment") << "odt"
                                                 << QStringList{"<text:p>[%Cli<office:annotation><text:p>?</"
                                                                "text:p></office:annotation>ent%]</text:p>"}
                                                 << placeOf("odt", 1) << "warning"
                                                 << "стоит примечание office:annotation";
        QTest::newRow("rtf: split by a field")
            << "rtf" << QStringList{"\\pard [%Cli{\\field{\\*\\fldinst PAGE}{\\fldrslt 1}}ent%]\\par"} << placeOf("rtf", 1)
            << "warning"
            << "стоит поле";
        QTest::newRow("rtf: command over two paragraphs")
            << "rtf" << QStringList{"[%Cli", "ent%]"} << placeOf("rtf", 1) << "warning"
            << "разбита на несколько абзацев";

        // Table commands that do not follow their table.
        for (const QString format : {"docx", "odt"})
            QTest::newRow(qPrintable(format + ": table command after text"))
                << format << QStringList{"Итог", "[%insert_table%query=Rows%]"} << placeOf(format, 2)
                << "error"
                << "команда вставки таблицы должна следовать сразу за таблицей";
        const QString rtfRow = "\\trowd\\cellx2000\\pard\\intbl a\\cell\\row";
        QTest::newRow("rtf: table command after text")
            << "rtf" << QStringList{rtfRow, rtfRow, "Итог", "[%insert_table%query=Rows%]"}
            << "строка 5, абзац 2"
            << "error"
            << "команда вставки таблицы должна следовать сразу за таблицей";
        QTest::newRow("docx: command in the template row")
            << "docx"
            << QStringList{"<w:tbl><w:tr><w:tc><w:p><w:r><w:t>h</w:t></w:r></w:p></w:tc></w:tr><w:tr><w:tc><w:p><w:r>"
                           "<w:t>[%Client%]</w:t></w:r></w:p></w:tc></w:tr></w:tbl>",
                           "[%insert_table%query=Rows%]"}
            << placeOf("docx", 3) << "error" << "В строке-образце таблицы стоит команда [%Client%]";
        QTest::newRow("odt: command in the template row")
            << "odt"
            << QStringList{"<table:table><table:table-row><table:table-cell><text:p>h</text:p></table:table-cell>"
                           "</table:table-row><table:table-row><table:table-cell><text:p>[%Client%]</text:p>"
                           "</table:table-cell></table:table-row></table:table>",
                           "[%insert_table%query=Rows%]"}
            << placeOf("odt", 3) << "error" << "В строке-образце таблицы стоит команда [%Client%]";
        QTest::newRow("rtf: command in the template row")
            << "rtf"
            << QStringList{"\\trowd\\cellx2000\\pard\\intbl h\\cell\\row",
                           "\\trowd\\cellx2000\\pard\\intbl [%Client%]\\cell\\row", "[%insert_table%query=Rows%]"}
            << "строка 4, абзац 1" << "error" << "В строке-образце таблицы стоит команда [%Client%]";
        QTest::newRow("rtf: table command without a table")
            << "rtf" << QStringList{"[%insert_table%query=Rows%]"} << placeOf("rtf", 1) << "error"
            << "не найдена строка таблицы";

        // What a format does not have.
        QTest::newRow("rtf: picture")
            << "rtf" << QStringList{"[%insert_picture%query=Client%]"} << placeOf("rtf", 1) << "error"
            << "В RTF нет вставки рисунков";
        QTest::newRow("rtf: section removal")
            << "rtf" << QStringList{"[%query=Client%delete_empty_section%]"} << placeOf("rtf", 1) << "warning"
            << "В RTF разделы не удаляются";
        QTest::newRow("docx: section removal in a single section")
            << "docx" << QStringList{"[%query=Client%delete_empty_section%]"} << placeOf("docx", 1)
            << "warning"
            << "в документе один раздел";
        QTest::newRow("odt: section removal before any page style")
            << "odt" << QStringList{"[%query=Client%delete_empty_section%]"} << placeOf("odt", 1) << "warning"
            << "меняющих стиль страницы";
        QTest::newRow("rtf: name not in Latin letters")
            << "rtf" << QStringList{"[%\\'d1\\'f3\\'ec\\'ec\\'e0%]"} << placeOf("rtf", 1) << "error"
            << "имя «Сумма» записано не латиницей";
        QTest::newRow("rtf: extra closing brace")
            << "rtf" << QStringList{"\\pard [%Client%]}\\par", "\\pard Итог\\par"} << placeOf("rtf", 1)
            << "error"
            << "лишняя «}»";

        // Commands the DOCX and ODT walks drop with the paragraphs of a block.
        for (const QString format : {"docx", "odt"}) {
            QTest::newRow(qPrintable(format + ": command after iterate_start in its paragraph"))
                << format << QStringList{start + " [%Client%]", "[%Item%]", "[%iterate_end=i%]"}
                << placeOf(format, 1) << "warning"
                << "Команда [%Client%] не будет выполнена";
            QTest::newRow(qPrintable(format + ": block in one paragraph"))
                << format << QStringList{start + " [%Item%] [%iterate_end=i%]"} << placeOf(format, 1)
                << "error"
                << "стоит в одном абзаце со своим iterate_start";
        }
    }
    void mistakes()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, paragraphs);
        QFETCH(QString, place);
        QFETCH(QString, severity);
        QFETCH(QString, message);
        const QList<Found> found = findingsOf(checkTemplate(format, paragraphs));
        bool seen = false;
        for (const Found& f : found)
            seen = seen || (f.place == place && f.severity == severity && f.message.contains(message));
        QVERIFY2(seen, qPrintable(QStringLiteral("expected %1 | %2 | …%3…\ngot:\n%4")
                                      .arg(place, severity, message, shown(found))));
    }

    // Parts that are not well-formed, with the line the parser stopped at.
    void malformedParts()
    {
        const QString docx = res->path() + "/Templates/broken.docx";
        QVERIFY(DocxBuilder("<w:p><w:r><w:t>[%Client%]</w:t></w:r></w:p>")
                    .header("<w:p><w:r><w:t>x</w:r></w:p>")
                    .write(docx));
        const QString odt = res->path() + "/Templates/broken.odt";
        QVERIFY(Odt::writeOdt(odt, Odt::contentXml("<text:p>[%Client%]</text:p>"),
                              "<?xml version=\"1.0\"?>\n<office:document-styles>\n<a></b>"));
        TemplateChecker::Options options;
        const QList<Found> found = findingsOf(TemplateChecker::check(entry("broken"), options));
        QStringList broken;
        for (const Found& f : found) {
            if (f.message.contains("неправильный XML"))
                broken << f.place + " " + f.severity;
        }
        QCOMPARE(broken, QStringList({"header1, строка 2 error", "styles, строка 3 error"}));
    }

    // The catalogue line: its queries and the template files it names.
    void catalogueLine_data()
    {
        QTest::addColumn<QString>("match");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("formats");
        QTest::addColumn<QString>("severity");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("count");
        QTest::newRow("match query missing") << "Nope"
                                             << "" << QStringList{"docx"} << "error"
                                             << "Нет файла запроса соответствия Nope.xq" << 1;
        QTest::newRow("no match query") << ""
                                        << "" << QStringList{"docx"} << "warning"
                                        << "Не указан запрос соответствия" << 1;
        QTest::newRow("name query broken") << "Match"
                                           << "Broken" << QStringList{"docx"} << "error"
                                           << "Запрос Broken.xq не компилируется" << 1;
        QTest::newRow("format asked for is missing") << "Match"
                                                     << "" << QStringList{"odt"} << "error"
                                                     << "Нет файла шаблона line.odt" << 1;
        QTest::newRow("another format is missing") << "Match"
                                                   << "" << QStringList() << "warning"
                                                   << "Нет файла шаблона line.rtf" << 2;
    }
    void catalogueLine()
    {
        QFETCH(QString, match);
        QFETCH(QString, name);
        QFETCH(QStringList, formats);
        QFETCH(QString, severity);
        QFETCH(QString, message);
        QFETCH(int, count);
        const QString path = res->path() + "/Templates/line.docx";
        QVERIFY(DocxBuilder("<w:p><w:r><w:t>[%Client%]</w:t></w:r></w:p>").write(path));
        TemplateChecker::Options options;
        options.formats = formats;
        CheckedTemplate line = entry("line", match, name);
        line.line = 4;
        const QList<Found> found = findingsOf(TemplateChecker::check(line, options));
        QVERIFY2(found.size() == count, qPrintable(shown(found)));
        bool seen = false;
        for (const Found& f : found)
            seen = seen || (f.place == "Templates.txt, строка 4" && f.severity == severity &&
                            f.message.contains(message));
        QVERIFY2(seen, qPrintable(shown(found)));
    }

    // A dry run on a sample file: what each command gives the document, and
    // what fails only on data.
    void dryRun()
    {
        res->addLiteralQuery(folder, "Pic", "nosuch.png");
        res->addQuery(folder, "Empty", queryPrologue() + "''");
        const QString sample = res->path() + "/sample.xml";
        QVERIFY(writeTextFile(sample, "<a n=\"x\"/>"));
        const QString table = "<w:tbl><w:tr><w:tc><w:p><w:r><w:t>h</w:t></w:r></w:p></w:tc></w:tr>"
                              "<w:tr><w:tc><w:p/></w:tc></w:tr></w:tbl>";
        const QString path = res->path() + "/Templates/dry.docx";
        QVERIFY(DocxBuilder("<w:p><w:r><w:t>[%Client%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%query=Empty%replace_empty=-%]</w:t></w:r></w:p>"
                            + table + "<w:p><w:r><w:t>[%insert_table%query=Rows%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%iterate_start=i%query=Count%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%Item%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%iterate_end=i%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%iterate_start=k%query=Client%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%iterate_end=k%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%insert_picture%query=Pic%]</w:t></w:r></w:p>"
                            "<w:p><w:r><w:t>[%Fails%]</w:t></w:r></w:p>")
                    .write(path));
        TemplateChecker::Options options;
        options.formats = QStringList{"docx"};
        options.samplePath = sample;
        const QVector<TemplateCheckResult> results = TemplateChecker::check(entry("dry"), options);
        QCOMPARE(results.size(), 2);
        QStringList values;
        for (const CheckedCommand& command : results.at(1).commands) {
            QStringList runs;
            for (const SampleValue& value : command.samples)
                runs << (value.variables.isEmpty() ? value.value : value.variables + ": " + value.value);
            values << command.written + " → " + runs.join(" | ");
        }
        QCOMPARE(values, QStringList({"[%Client%] → ООО «Ромашка»", "[%query=Empty%replace_empty=-%] → -",
                                      "[%insert_table%query=Rows%] → строк: 2 — a⇥b⏎c⇥d",
                                      "[%iterate_start=i%query=Count%] → повторений: 2",
                                      "[%Item%] → i=1: item 1 | i=2: item 2", "[%iterate_end=i%] → ",
                                      "[%iterate_start=k%query=Client%] → повторений: 0", "[%iterate_end=k%] → ",
                                      "[%insert_picture%query=Pic%] → рисунок nosuch.png — не будет вставлен",
                                      "[%Fails%] → !!! ОШИБКА !!!"}));
        const QString found = shown(findingsOf(results));
        QVERIFY2(found.contains("document, абзац 9 | error | На файле sample.xml: Ошибка в шаблоне: запрос Client "
                                "команды [%iterate_start=k%query=Client%] вернул «ООО «Ромашка»» вместо числа "
                                "повторений"),
                 qPrintable(found));
        QVERIFY2(found.contains("document, абзац 11 | warning | На файле sample.xml: Предупреждение! Рисунок не "
                                "вставлен: файл"),
                 qPrintable(found));
        QVERIFY2(found.contains("document, абзац 12 | error | На файле sample.xml запрос Fails.xq не выполнился: "
                                "строка 1, позиция 42: It's not possible to cast the value x"),
                 qPrintable(found));
    }

    // A correct template gives no finding: each bundled example in each format.
    void examplesAreClean()
    {
        prependGlobalResourcePaths({examples + "/resources"});
        TemplateList catalogue;
        const QString cataloguePath = examples + "/resources/Settings/Templates.txt";
        QVERIFY(catalogue.load(cataloguePath));
        const QVector<CheckedTemplate> entries = TemplateChecker::entriesOf(catalogue, cataloguePath);
        QCOMPARE(entries.size(), 3);
        int files = 0;
        for (const CheckedTemplate& example : entries) {
            const QVector<TemplateCheckResult> results = TemplateChecker::check(example, {});
            QVERIFY2(findingsOf(results).isEmpty(), qPrintable(shown(findingsOf(results))));
            for (const TemplateCheckResult& result : results) {
                if (!result.format.isEmpty()) {
                    ++files;
                    QVERIFY(!result.commands.isEmpty());
                }
            }
        }
        QCOMPARE(files, 9);
    }

    // The batch command: listing, report, exit status, the dry run, and not
    // one file written, temporary ones included.
    void batchCheck()
    {
        if (qEnvironmentVariableIsEmpty("PLINTHWORKS_BATCH"))
            QSKIP("the batch command was not built");
        QTemporaryDir dir;
        const QString resources = dir.path() + "/resources";
        const QString work = dir.path() + "/work";
        const QString home = dir.path() + "/home";
        const QString temp = dir.path() + "/tmp";
        copyFolder(examples + "/resources", resources);
        copyFolder(examples + "/data", work);
        for (const QString& path : {home, temp})
            QDir().mkpath(path);
        // A second catalogue line whose template has a mistake.
        QFile catalogue(resources + "/Settings/Templates.txt");
        QVERIFY(catalogue.open(QIODevice::Append));
        catalogue.write("bad\tBad\t\t_b\tbad\tinvoice\tName\tMatch\t\n");
        catalogue.close();
        QVERIFY(DocxBuilder("<w:p><w:r><w:t>[%Numbr%]</w:t></w:r></w:p>")
                    .write(resources + "/Templates/bad.docx"));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", home);
        env.insert("TMPDIR", temp);
        for (const char* name :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "DISPLAY"})
            env.remove(name);
        const QStringList before = listing(dir.path());

        const BatchRun clean = runBatch({"--check", "--resources", resources, "--template", "invoice",
                                         "--template", "act", "--format", "odt"},
                                        work, env);
        QCOMPARE(clean.exitCode, 0);
        QVERIFY2(clean.out.contains("invoice, ODT: ") && clean.out.contains("act, ODT: ") &&
                     !clean.out.contains("contract"),
                 qPrintable(clean.out));
        QVERIFY(clean.out.contains(
            "content, абзац 37: [%iterate_start=n%query=NoteCount%] — начало блока, запрос "
            "NoteCount"));
        QVERIFY(clean.out.contains("Проверено шаблонов: 2; ошибок: 0, предупреждений: 0"));

        const BatchRun dry = runBatch({"--check", "--resources", resources, "--template", "contract",
                                       "--format", "rtf", "--sample", work + "/contract_21-2024.xml"},
                                      work, env);
        QCOMPARE(dry.exitCode, 0);
        QVERIFY2(dry.out.contains("→ повторений: 3") && dry.out.contains("→ s=1, d=1: 1.1. ") &&
                     dry.out.contains("выполнений всего: 8") && dry.out.contains("⏎"),
                 qPrintable(dry.out));

        const BatchRun errors = runBatch({"--check", "--resources", resources, "--report", "-"}, work, env);
        QCOMPARE(errors.exitCode, 1);
        const QStringList report = errors.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(report.value(0), QString("Шаблон\tФормат\tЧасть\tАбзац\tВажность\tСообщение"));
        QVERIFY2(report.contains("bad\t\tTemplates.txt:4\t\tпредупреждение\tНет файла шаблона bad.odt: документы в "
                                 "этом формате по шаблону не формируются"),
                 qPrintable(errors.out));
        QVERIFY2(report.filter(QRegularExpression("^bad\tdocx\tdocument\t1\tошибка\tНет файла запроса Numbr.xq "))
                         .size() == 1,
                 qPrintable(errors.out));
        QVERIFY(errors.err.contains("bad, DOCX: "));
        QVERIFY(errors.err.contains("ошибок: 1"));

        const QStringList after = listing(dir.path());
        QCOMPARE(after, before);

        // Bad usage that only the run can tell.
        for (const QStringList& args :
             {QStringList{"--check", "--resources", resources, "--template", "nosuch"},
              QStringList{"--check", "--resources", resources, "--sample", work + "/nosuch.xml"}})
            QCOMPARE(runBatch(args, work, env).exitCode, 2);
    }
};

QTEST_GUILESS_MAIN(TestTemplateCheck)
#include "tst_templatecheck.moc"
