// Parsing of template command blocks.
#include "proccommand.h"

#include <QtTest>

using Options = QMap<QString, QString>;
Q_DECLARE_METATYPE(Options)

class TestProcCommand : public QObject
{
    Q_OBJECT
private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("block");
        QTest::addColumn<int>("type");
        QTest::addColumn<Options>("options");
        QTest::newRow("implicit query") << "[%Client%]" << int(TextInsert) << Options{{"query", "Client"}};
        QTest::newRow("replace_empty") << "[%query=Client%replace_empty=-%]" << int(TextInsert)
                                       << Options{{"query", "Client"}, {"replace_empty", "-"}};
        QTest::newRow("table") << "[%insert_table%query=Rows%replace_empty=0%]" << int(TableInsert)
                               << Options{{"insert_table", ""}, {"query", "Rows"}, {"replace_empty", "0"}};
        QTest::newRow("iterate start") << "[%iterate_start=i%query=Count%separate=page%]" << int(IterateStart)
                                       << Options{{"iterate_start", "i"}, {"query", "Count"}, {"separate", "page"}};
        QTest::newRow("iterate end") << "[%iterate_end=i%]" << int(IterateEnd) << Options{{"iterate_end", "i"}};
        QTest::newRow("bare iterate end") << "[%iterate_end%]" << int(IterateEnd) << Options{{"iterate_end", ""}};
        QTest::newRow("picture") << "[%insert_picture%query=Photo%]" << int(PictureInsert)
                                 << Options{{"insert_picture", ""}, {"query", "Photo"}};
        QTest::newRow("two pieces, no implicit query") << "[%Client%Extra%]" << int(TextInsert)
                                                       << Options{{"client", ""}, {"extra", ""}};
        QTest::newRow("white space everywhere") << "[ % Client % ]" << int(TextInsert) << Options{{"query", "Client"}};
        QTest::newRow("white space inside values") << "[%query=X%replace_empty=нет данных%]" << int(TextInsert)
                                                   << Options{{"query", "X"}, {"replace_empty", "нетданных"}};
        QTest::newRow("key case folded, value kept") << "[%QUERY=Client%]" << int(TextInsert)
                                                     << Options{{"query", "Client"}};
        QTest::newRow("value case kept") << "[%Query=client%]" << int(TextInsert) << Options{{"query", "client"}};
        QTest::newRow("a=b=c") << "[%a=b=c%]" << int(TextInsert) << Options{{"a", "b"}};
        QTest::newRow("later kind wins") << "[%insert_table%iterate_start=j%]" << int(IterateStart)
                                         << Options{{"insert_table", ""}, {"iterate_start", "j"}};
        QTest::newRow("repeated key keeps later") << "[%query=a%query=b%]" << int(TextInsert)
                                                  << Options{{"query", "b"}};
        QTest::newRow("flags") << "[%iterate_start=i%query=n%keep_empty%delete_empty_section%]" << int(IterateStart)
                               << Options{{"iterate_start", "i"}, {"query", "n"}, {"keep_empty", ""},
                                          {"delete_empty_section", ""}};
        QTest::newRow("line breaks in block") << "[%\nquery=\tA\r\n%]" << int(TextInsert) << Options{{"query", "A"}};
        QTest::newRow("any outer characters dropped") << "xx%Client%yy" << int(TextInsert)
                                                      << Options{{"client", ""}, {"", ""}};
    }
    void parse()
    {
        QFETCH(QString, block);
        QFETCH(int, type);
        QFETCH(Options, options);
        const ProcCommand command(block);
        QCOMPARE(int(command.commandType()), type);
        QCOMPARE(command.options(), options);
        QVERIFY(!command.commandText().contains(QRegularExpression("\\s")));
    }

    void missingOptionReadsEmpty()
    {
        const ProcCommand command(QStringLiteral("[%iterate_start=i%query=n%keep_empty%]"));
        QVERIFY(command.hasOption("keep_empty"));
        QVERIFY(!command.hasOption("separate"));
        QCOMPARE(command.option("separate"), QString());
        QCOMPARE(command.commandText(), QStringLiteral("iterate_start=i%query=n%keep_empty"));
    }
};

QTEST_GUILESS_MAIN(TestProcCommand)
#include "tst_proccommand.moc"
