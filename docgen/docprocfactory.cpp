#include "docprocfactory.h"

#include "basedocproc.h"
#include "docproc.h"
#include "odtproc.h"
#include "rtfproc.h"

#include <QTextCodec>

std::unique_ptr<BaseDocProc> createDocProc(const QString& format, const QString& sourceFileName,
                                           const QString& destinationFileName,
                                           const QString& templateFileName, const QString& queryFolder)
{
    if (format == QLatin1String("docx"))
        return std::make_unique<DocProc>(sourceFileName, destinationFileName, templateFileName, queryFolder,
                                         nullptr);
    if (format == QLatin1String("odt"))
        return std::make_unique<OdtProc>(sourceFileName, destinationFileName, templateFileName, queryFolder,
                                         nullptr);
    return std::make_unique<RtfProc>(sourceFileName, destinationFileName, templateFileName, queryFolder,
                                     QTextCodec::codecForName("Windows-1251"));
}
