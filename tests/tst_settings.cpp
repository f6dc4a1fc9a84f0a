// Settings groups: the store round trip with its type conversion, the
// widget binding by object name, the catalogue's defaults, column widths.
#include "globals.h"
#include "settingscatalogue.h"
#include "settingsgroup.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSettings>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTreeView>
#include <QtTest>

using namespace TestSupport;

namespace {

// Builds the widgets of a binding case from a description such as
// "check:kBox combo3:kCombo": kind (with an entry count for combo boxes)
// and object name. A list widget starts with one item, "old".
void buildWidgets(QWidget* page, const QString& description)
{
    for (const QString& part : description.split(' ', Qt::SkipEmptyParts)) {
        const QString kind = part.section(':', 0, 0);
        const QString name = part.section(':', 1);
        QWidget* widget = nullptr;
        if (kind == "check") {
            widget = new QCheckBox(page);
        } else if (kind.startsWith("combo")) {
            auto* combo = new QComboBox(page);
            for (int i = 0; i < kind.mid(5).toInt(); ++i)
                combo->addItem(QStringLiteral("e%1").arg(i));
            widget = combo;
        } else if (kind == "spin") {
            auto* spin = new QSpinBox(page);
            spin->setRange(-1000, 1000);
            widget = spin;
        } else if (kind == "edit") {
            widget = new QLineEdit(page);
        } else if (kind == "list") {
            auto* list = new QListWidget(page);
            list->addItem("old");
            widget = list;
        }
        // Nested one level down: the binding searches all descendants.
        auto* holder = new QWidget(page);
        widget->setParent(holder);
        widget->setObjectName(name);
    }
}

// What the widgets show, in object-name order.
QString describeWidgets(const QWidget* page)
{
    QStringList parts;
    QList<QWidget*> widgets = page->findChildren<QWidget*>();
    std::sort(widgets.begin(), widgets.end(),
              [](QWidget* a, QWidget* b) { return a->objectName() < b->objectName(); });
    for (const QWidget* w : widgets) {
        if (!w->objectName().startsWith('k'))
            continue; // the parts Qt builds inside a widget
        QString state;
        if (const auto* box = qobject_cast<const QCheckBox*>(w))
            state = box->isChecked() ? "1" : "0";
        else if (const auto* combo = qobject_cast<const QComboBox*>(w))
            state = QStringLiteral("%1/%2").arg(combo->currentIndex()).arg(combo->currentText());
        else if (const auto* spin = qobject_cast<const QSpinBox*>(w))
            state = QString::number(spin->value());
        else if (const auto* edit = qobject_cast<const QLineEdit*>(w))
            state = edit->text().isEmpty() ? edit->palette().color(QPalette::Base).name(QColor::HexArgb) : edit->text();
        else if (const auto* list = qobject_cast<const QListWidget*>(w)) {
            QStringList texts;
            for (int i = 0; i < list->count(); ++i)
                texts << list->item(i)->text();
            state = texts.join(',');
        } else
            continue;
        parts << w->objectName() + "=" + state;
    }
    return parts.join(' ');
}

// Applies "name=value" edits to the widgets before reading.
void editWidgets(QWidget* page, const QString& edits)
{
    for (const QString& edit : edits.split(' ', Qt::SkipEmptyParts)) {
        const QString name = edit.section('=', 0, 0);
        const QString value = edit.section('=', 1);
        QWidget* w = page->findChild<QWidget*>(name);
        if (auto* box = qobject_cast<QCheckBox*>(w))
            box->setChecked(value == "1");
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            combo->setCurrentIndex(value.toInt());
        else if (auto* spin = qobject_cast<QSpinBox*>(w))
            spin->setValue(value.toInt());
        else if (auto* line = qobject_cast<QLineEdit*>(w))
            line->setText(value);
    }
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { initHermeticEnvironment(); }
    void init() { clearSettingsStore(); }

    void binding_data()
    {
        QTest::addColumn<QString>("widgets");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("edits");
        QTest::addColumn<QVariant>("read"); // invalid: no widget belongs to the key

        QTest::newRow("bool, check box") << "check:kBox" << QVariant(true) << "kBox=1" << "kBox=0" << QVariant(false);
        QTest::newRow("bool, combo box") << "combo2:kCombo" << QVariant(true) << "kCombo=1/e1" << "kCombo=0"
                                         << QVariant(false);
        QTest::newRow("bool, both: the combo box decides on reading")
            << "check:kBox combo2:kCombo" << QVariant(true) << "kBox=1 kCombo=1/e1" << "kCombo=0" << QVariant(false);
        QTest::newRow("int, combo box clamped above") << "combo3:kCombo" << QVariant(9) << "kCombo=2/e2" << ""
                                                      << QVariant(2);
        QTest::newRow("int, combo box clamped below") << "combo3:kCombo" << QVariant(-1) << "kCombo=0/e0" << ""
                                                      << QVariant(0);
        QTest::newRow("64-bit, combo box") << "combo3:kCombo" << QVariant(qlonglong(1)) << "kCombo=1/e1" << "kCombo=2"
                                           << QVariant(qlonglong(2));
        QTest::newRow("int, spin box") << "spin:kSpin" << QVariant(42) << "kSpin=42" << "kSpin=17" << QVariant(17);
        QTest::newRow("string, line edit") << "edit:kEdit" << QVariant("abc") << "kEdit=abc" << "kEdit=xyz"
                                           << QVariant("xyz");
        QTest::newRow("string, combo box text") << "combo2:kCombo" << QVariant("e1") << "kCombo=1/e1" << "kCombo=0"
                                                << QVariant("e0");
        QTest::newRow("string list, key + List")
            << "list:kList" << QVariant(QStringList{"a", "b"}) << "kList=a,b,old" << "" << QVariant(QStringList{"a", "b", "old"});
        QTest::newRow("string list, bare key")
            << "list:k" << QVariant(QStringList{"a"}) << "k=a,old" << "" << QVariant(QStringList{"a", "old"});
        QTest::newRow("colour, line edit") << "edit:kEdit" << QVariant(QColor(1, 2, 3)) << "kEdit=#ff010203" << ""
                                           << QVariant(QColor(1, 2, 3));
        QColor half(10, 20, 30);
        half.setAlphaF(0.5);
        QTest::newRow("colour with alpha spin") << "edit:kEdit spin:kAlphaSpin" << QVariant(half)
                                                << "kAlphaSpin=50 kEdit=#800a141e" << "" << QVariant(half);
        QColor faint(10, 20, 30);
        faint.setAlphaF(0.004);
        QTest::newRow("colour, alpha rounds to 0") << "edit:kEdit spin:kAlphaSpin" << QVariant(faint)
                                                   << "kAlphaSpin=0 kEdit=#010a141e" << "" << QVariant(faint);
        QTest::newRow("wrong widget kind") << "spin:kBox" << QVariant(true) << "kBox=0" << "" << QVariant();
        QTest::newRow("no widget for a double") << "spin:kSpin" << QVariant(2.5) << "kSpin=0" << "" << QVariant();
    }
    void binding()
    {
        QFETCH(QString, widgets);
        QFETCH(QVariant, value);
        QFETCH(QString, shown);
        QFETCH(QString, edits);
        QFETCH(QVariant, read);
        QWidget page;
        buildWidgets(&page, widgets);
        const QString key = "k";
        QCOMPARE(SettingsGroup::writeToWidget(&page, key, value), read.isValid());
        QCOMPARE(describeWidgets(&page), shown);
        editWidgets(&page, edits);
        QVariant result = value;
        QCOMPARE(SettingsGroup::readFromWidget(&page, key, result), read.isValid());
        if (read.isValid()) {
            QCOMPARE(result.userType(), read.userType());
            QCOMPARE(result, read);
        } else {
            QCOMPARE(result, value);
        }
    }

    // A page read with no key list takes every key that has a widget and
    // leaves the others as they are.
    void pageReadAndWrite()
    {
        SettingsGroup group("G");
        group.defaultValue = false;
        group << "a" << "b";
        group.addKey("n", 3);
        QWidget page;
        buildWidgets(&page, "check:aBox spin:nSpin");
        group.writeToWidget(&page);
        editWidgets(&page, "aBox=1 nSpin=8");
        group.readFromWidget(&page);
        QCOMPARE(group.values.value("a"), QVariant(true));
        QCOMPARE(group.values.value("b"), QVariant(false));
        QCOMPARE(group.values.value("n"), QVariant(8));

        gst.clear();
        gst << group;
        editWidgets(&page, "aBox=0 nSpin=1");
        gst.readFromWidget(&page, {"n", "unknown"});
        QCOMPARE(gst["n"], QVariant(1));
        QCOMPARE(gst["a"], QVariant(true));
    }

    void firstRunDefaults()
    {
        initGlobalSettings();
        QCOMPARE(gst.groups.size(), 4);
        QStringList order;
        for (const SettingsGroup& g : gst.groups)
            order << g.name;
        QCOMPARE(order, QStringList({"RunSettings", "UnzipSettings", "DisplaySettings", "ColorSettings"}));
        QCOMPARE(gst[stRunDocumentFormat], QVariant(0));
        for (const QString& on : {stRunParallel, stRunAutoUnzip, stRunAutoDetect})
            QCOMPARE(gst[on], QVariant(true));
        for (const QString& off : {stRunRenameDest, stRunOverwrite, stRunOpenDocument, stRunDeleteUnziped,
                                   stUnzipRecursive, stUnzipRemoveInternalZips, stShowNames, stShowPath,
                                   stShowTemplates})
            QCOMPARE(gst[off], QVariant(false));
        QCOMPARE(gst[stUnzipIncludeMask].toString(), QString(R"((.+\.xml|.+\.zip|.+\.pdf|.+\.sig|.+\.jpg))"));
        QCOMPARE(gst[stUnzipExcludeMask].toString(), QString("(proto.*|req.*)"));
        QCOMPARE(gst[stColorRecognized].value<QColor>(), QColor(255, 255, 127));
        QCOMPARE(gst[stColorError].value<QColor>().alpha(), 255);
        QVERIFY(!globalShowPath());
        QVERIFY(!globalShowNames());
    }

    // Values written by hand or by an older version come back in the key's
    // own type; one that cannot be converted leaves the default in place.
    void storeRoundTrip()
    {
        {
            QSettings settings;
            settings.setValue("RunSettings/runOverwrite", "true");
            settings.setValue("RunSettings/runDocumentFormat", "7");
            settings.setValue("DisplaySettings/showPath", "true");
            settings.setValue("ColorSettings/colorUnziped", "#102030");
            settings.setValue("ColorSettings/colorError", "no such colour");
            settings.setValue("UnzipSettings/unzipIncludeMask", "");
        }
        initGlobalSettings();
        QCOMPARE(gst[stRunOverwrite], QVariant(true));
        QCOMPARE(gst[stRunDocumentFormat], QVariant(7));
        QCOMPARE(gst[stColorUnziped], QVariant(QColor(0x10, 0x20, 0x30)));
        QCOMPARE(gst[stColorError], QVariant(QColor(255, 0, 0)));
        QCOMPARE(gst[stUnzipIncludeMask], QVariant(QString()));
        QVERIFY(globalShowPath());

        QColor translucent(1, 2, 3);
        translucent.setAlphaF(0.25);
        gst[stColorRecognized] = translucent;
        gst[stRunParallel] = false;
        gst.writeSettings();
        initGlobalSettings();
        QCOMPARE(gst[stColorRecognized], QVariant(translucent));
        QCOMPARE(gst[stRunParallel], QVariant(false));
        QCOMPARE(gst[stRunDocumentFormat].userType(), int(QMetaType::Int));
        setGlobalShowPath(false);
    }

    // Nothing in the program asks for an unknown group or key, but a typo
    // must not crash it or leak into the store.
    void unregisteredNamesAreHarmless()
    {
        initGlobalSettings();
        SettingsGroup& missing = gst.group("NoSuchGroup");
        QVERIFY(missing.values.isEmpty());
        missing.addKey("x", 1);
        QVERIFY(gst.group("NoSuchGroup").values.isEmpty());
        gst.group("NoSuchGroup").writeSettings();
        QVERIFY(!QSettings().childGroups().contains("NoSuchGroup"));
        QVERIFY(!gst["noSuchKey"].isValid());
        gst["noSuchKey"] = 5;
        QVERIFY(!gst["noSuchKey"].isValid());
        QCOMPARE(gst.group(sgRunSettings).name, sgRunSettings);

        // Two collections never share a cached lookup.
        GlobalSettings other;
        other << SettingsGroup("ColorSettings") << SettingsGroup("RunSettings");
        const int runKeys = gst.group("RunSettings").values.size();
        QVERIFY(runKeys > 0);
        QCOMPARE(other.group("RunSettings").values.size(), 0);
        QCOMPARE(gst.group("RunSettings").values.size(), runKeys);
    }

    void columnWidths()
    {
        QStandardItemModel model(1, 4);
        QTreeView view;
        QVERIFY(!tableColumsRead("Files", &view)); // no model
        view.setModel(&model);
        const int defaultWidth = view.columnWidth(1);
        QVERIFY(!tableColumsRead("Files", &view)); // nothing stored
        QSettings().setValue("TableColumns/Files", QVariantList{120, 0, -5, 80, 999});
        QVERIFY(tableColumsRead("Files", &view));
        QCOMPARE(view.columnWidth(0), 120);
        QCOMPARE(view.columnWidth(1), defaultWidth);
        QCOMPARE(view.columnWidth(3), 80);

        view.setColumnWidth(2, 66);
        tableColumsWrite("Templates", &view);
        const QVariantList stored = QSettings().value("TableColumns/Templates").toList();
        QCOMPARE(stored.size(), 4);
        QCOMPARE(stored.at(2).toInt(), 66);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
