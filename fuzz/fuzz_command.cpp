// The command parser and the checks every generator makes of a command:
// any block text must parse, and its checks must not fail.
#include "basedocproc.h"
#include "fuzzsupport.h"
#include "proccommand.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzSupport::init();
    BaseDocProc proc(QString(), QString(), QString(), QStringLiteral("Queries/none"), nullptr);
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));
    const ProcCommand command(text);
    // Query names are only looked up, never found: no query runs.
    if (!command.option(QStringLiteral("query")).contains(QLatin1Char('/')))
        proc.commandResult(command);
    proc.iterationCount(command, text);
    return 0;
}
