#pragma once

#include "domdocproc.h"

// Generates a DOCX document from a DOCX template and a source XML file: walks
// the main part and every header, footer and notes part that holds a command,
// copies everything that is not a command and puts in place of each command
// its text, paragraphs, table rows, picture or repeated block; removes the
// sections marked empty; writes a copy of the template package with the
// processed parts replaced and the pictures added (DomDocProc with a
// DocxFormat).
class DocProc : public DomDocProc
{
public:
    DocProc(const QString& sourceFileName, const QString& destinationFileName,
            const QString& templateFileName, const QString& queryFolder, QTextCodec* codec);
};
