#pragma once

#include <QString>

class QTreeView;

// Every user setting of the program: the groups, their keys, and the other
// state the window keeps in the settings store. Each name is the exact
// string used in the store and, with a suffix, as a widget's object name.

inline const QString sgRunSettings = QStringLiteral("RunSettings");
inline const QString stRunDocumentFormat = QStringLiteral("runDocumentFormat");
inline const QString stRunParallel = QStringLiteral("runParallel");
inline const QString stRunAutoUnzip = QStringLiteral("runAutoUnzip");
inline const QString stRunAutoDetect = QStringLiteral("runAutoDetect");
inline const QString stRunRenameDest = QStringLiteral("runRenameDest");
inline const QString stRunOverwrite = QStringLiteral("runOverwrite");
inline const QString stRunOpenDocument = QStringLiteral("runOpenDocument");
inline const QString stRunDeleteUnziped = QStringLiteral("runDeleteUnziped");
inline const QString stRunPicturesOutsideSource = QStringLiteral("runPicturesOutsideSource");
inline const QString stRunSavePdf = QStringLiteral("runSavePdf");
inline const QString stRunTimeLimit = QStringLiteral("runTimeLimit");
inline const QString stRunMaxRepeat = QStringLiteral("runMaxRepeat");

inline const QString sgUnzipSettings = QStringLiteral("UnzipSettings");
inline const QString stUnzipIncludeMask = QStringLiteral("unzipIncludeMask");
inline const QString stUnzipExcludeMask = QStringLiteral("unzipExcludeMask");
inline const QString stUnzipRecursive = QStringLiteral("unzipRecursive");
inline const QString stUnzipRemoveInternalZips = QStringLiteral("unzipRemoveInternalZips");

inline const QString sgDisplaySettings = QStringLiteral("DisplaySettings");
inline const QString stShowNames = QStringLiteral("showNames");
inline const QString stShowPath = QStringLiteral("showPath");
inline const QString stShowTemplates = QStringLiteral("showTemplates");

inline const QString sgColorSettings = QStringLiteral("ColorSettings");
inline const QString stColorUnziped = QStringLiteral("colorUnziped");
inline const QString stColorRecognized = QStringLiteral("colorRecognized");
inline const QString stColorTransformed = QStringLiteral("colorTransformed");
inline const QString stColorError = QStringLiteral("colorError");

// Window state kept outside the groups.
inline const QString stGeometry = QStringLiteral("geometry");
inline const QString stWindowState = QStringLiteral("windowstate");
inline const QString stLastPath = QStringLiteral("lastPath");
inline const QString stTemplateIndex = QStringLiteral("templateIndex");
inline const QString stSettingsDialogSize = QStringLiteral("settingsDialogSize");
inline const QString stSettingsDialogPage = QStringLiteral("settingsDialogPage");
inline const QString sgTableColumns = QStringLiteral("TableColumns");

// Registers the four groups in `gst` (replacing any registered before) with
// their defaults, reads the stored values and sets the two display flags.
void initGlobalSettings();

// Column widths of a view, kept under "TableColumns". Reading applies the
// stored widths that are positive to the view's columns in order and says
// whether it applied any.
void tableColumsWrite(const QString& name, const QTreeView* view);
bool tableColumsRead(const QString& name, QTreeView* view);
