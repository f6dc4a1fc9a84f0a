#include "docproc.h"

#include "docxformat.h"

DocProc::DocProc(const QString& sourceFileName, const QString& destinationFileName,
                 const QString& templateFileName, const QString& queryFolder, QTextCodec* codec)
    : DomDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, codec,
                 createDocxFormat())
{
}
