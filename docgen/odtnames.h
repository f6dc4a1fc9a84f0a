#pragma once

#include <QString>

// Names used by the ODT generator. Parts are parsed without namespace
// processing, so elements and attributes are compared by qualified name.
namespace OdtNames {

inline const QString nnPar = QStringLiteral("text:p");
inline const QString nnHeading = QStringLiteral("text:h");
inline const QString nnRun = QStringLiteral("text:span");
inline const QString nnSpace = QStringLiteral("text:s");
inline const QString nnTab = QStringLiteral("text:tab");
inline const QString nnLineBreak = QStringLiteral("text:line-break");
inline const QString nnSoftPageBreak = QStringLiteral("text:soft-page-break");
inline const QString nnTable = QStringLiteral("table:table");
inline const QString nnRowGroup = QStringLiteral("table:table-rows");
inline const QString nnRow = QStringLiteral("table:table-row");
inline const QString nnCell = QStringLiteral("table:table-cell");
inline const QString nnDocContent = QStringLiteral("office:document-content");
inline const QString nnAutoStyles = QStringLiteral("office:automatic-styles");
inline const QString nnBody = QStringLiteral("office:body");
inline const QString nnText = QStringLiteral("office:text");
inline const QString nnStyle = QStringLiteral("style:style");
inline const QString nnParProps = QStringLiteral("style:paragraph-properties");
inline const QString nnFrame = QStringLiteral("draw:frame");
inline const QString nnImage = QStringLiteral("draw:image");
inline const QString nnFileEntry = QStringLiteral("manifest:file-entry");

inline const QString atStyleName = QStringLiteral("text:style-name");
inline const QString atTableStyleName = QStringLiteral("table:style-name");
inline const QString atCount = QStringLiteral("text:c");

inline const QString contentFileName = QStringLiteral("content.xml");
inline const QString stylesFileName = QStringLiteral("styles.xml");
inline const QString manifestFileName = QStringLiteral("META-INF/manifest.xml");
inline const QString picFolder = QStringLiteral("Pictures/");
inline const QString sepStyleName = QStringLiteral("PageBreakBefore");
inline const QString picPref = QStringLiteral("pwkimg");

} // namespace OdtNames
