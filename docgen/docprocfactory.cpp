#include "docprocfactory.h"

#include "basedocproc.h"
#include "odtproc.h"

BaseDocProc* createDocProc(const QString& format, const QString& sourceFileName, const QString& destinationFileName,
                           const QString& templateFileName, const QString& queryFolder)
{
    if (format == QLatin1String("odt"))
        return new OdtProc(sourceFileName, destinationFileName, templateFileName, queryFolder, nullptr);
    return new BaseDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, nullptr);
}
