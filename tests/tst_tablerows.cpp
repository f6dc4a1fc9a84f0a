// Table rows written from one prototype row come out exactly as rows built
// one tree each, whatever the values, in both formats and in a single-byte
// encoding.
#include "docxformat.h"
#include "domformat.h"
#include "domutil.h"
#include "odtformat.h"
#include "tablerows.h"

#include <QTextCodec>
#include <QtTest>

namespace {

const char* const docxTable =
    "<w:document><w:body><w:tbl><w:tr>"
    "<w:tc><w:p><w:r><w:t>№ </w:t></w:r></w:p></w:tc>"
    "<w:tc><w:p><w:pPr><w:rPr><w:b/></w:rPr></w:pPr></w:p></w:tc>"
    "<w:tc><w:tcPr/></w:tc>"
    "</w:tr></w:tbl><w:p/></w:body></w:document>";
const char* const odtTable =
    "<office:text><table:table><table:table-row>"
    "<table:table-cell><text:p>№ </text:p></table:table-cell>"
    "<table:covered-table-cell/>"
    "<table:table-cell><text:p><text:span text:style-name=\"b\">x</text:span></text:p></table:table-cell>"
    "</table:table-row></table:table></office:text>";

} // namespace

class TestTableRows : public QObject
{
    Q_OBJECT

private slots:
    void prototypeRowsMatchBuiltRows_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("replaceEmpty");
        QTest::addColumn<QByteArray>("codec");
        QTest::addColumn<bool>("spliced");
        const QList<QPair<const char*, QString>> results{
            {"plain", "1\tБумага А4\t250,00\n2\tРучка\t15,50"},
            {"white space at the ends", " 1\ta\tb \nc\td\te"},
            {"double space", "a  b\tc\td\ne\tf\tg"},
            {"markup characters", "a&b<c\t\"q\" 'x'\tr\nx>y\t]]z\t]]>"},
            {"empty and missing cells", "a\t\tc\nd\ne\tf\tg\th"},
            {"beyond the basic plane", "Ω😀\tЖ\t中\n😀\t1\t2"},
            {"empty result", ""},
        };
        for (const char* format : {"docx", "odt"}) {
            for (const auto& r : results) {
                for (const QByteArray& codec : {QByteArray("UTF-8"), QByteArray("Windows-1251")}) {
                    const QString name = QStringLiteral("%1, %2, %3").arg(format, r.first, codec);
                    QTest::newRow(qPrintable(name)) << format << r.second << QString() << codec
                                                    << (r.first == QLatin1String("plain"));
                    QTest::newRow(qPrintable(name + ", replace_empty"))
                        << format << r.second << QStringLiteral("—") << codec << false;
                }
            }
        }
    }
    void prototypeRowsMatchBuiltRows()
    {
        QFETCH(QString, format);
        QFETCH(QString, result);
        QFETCH(QString, replaceEmpty);
        QFETCH(QByteArray, codec);
        QFETCH(bool, spliced);
        const std::unique_ptr<DomFormat> rules = format == QLatin1String("docx") ? createDocxFormat() : createOdtFormat();
        QDomDocument source;
        QVERIFY(DomUtil::parseDocument(source, QByteArray(format == QLatin1String("docx") ? docxTable : odtTable)));
        const QDomElement seed = source.elementsByTagName(rules->names().row).item(0).toElement();
        QVERIFY(!seed.isNull());
        QTextCodec* textCodec = QTextCodec::codecForName(codec);

        QDomDocument built;
        built.appendChild(TableRows::fill(built, seed, result, replaceEmpty, *rules));
        QByteArray expected;
        DomUtil::rawDataFromDoc(expected, built, textCodec, -1);

        QDomDocument written;
        QList<SplicedRows> splices;
        written.appendChild(TableRows::fill(written, seed, result, replaceEmpty, *rules, &splices));
        QByteArray actual;
        QVERIFY(DomUtil::rawDataWithRows(actual, written, textCodec, splices));
        QCOMPARE(actual, expected);
        if (spliced)
            QCOMPARE(splices.size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTableRows)
#include "tst_tablerows.moc"
