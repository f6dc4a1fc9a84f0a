#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace TestSupport {

// Writes small DOCX packages for the tests: content types, package and
// document relationships, the main part from a body given as XML, optional
// header and footer parts and any extra entries. The main part's root
// declares the prefixes w and r (and v unless told otherwise); unless the body
// has its own, a final section referring to every header and footer is added.
class DocxBuilder
{
public:
    explicit DocxBuilder(const QString& bodyXml = QString());

    DocxBuilder& body(const QString& bodyXml);
    // Root without the VML namespace declaration.
    DocxBuilder& withoutVmlNamespace();
    // Adds word/headerN.xml (or footerN.xml) with the given content inside
    // its root; with `ownRels` the part gets an (empty) relationships part.
    DocxBuilder& header(const QString& contentXml, bool ownRels = false);
    DocxBuilder& footer(const QString& contentXml, bool ownRels = false);
    DocxBuilder& entry(const QString& name, const QByteArray& data);
    // Extra relationships of the main part, as XML elements.
    DocxBuilder& documentRelationships(const QString& xml);

    QByteArray documentXml() const;
    // The sectPr referring to all headers and footers.
    QString sectionProperties() const;
    bool write(const QString& path) const;

private:
    struct Part
    {
        QString name;
        QString content;
        bool header;
        bool ownRels;
    };
    QString bodyXml;
    bool vml = true;
    QList<Part> parts;
    QList<QPair<QString, QByteArray>> extra;
    QString extraRels;
};

// Entry names of a ZIP archive in archive order.
QStringList zipEntryNames(const QString& zipPath);
// Uncompressed content of one entry; empty when absent.
QByteArray zipEntry(const QString& zipPath, const QString& name);

} // namespace TestSupport
