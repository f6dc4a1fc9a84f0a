// The two item models under Qt's model tester while a real processing list
// runs on real files and while the catalogue is loaded and edited, and what
// a user sees of the rows.
#include "filelist.h"
#include "filemodel.h"
#include "globals.h"
#include "settingscatalogue.h"
#include "settingsgroup.h"
#include "simpletablelistmodel.h"
#include "templatelist.h"
#include "testsupport.h"
#include "xmlfileitem.h"
#include "zipfileitem.h"
#include "ziputil.h"

#include <QAbstractItemModelTester>
#include <QFont>
#include <QSignalSpy>
#include <QTextCodec>
#include <QTreeView>
#include <QtTest>

using namespace TestSupport;

namespace {

QVariant cell(const QAbstractItemModel& model, int row, int column, int role = Qt::DisplayRole,
              const QModelIndex& parent = QModelIndex())
{
    return model.data(model.index(row, column, parent), role);
}

// Runs the list up to `step` and waits for the end of the run.
bool runTo(FileList& list, ProcessingStepType step)
{
    QSignalSpy finished(&list, &FileList::processingFinished);
    list.startProcessFiles(step);
    return finished.wait(30000);
}

} // namespace

class TestModels : public QObject
{
    Q_OBJECT
    QTemporaryDir dir;
    ResourceFolder* res = nullptr;

private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        clearSettingsStore();
        ZipUtil::initDefaults();
        initGlobalResourcePaths();
        initGlobalSettings();
        res = new ResourceFolder;
        res->addQuery("q", "match", queryPrologue() + "exists(doc($inputDocument)/doc)");
        res->addQuery("q", "none", queryPrologue() + "false()");
        res->addQuery("q", "no", queryPrologue() + "string(doc($inputDocument)/doc/no)");
        const QByteArray rtf = QTextCodec::codecForName("Windows-1251")
                                   ->fromUnicode(QStringLiteral("{\\rtf1\\ansi\\ansicpg1251 № [%query=no%]\\par }"));
        res->addTemplate("letter.rtf", rtf);
        res->addTemplate("extra.rtf", rtf);
        res->writeCatalogue({"letter\tПисьмо\t\t_l\tletter\tq\t\tmatch\t",
                             "extra\tДоп\t\t_x\textra\tq\t\tnone\t"});
    }
    void cleanupTestCase() { delete res; }

    void fileModelThroughAWholeRun()
    {
        TemplateList catalogue;
        QVERIFY(catalogue.load(locateInResource("Settings", "Templates.txt")));
        const QString folder = dir.path() + "/run";
        for (int i = 1; i <= 3; ++i)
            QVERIFY(writeTextFile(folder + QStringLiteral("/f%1.xml").arg(i),
                                  QStringLiteral("<doc><no>%1</no></doc>").arg(i)));
        QVERIFY(writeZip(folder + "/single.zip", {{"inner.xml", "<doc><no>7</no></doc>"}, {"scan.pdf", "%PDF"}}));
        QVERIFY(writeZip(folder + "/pair.zip", {{"a.xml", "<doc><no>8</no></doc>"}, {"b.xml", "<doc><no>9</no></doc>"}}));

        FileList list;
        list.setTemplateList(&catalogue);
        list.setParallel(true);
        TransformParams transform = list.transformParams();
        transform.format = "rtf";
        list.setTransformParams(transform);
        FileModel model(&list);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QTreeView view; // a view that reads the rows as they come
        view.setModel(&model);
        view.expandAll();
        // Every change arrives as announced rows, never as a reset.
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);

        list.addFileNames({folder + "/f1.xml", folder + "/single.zip"});
        list.addFileNames({folder + "/f2.xml", folder + "/pair.zip", folder + "/f3.xml", folder + "/missing.xml"});
        QCOMPARE(model.rowCount(), 6);
        QCOMPARE(model.headerData(0, Qt::Vertical), QVariant(1));
        QCOMPARE(model.headerData(3, Qt::Horizontal).toString(), QString("Шаблон документа"));
        QCOMPARE(cell(model, 0, 1, Qt::TextAlignmentRole).toInt(), int(Qt::AlignRight));

        QVERIFY(runTo(list, psUnzip));
        QCOMPARE(model.rowCount(model.index(1, 0)), 2);
        QCOMPARE(model.rowCount(model.index(3, 0)), 2);
        QCOMPARE(cell(model, 1, 0, Qt::BackgroundRole).value<QColor>(), QColor(240, 240, 240));
        view.expandAll();

        QVERIFY(runTo(list, psTransform));
        const QModelIndex single = model.index(1, 0);
        // The single-XML archive stands for its file.
        QCOMPARE(cell(model, 1, 3).toString(), QString("Письмо"));
        QCOMPARE(cell(model, 1, 4).toString(), QString("inner_l.rtf"));
        QCOMPARE(cell(model, 1, 4).toString(), cell(model, 0, 4, Qt::DisplayRole, single).toString());
        QCOMPARE(cell(model, 1, 0, Qt::BackgroundRole).value<QColor>(), QColor(204, 255, 204));
        QVERIFY(!cell(model, 1, 4, Qt::DecorationRole).value<QIcon>().isNull());
        // An archive of two XML files shows its own, empty, template.
        QCOMPARE(cell(model, 3, 3).toString(), QString());
        QCOMPARE(cell(model, 3, 0, Qt::BackgroundRole).value<QColor>(), QColor(240, 240, 240));
        QCOMPARE(cell(model, 1, 3, Qt::DisplayRole, model.index(3, 0)).toString(), QString("Письмо"));
        // A failed file: bold, in the error colour, whatever its background.
        QVERIFY(cell(model, 5, 2, Qt::FontRole).value<QFont>().bold());
        QCOMPARE(cell(model, 5, 0, Qt::ForegroundRole).value<QColor>(), QColor(255, 0, 0));
        QVERIFY(!cell(model, 5, 5).toString().isEmpty());
        QVERIFY(!cell(model, 0, 0, Qt::FontRole).isValid());
        QVERIFY(!cell(model, 0, 0, Qt::ForegroundRole).isValid());

        // Colours are read when the view asks.
        gst[stColorTransformed] = QColor(1, 2, 3);
        QCOMPARE(cell(model, 0, 2, Qt::BackgroundRole).value<QColor>(), QColor(1, 2, 3));
        gst[stColorTransformed] = QColor(204, 255, 204);

        // An additional template makes links below every XML file, and goes again.
        TemplateItem* extra = catalogue.getItem(1);
        list.addTemplate(extra);
        QCOMPARE(model.rowCount(model.index(0, 0)), 2);
        QCOMPARE(cell(model, 1, 3, Qt::DisplayRole, model.index(0, 0)).toString(), QString("Доп"));
        view.expandAll();
        QVERIFY(runTo(list, psTransform));
        QVERIFY(QFile::exists(folder + "/f1_x.rtf"));
        list.removeTemplate(extra);
        QCOMPARE(model.rowCount(model.index(0, 0)), 0);

        // Deleted unpacked files keep their rows, shown italic and disabled.
        list.deleteUnzipedFiles();
        const QModelIndex inner = model.index(0, 0, single);
        QVERIFY(model.data(inner, Qt::FontRole).value<QFont>().italic());
        QCOMPARE(model.flags(inner), Qt::ItemIsSelectable);
        QCOMPARE(model.flags(model.index(0, 1, single)) & Qt::ItemIsEnabled, Qt::ItemIsEnabled);

        list.removeRows(1, 3);
        QCOMPARE(model.rowCount(), 3);
        QCOMPARE(cell(model, 1, 0).toString(), QString("f3.xml"));
        QCOMPARE(resets.count(), 0);
    }

    void tableModelFollowsLoadAndEdits()
    {
        TemplateList catalogue;
        SimpleTableListModel model;
        model.setList(&catalogue);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        QTreeView view;
        view.setModel(&model);
        QCOMPARE(model.rowCount(), 0);
        QCOMPARE(model.columnCount(), 10);
        QCOMPARE(model.headerData(9, Qt::Horizontal).toString(), QString("Текст ошибки"));

        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QVERIFY(catalogue.load(locateInResource("Settings", "Templates.txt")));
        QCOMPARE(reset.count(), 1);
        QCOMPARE(model.rowCount(), 2);
        QCOMPARE(model.headerData(0, Qt::Vertical), QVariant(1));
        QCOMPARE(cell(model, 1, 1).toString(), QString("Доп"));
        QVERIFY(model.flags(model.index(0, 9)) & Qt::ItemIsEditable);

        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy modified(&catalogue, &SimpleListContainer::modifiedStatusChanged);
        QVERIFY(model.setData(model.index(1, 1), QString("Доп")));
        QCOMPARE(changed.count(), 0);
        QVERIFY(!catalogue.isModified());
        QVERIFY(model.setData(model.index(1, 1), QString("Дополнительный")));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex(), model.index(1, 1));
        QVERIFY(catalogue.isModified());
        QCOMPARE(modified.count(), 1);
        QCOMPARE(catalogue.getItem(1)->title, QString("Дополнительный"));
        // The error text cannot be set; the list counts the attempt as a change.
        QVERIFY(model.setData(model.index(0, 9), QString("x")));
        QCOMPARE(cell(model, 0, 9).toString(), QString());
        QVERIFY(!model.setData(model.index(0, 1), QString("y"), Qt::DisplayRole));
    }
};

QTEST_MAIN(TestModels)
#include "tst_models.moc"
