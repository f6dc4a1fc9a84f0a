#pragma once

#include <QString>

// ODF names that several parts of the ODT format use. Parts are parsed
// without namespace processing, so elements and attributes are compared by
// qualified name.
namespace OdtNames {

inline const QString nnPar = QStringLiteral("text:p");
inline const QString nnHeading = QStringLiteral("text:h");
inline const QString atStyleName = QStringLiteral("text:style-name");

} // namespace OdtNames
