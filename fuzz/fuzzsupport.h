#pragma once

#include <QDomDocument>
#include <QString>

#include <cstddef>
#include <cstdint>

// Shared set-up of the fuzz targets: an application object, quiet message
// channels, the bundled examples as resource folder, and a scratch folder in
// memory that each target owns.
namespace FuzzSupport {

void init();
// A folder of its own for this process, emptied by init().
QString scratchDir();
// The bundled examples (resources and data), found beside the sources.
QString examplesDir();
// The example data file whose queries the walks run.
QString contractSource();
// Writes the input to `name` in the scratch folder; its path, empty on failure.
QString writeInput(const QString& name, const uint8_t* data, size_t size);
// Parses the input as an XML part; false when it is none.
bool parsePart(QDomDocument& doc, const uint8_t* data, size_t size);

} // namespace FuzzSupport
