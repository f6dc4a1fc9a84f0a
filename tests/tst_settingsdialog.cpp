// The settings dialog on its real form: every setting has its widget, pages
// are filled and stored by object name, cancelling stores nothing, the
// colour picker and the mask check.
#include "libreofficeinstallation.h"
#include "settingscatalogue.h"
#include "settingsdialog.h"
#include "settingsgroup.h"
#include "testsupport.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStackedWidget>
#include <QTimer>
#include <QtTest>

using namespace TestSupport;

namespace {

struct ExpectedWidget
{
    QString objectName;
    QString className;
    QString text;    // check box or push button text, or the text of the label naming the widget
    QString toolTip;
};

// Every key that has a widget in the dialog, with that widget as it must be.
// The two keys acted on elsewhere (the format combo box on the tool bar and
// the template tool bar's visibility) have none.
QMultiHash<QString, ExpectedWidget> expectedWidgets()
{
    QMultiHash<QString, ExpectedWidget> w;
    auto box = [&](const QString& key, const QString& text, const QString& tip = QString()) {
        w.insert(key, {key + "Box", "QCheckBox", text, tip});
    };
    box(stRunParallel, "Параллельная обработка",
        "Если установлено, то обработка проводиться сразу нескольких файлов параллельно в нескольких потоках, "
        "равных количеству ядер процессора, иначе обработка осуществляется последовательно по одному файлу");
    box(stRunAutoUnzip, "Автозапуск распаковки архивов",
        "Если установлено, то распаковка архивов проводится сразу после добавления в список");
    box(stRunAutoDetect, "Автозапуск подбора шаблона",
        "Если установлено, то определение подходящего шаблона происходит сразу после добавления XML файла в список");
    box(stRunRenameDest, "Переименовывать формируемые",
        "Если установлено, то имя формируемых документов берется на основании данных из XML файла, путем "
        "выполнения запроса извлечения имени файла");
    box(stRunOverwrite, "Перезаписывать не спрашивая",
        "Если установлено, то при совпадении имени формируемого документа с уже существующим, последний будет "
        "перезаписан новым, иначе старый документ сохранится, а новый получит суффикс с номером");
    box(stRunOpenDocument, "Открывать документы",
        "Если установлено, то после формирования документа будет выполнена команда на его открытие");
    box(stRunDeleteUnziped, "Удалить распакованные",
        "Если установлено, то распакованные ранее файлы будут удалены после окончания обработки");
    box(stRunPicturesOutsideSource, "Рисунки из любых папок",
        "Если установлено, то вставляются и рисунки, имена которых указывают на файлы вне папки исходного "
        "XML-файла, иначе такие рисунки не вставляются и об этом сообщается в журнале");
    // Without LibreOffice the tool tip says what to install instead.
    box(stRunSavePdf, "Также сохранять в PDF",
        SettingsDialog::pdfAvailable()
            ? QStringLiteral("Если установлено, то рядом с каждым документом сохраняется его PDF с тем же именем; "
                             "PDF делает LibreOffice")
            : LibreOfficeInstallation::find().missingText());
    w.insert(stRunTimeLimit, {"runTimeLimitSpin", "QSpinBox", "Ограничение времени на документ, с",
                              "Если формирование одного документа длится дольше, оно прерывается, а файл отмечается "
                              "ошибкой; 0 — без ограничения"});
    w.insert(stRunMaxRepeat, {"runMaxRepeatSpin", "QSpinBox", "Наибольшее число повторений блока",
                              "Если запрос количества повторений блока итераций вернёт больше, это ошибка шаблона, "
                              "и блок не повторяется"});
    w.insert(stUnzipIncludeMask, {"unzipIncludeMaskEdit", "QLineEdit", "Маска включения (регулярное выражение):",
                                  "Если не задана, то включаются все"});
    w.insert(stUnzipExcludeMask, {"unzipExcludeMaskEdit", "QLineEdit", "Маска исключения (регулярное выражение):",
                                  "Если не задана, то исключаются никакие"});
    box(stUnzipRecursive, "Распаковывать вложенные архивы");
    box(stUnzipRemoveInternalZips, "Удалить распакованные вложенные архивы после их распаковки");
    box(stShowNames, "Показывать имена вместо заголовков шаблонов");
    box(stShowPath, "Показывать полные пути файлов");
    auto colour = [&](const QString& key, const QString& label) {
        w.insert(key, {key + "Edit", "QLineEdit", label, QString()});
        w.insert(key, {key + "Button", "QPushButton", "Выбрать...", QString()});
    };
    colour(stColorUnziped, "Цвет распакованных:");
    colour(stColorRecognized, "Цвет распознанных:");
    colour(stColorTransformed, "Цвет преобразованных:");
    colour(stColorError, "Цвет текста ошибок:");
    return w;
}

QString widgetText(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    // The label that names the widget, or the button beside it.
    const QWidget* named = widget;
    if (widget->objectName().endsWith("Edit")) {
        const QString base = widget->objectName().chopped(4);
        if (const auto* button = widget->window()->findChild<QWidget*>(base + "Button"))
            named = button;
    }
    for (const QLabel* label : widget->window()->findChildren<QLabel*>()) {
        if (label->buddy() == widget || label->buddy() == named)
            return label->text();
    }
    return QString();
}

QColor baseColour(const QWidget* edit)
{
    return edit->palette().color(QPalette::Base);
}

// Answers the colour dialog that the next click opens.
void answerColourDialog(const QColor& colour, bool accept)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setCurrentColor(colour);
        accept ? dialog->accept() : dialog->reject();
    });
}

} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initHermeticEnvironment();
        QApplication::setDesktopSettingsAware(false);
    }
    void init()
    {
        clearSettingsStore();
        initGlobalSettings();
    }

    void everySettingHasItsWidget()
    {
        SettingsDialog dialog;
        QCOMPARE(dialog.objectName(), QString("SettingsDialog"));
        QCOMPARE(dialog.windowTitle(), QString("Настройки"));
        const auto* list = dialog.findChild<QListWidget*>("listWidget");
        const auto* stack = dialog.findChild<QStackedWidget*>("stackedWidget");
        QVERIFY(list && stack);
        const QStringList pages{"Обработка", "Распаковка", "Отображение", "Цвета"};
        QCOMPARE(list->count(), pages.size());
        QCOMPARE(stack->count(), pages.size());
        for (int i = 0; i < pages.size(); ++i) {
            QCOMPARE(list->item(i)->text(), pages.at(i));
            QCOMPARE(stack->widget(i)->objectName(), QStringLiteral("page_%1").arg(i));
            const auto* group = stack->widget(i)->findChild<QGroupBox*>();
            QVERIFY(group);
            QCOMPARE(group->title(), pages.at(i));
        }

        const auto expected = expectedWidgets();
        const QList<QWidget*> all = dialog.findChildren<QWidget*>();
        for (int page = 0; page < gst.groups.size(); ++page) {
            const SettingsGroup& group = gst.groups.at(page);
            for (const QString& key : group.values.keys()) {
                if (key == stRunDocumentFormat || key == stShowTemplates)
                    continue;
                QVERIFY2(expected.contains(key), qPrintable("no widget is expected for the key " + key));
                for (const ExpectedWidget& want : expected.values(key)) {
                    QList<QWidget*> named;
                    for (QWidget* widget : all) {
                        if (widget->objectName() == want.objectName)
                            named << widget;
                    }
                    QVERIFY2(named.size() == 1, qPrintable(want.objectName + " must exist exactly once"));
                    QWidget* widget = named.first();
                    QCOMPARE(widget->metaObject()->className(), qPrintable(want.className));
                    QVERIFY2(stack->widget(page)->isAncestorOf(widget), qPrintable(want.objectName));
                    QCOMPARE(widgetText(widget), want.text);
                    QCOMPARE(widget->toolTip(), want.toolTip);
                }
            }
        }
        for (const QString& key : expected.uniqueKeys())
            QVERIFY2(!gst.groupOfKey(key).isEmpty(), qPrintable("a widget for an unknown key " + key));
        for (const char* colour : {"colorUnzipedEdit", "colorErrorEdit"})
            QVERIFY(dialog.findChild<QLineEdit*>(colour)->isReadOnly());
    }

    void openFillsAndAcceptStoresEveryPage()
    {
        gst[stRunOverwrite] = true;
        gst[stUnzipIncludeMask] = QString("a.*");
        gst[stShowPath] = true;
        gst[stColorError] = QColor(0, 0, 255);
        SettingsDialog dialog;
        QVERIFY(dialog.findChild<QCheckBox*>("runOverwriteBox")->isChecked());
        QVERIFY(dialog.findChild<QCheckBox*>("runParallelBox")->isChecked());
        QCOMPARE(dialog.findChild<QLineEdit*>("unzipIncludeMaskEdit")->text(), QString("a.*"));
        QVERIFY(dialog.findChild<QCheckBox*>("showPathBox")->isChecked());
        QCOMPARE(baseColour(dialog.findChild<QLineEdit*>("colorErrorEdit")), QColor(0, 0, 255));

        dialog.findChild<QCheckBox*>("runParallelBox")->setChecked(false);
        dialog.findChild<QLineEdit*>("unzipExcludeMaskEdit")->setText("(x");
        dialog.findChild<QCheckBox*>("showNamesBox")->setChecked(true);
        dialog.accept();
        QCOMPARE(gst[stRunParallel], QVariant(false));
        QCOMPARE(gst[stUnzipExcludeMask], QVariant("(x")); // invalid masks are stored as typed
        QCOMPARE(gst[stShowNames], QVariant(true));
        QSettings settings;
        QCOMPARE(settings.value("RunSettings/runParallel").toBool(), false);
        QCOMPARE(settings.value("UnzipSettings/unzipExcludeMask").toString(), QString("(x"));
        QCOMPARE(settings.value("DisplaySettings/showNames").toBool(), true);
        QCOMPARE(settings.value("ColorSettings/colorError").value<QColor>(), QColor(0, 0, 255));
    }

    // The PDF choice is stored with the run settings; without LibreOffice
    // it cannot be made, and the box says what to install.
    void pdfChoicePersists()
    {
        {
            SettingsDialog dialog;
            auto* box = dialog.findChild<QCheckBox*>("runSavePdfBox");
            QVERIFY(!box->isChecked());
            box->setChecked(true);
            dialog.accept();
        }
        QCOMPARE(QSettings().value("RunSettings/runSavePdf").toBool(), true);
        initGlobalSettings();
        QCOMPARE(gst[stRunSavePdf], QVariant(true));

        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        SettingsDialog dialog;
        qputenv("PATH", path);
        const auto* box = dialog.findChild<QCheckBox*>("runSavePdfBox");
        QVERIFY(box->isChecked());
        QVERIFY(!box->isEnabled());
        QVERIFY2(box->toolTip().contains("libreoffice-writer-nogui"), qPrintable(box->toolTip()));
    }

    void cancelStoresOnlySizeAndPage()
    {
        {
            SettingsDialog dialog;
            dialog.findChild<QCheckBox*>("runParallelBox")->setChecked(false);
            dialog.findChild<QListWidget*>("listWidget")->setCurrentRow(2);
            dialog.resize(640, 380);
            dialog.reject();
        }
        QCOMPARE(gst[stRunParallel], QVariant(true));
        QSettings settings;
        QCOMPARE(settings.childGroups(), QStringList());
        QCOMPARE(settings.value(stSettingsDialogSize).toSize(), QSize(640, 380));
        QCOMPARE(settings.value(stSettingsDialogPage).toInt(), 2);

        // Opened again: the page shown last and the last size.
        SettingsDialog again;
        QCOMPARE(again.findChild<QStackedWidget*>("stackedWidget")->currentIndex(), 2);
        QCOMPARE(again.size(), QSize(640, 380));
    }

    void storedPageIsClamped()
    {
        QSettings().setValue(stSettingsDialogPage, 9);
        SettingsDialog dialog;
        auto* list = dialog.findChild<QListWidget*>("listWidget");
        QCOMPARE(list->currentItem()->text(), QString("Цвета"));
        QCOMPARE(dialog.findChild<QStackedWidget*>("stackedWidget")->currentIndex(), 3);
    }

    void singlePageMode()
    {
        gst[stRunOverwrite] = true;
        gst[stUnzipRecursive] = true;
        {
            SettingsDialog dialog(nullptr, 1, true);
            auto* list = dialog.findChild<QListWidget*>("listWidget");
            for (int row = 0; row < list->count(); ++row)
                QCOMPARE(list->item(row)->isHidden(), row != 1);
            QVERIFY(dialog.findChild<QCheckBox*>("unzipRecursiveBox")->isChecked());
            QVERIFY(!dialog.findChild<QCheckBox*>("runOverwriteBox")->isChecked()); // other pages are not filled
            dialog.findChild<QCheckBox*>("unzipRecursiveBox")->setChecked(false);
            dialog.accept();
        }
        QCOMPARE(gst[stUnzipRecursive], QVariant(false));
        QCOMPARE(gst[stRunOverwrite], QVariant(true)); // the unfilled page is not read back
        QSettings settings;
        QCOMPARE(settings.childGroups(), QStringList{"UnzipSettings"});
        QVERIFY(!settings.contains(stSettingsDialogPage));
    }

    void maskTurnsRedWhileInvalid()
    {
        SettingsDialog dialog;
        auto* mask = dialog.findChild<QLineEdit*>("unzipIncludeMaskEdit");
        const QColor normal = QApplication::palette().color(QPalette::Text);
        mask->setText("(.+\\.xml");
        QCOMPARE(mask->palette().color(QPalette::Text), QColor(Qt::red));
        mask->setText("(.+\\.xml)");
        QCOMPARE(mask->palette().color(QPalette::Text), normal);
        // The other mask is checked too.
        dialog.findChild<QLineEdit*>("unzipExcludeMaskEdit")->setText("[");
        QCOMPARE(dialog.findChild<QLineEdit*>("unzipExcludeMaskEdit")->palette().color(QPalette::Text),
                 QColor(Qt::red));
    }

    void colourButtonOpensThePicker()
    {
        SettingsDialog dialog;
        auto* edit = dialog.findChild<QLineEdit*>("colorRecognizedEdit");
        auto* button = dialog.findChild<QPushButton*>("colorRecognizedButton");
        QCOMPARE(baseColour(edit), QColor(255, 255, 127));

        answerColourDialog(QColor(10, 20, 30), false);
        button->click();
        QCOMPARE(baseColour(edit), QColor(255, 255, 127)); // cancelled

        answerColourDialog(QColor(10, 20, 30), true);
        button->click();
        QCOMPARE(baseColour(edit), QColor(10, 20, 30));

        // The same colour again leaves the edit's palette as it is.
        QPalette marked = edit->palette();
        marked.setColor(QPalette::Text, QColor(1, 2, 3));
        edit->setPalette(marked);
        answerColourDialog(QColor(10, 20, 30), true);
        button->click();
        QCOMPARE(edit->palette().color(QPalette::Text), QColor(1, 2, 3));

        dialog.accept();
        QCOMPARE(gst[stColorRecognized].value<QColor>(), QColor(10, 20, 30));
    }
};

QTEST_MAIN(TestSettingsDialog)
#include "tst_settingsdialog.moc"
