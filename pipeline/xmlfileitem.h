#pragma once

#include "fileitem.h"
#include "generationlimits.h"
#include "pdfrequest.h"

class StagedFile;
class TemplateItem;
class TemplateList;

// An XML source file, or an additional template entry (a link) of one.
// It carries the chosen template and the document to produce, and the
// operations that move the file through detection, naming and generation.
class XmlFileItem : public FileItem
{
public:
    XmlFileItem(const QString& fileName, FileItem* parentItem, bool isLink,
                ItemAttachment attachment = ItemAttachment::AttachNow);

    QString data(int column) const override;

    TemplateItem* templateItem() const;
    void setTemplateItem(TemplateItem* item);
    QString destBaseName() const;
    void setDestBaseName(const QString& base);
    QString destFileName() const;
    void setDestFileName(const QString& name);
    // Full path of the document to produce, or empty while no name is set.
    // When only a PDF is kept, that is the PDF.
    QString destFilePath() const;
    // The PDF made beside the document, in the same folder; empty for none.
    QString pdfFileName() const;
    void setPdfFileName(const QString& name);
    QString destBase() const;
    QString templateName() const;
    QString templateTitle() const;
    QIcon destIcon() const;

    // The steps of the pipeline; each may run in a worker thread.
    bool detectTemplate(const TemplateList* list, bool detectDest);
    bool detectDestBase();
    // Sets the destination file name; false (with an error recorded) when no
    // free name can be found.
    bool composeDestFileName(const QString& ext, bool useDestBase, bool overwrite);
    // Names and generates the document. The document is written complete
    // under a temporary name and then takes the first free name in one step,
    // so several processes may share a folder and a name never shows a
    // document that is not whole, whatever stops the process. With `pdf`
    // the document's PDF is made from it before either takes a name, and
    // both take the first number free for both, so that their names match;
    // a PDF that cannot be made costs the PDF only (the document is kept, in
    // every case, and the file is marked with the error).
    bool transform(const QString& format, bool useDestBase, bool overwrite,
                   const GenerationLimits& limits = GenerationLimits(), const PdfRequest& pdf = PdfRequest());
    // Whether every file this item's transformation would make (its
    // document, its PDF as `pdf` asks) stands already under the first name
    // it would take, before any "_1": a file or a link there. A name is only
    // ever taken by a whole file, so each is whole. If so, those names become
    // the item's and the log says the file is skipped. With `useDestBase`
    // the base must have been detected.
    bool keepExistingDocument(const QString& ext, bool useDestBase, PdfOutput pdf = PdfOutput::None);

    // Additional templates (main thread, while no processing runs).
    void addTemplate(TemplateItem* item);
    void removeTemplate(TemplateItem* item);
    bool containsTemplate(const TemplateItem* item) const;
    int indexOfTemplate(const TemplateItem* item) const;

    // Makes a query result usable as the base of a file name: surrounding
    // white space trimmed, path separators and control characters replaced.
    static QString safeFileBase(const QString& base);

private:
    // composeDestFileName, giving the name's stem (base and suffix) and the
    // number of the name chosen (0 for none), -1 when there is none.
    // `announce`: say in the log when the base had to be shortened.
    // The stem (base and suffix) of the names the document may take, the
    // base shortened to fit a file name; `shortened` tells whether it was.
    QString documentStem(const TemplateItem& t, const QString& ext, bool useDestBase, bool* shortened) const;
    // `mustBeFree`: the extensions whose names with the number must all be
    // free; empty for `ext` alone.
    int chooseDestFileName(const QString& ext, bool useDestBase, bool overwrite, bool announce, QString* stem,
                           const QStringList& mustBeFree = QStringList());
    // Gives the complete file the first free name from `firstVariant` on
    // (with `overwrite`, its own name): the number of the name given, with
    // the name in `name`; -1 (with an error recorded) on failure.
    int publishFile(StagedFile& staged, const QString& stem, const QString& ext, int firstVariant, bool overwrite,
                    QString* name);
    // The document, and its PDF when asked for, put in place.
    bool publishOutputs(StagedFile& staged, const QString& stem, const QString& format, int firstVariant,
                        bool overwrite, const PdfRequest& pdf);
    bool convertToPdf(const QString& document, const QString& format, const QString& pdfPath,
                      const PdfRequest& pdf, QString* error) const;
    void noFreeName(const QString& stem, const QString& ext);
    XmlFileItem* newLink(TemplateItem* item);
    QString runQuery(const QString& queryFile) const;

    TemplateItem* chosenTemplate = nullptr;
    QString destBaseText;
    QString destName;
    QString pdfName;
    mutable QIcon destFileIcon;
};
