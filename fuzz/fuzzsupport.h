#pragma once

#include <QDomDocument>
#include <QString>

#include <cstddef>
#include <cstdint>

class DomDocProc;

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
// Walks the input, when it is an XML part, as the main part of a template of
// the generator's format, and writes the result out again.
void walkMainPart(DomDocProc& generator, const uint8_t* data, size_t size);
// The same with a generator of type `Generator` that runs the contract
// example's queries on its data.
template <typename Generator>
int walkMainPart(const uint8_t* data, size_t size)
{
    init();
    Generator generator(contractSource(), scratchDir() + QStringLiteral("/result"), QString(),
                        QStringLiteral("Queries/contract"), nullptr);
    walkMainPart(generator, data, size);
    return 0;
}

} // namespace FuzzSupport
