#pragma once

#include "fileitem.h"
#include "generationlimits.h"

class DestinationClaim;
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
    QString destFilePath() const;
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
    // Names and generates the document. Names are claimed by creating the
    // file exclusively, so several processes may share a folder.
    bool transform(const QString& format, bool useDestBase, bool overwrite,
                   const GenerationLimits& limits = GenerationLimits());

    // Additional templates (main thread, while no processing runs).
    void addTemplate(TemplateItem* item);
    void removeTemplate(TemplateItem* item);
    bool containsTemplate(const TemplateItem* item) const;
    int indexOfTemplate(const TemplateItem* item) const;

    // Makes a query result usable as the base of a file name: surrounding
    // white space trimmed, path separators and control characters replaced.
    static QString safeFileBase(const QString& base);

private:
    // composeDestFileName; with `claim` the name is also claimed for the
    // caller, and names claimed by other transformations count as taken.
    bool chooseDestFileName(const QString& ext, bool useDestBase, bool overwrite, DestinationClaim* claim);
    XmlFileItem* newLink(TemplateItem* item);
    QString runQuery(const QString& queryFile) const;

    TemplateItem* chosenTemplate = nullptr;
    QString destBaseText;
    QString destName;
    mutable QIcon destFileIcon;
};
