#include "docprocfactory.h"

#include "basedocproc.h"

BaseDocProc* createDocProc(const QString& format, const QString& sourceFileName, const QString& destinationFileName,
                           const QString& templateFileName, const QString& queryFolder)
{
    Q_UNUSED(format)
    return new BaseDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, nullptr);
}
