#include "settingscatalogue.h"

#include "globals.h"
#include "settingsgroup.h"

#include <QAbstractItemModel>
#include <QColor>
#include <QSettings>
#include <QTreeView>

void initGlobalSettings()
{
    SettingsGroup run(sgRunSettings);
    run.addKey(stRunDocumentFormat, 0);
    run.defaultValue = true;
    run << stRunParallel << stRunAutoUnzip << stRunAutoDetect;
    run.defaultValue = false;
    run << stRunRenameDest << stRunOverwrite << stRunOpenDocument << stRunDeleteUnziped << stRunPicturesOutsideSource
        << stRunSavePdf;
    // Seconds one document may take (0: no limit) and the most repetitions
    // of one repeated block, as the batch command's --time-limit and --max-repeat.
    run.addKey(stRunTimeLimit, 300);
    run.addKey(stRunMaxRepeat, 100000);

    SettingsGroup unzip(sgUnzipSettings);
    unzip.addKey(stUnzipIncludeMask, QStringLiteral("(.+\\.xml|.+\\.zip|.+\\.pdf|.+\\.sig|.+\\.jpg)"));
    unzip.addKey(stUnzipExcludeMask, QStringLiteral("(proto.*|req.*)"));
    unzip.addKey(stUnzipRecursive, false);
    unzip.addKey(stUnzipRemoveInternalZips, false);

    SettingsGroup display(sgDisplaySettings);
    display.addKey(stShowNames, false);
    display.addKey(stShowPath, false);
    display.addKey(stShowTemplates, false);

    SettingsGroup colours(sgColorSettings);
    colours.addKey(stColorUnziped, QColor(240, 240, 240));
    colours.addKey(stColorRecognized, QColor(255, 255, 127));
    colours.addKey(stColorTransformed, QColor(204, 255, 204));
    colours.addKey(stColorError, QColor(255, 0, 0));

    gst.clear();
    gst << run << unzip << display << colours;
    gst.readSettings();
    setGlobalShowPath(gst[stShowPath].toBool());
    setGlobalShowNames(gst[stShowNames].toBool());
}

void tableColumsWrite(const QString& name, const QTreeView* view)
{
    if (!view || !view->model())
        return;
    QList<QVariant> widths;
    for (int column = 0; column < view->model()->columnCount(); ++column)
        widths << view->columnWidth(column);
    QSettings settings;
    settings.beginGroup(sgTableColumns);
    settings.setValue(name, widths);
    settings.endGroup();
}

bool tableColumsRead(const QString& name, QTreeView* view)
{
    if (!view || !view->model() || view->model()->columnCount() == 0)
        return false;
    QSettings settings;
    settings.beginGroup(sgTableColumns);
    const QVariant stored = settings.value(name);
    settings.endGroup();
    if (!stored.isValid())
        return false;
    const QList<QVariant> widths = stored.toList();
    const int columns = qMin(widths.size(), view->model()->columnCount());
    bool applied = false;
    for (int column = 0; column < columns; ++column) {
        bool ok = false;
        const int width = widths.at(column).toInt(&ok);
        if (ok && width > 0) {
            view->setColumnWidth(column, width);
            applied = true;
        }
    }
    return applied;
}
