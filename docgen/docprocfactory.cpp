#include "docprocfactory.h"

#include "basedocproc.h"
#include "docproc.h"

BaseDocProc* createDocProc(const QString& format, const QString& sourceFileName, const QString& destinationFileName,
                           const QString& templateFileName, const QString& queryFolder)
{
    if (format == QLatin1String("docx"))
        return new DocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, nullptr);
    return new BaseDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, nullptr);
}
