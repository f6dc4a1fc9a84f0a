#include "odtproc.h"

#include "odtformat.h"

OdtProc::OdtProc(const QString& sourceFileName, const QString& destinationFileName,
                 const QString& templateFileName, const QString& queryFolder, QTextCodec* codec)
    : DomDocProc(sourceFileName, destinationFileName, templateFileName, queryFolder, codec, createOdtFormat())
{
}
