#pragma once

#include "domdocproc.h"

// Generates an ODT document from an ODT template and a source XML file:
// "content.xml" is walked in document order and copied into a new tree; each
// command met is replaced by what it produces: text, paragraphs, table rows,
// a picture, or repeated copies of a block. "styles.xml" (page headers and
// footers) is walked the same way when it holds a command. The result package
// is a copy of the template with those parts replaced, the manifest updated
// and the pictures added (DomDocProc with an OdtFormat).
class OdtProc : public DomDocProc
{
public:
    OdtProc(const QString& sourceFileName, const QString& destinationFileName,
            const QString& templateFileName, const QString& queryFolder, QTextCodec* codec);
};
