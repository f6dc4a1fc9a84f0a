#pragma once

#include <QString>

// Shared set-up of the fuzz targets: an application object, quiet message
// channels, the bundled examples as resource folder, and a scratch folder in
// memory that each target owns.
namespace FuzzSupport {

void init();
// A folder of its own for this process, emptied by init().
QString scratchDir();
// The bundled examples (resources and data), found beside the sources.
QString examplesDir();

} // namespace FuzzSupport
