#include "docxbuilder.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>
#include <quazip/quazipnewinfo.h>

namespace TestSupport {

namespace {

const char* const declaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
const char* const nsW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";
const char* const nsR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
const char* const nsV = "urn:schemas-microsoft-com:vml";
const char* const relsNs = "http://schemas.openxmlformats.org/package/2006/relationships";
const char* const relBase = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const char* const typeBase = "application/vnd.openxmlformats-officedocument.wordprocessingml.";

} // namespace

DocxBuilder::DocxBuilder(const QString& bodyXml) : bodyXml(bodyXml) {}

DocxBuilder& DocxBuilder::body(const QString& xml)
{
    bodyXml = xml;
    return *this;
}

DocxBuilder& DocxBuilder::withoutVmlNamespace()
{
    vml = false;
    return *this;
}

DocxBuilder& DocxBuilder::header(const QString& contentXml, bool ownRels)
{
    int n = 1;
    for (const Part& p : parts)
        n += p.header ? 1 : 0;
    parts.append({QStringLiteral("header%1.xml").arg(n), contentXml, true, ownRels});
    return *this;
}

DocxBuilder& DocxBuilder::footer(const QString& contentXml, bool ownRels)
{
    int n = 1;
    for (const Part& p : parts)
        n += p.header ? 0 : 1;
    parts.append({QStringLiteral("footer%1.xml").arg(n), contentXml, false, ownRels});
    return *this;
}

DocxBuilder& DocxBuilder::entry(const QString& name, const QByteArray& data)
{
    extra.append({name, data});
    return *this;
}

DocxBuilder& DocxBuilder::documentRelationships(const QString& xml)
{
    extraRels += xml;
    return *this;
}

QString DocxBuilder::sectionProperties() const
{
    QString refs;
    for (int i = 0; i < parts.size(); ++i) {
        refs += QStringLiteral("<w:%1Reference w:type=\"default\" r:id=\"rIdP%2\"/>")
                    .arg(parts.at(i).header ? QStringLiteral("header") : QStringLiteral("footer"))
                    .arg(i + 1);
    }
    return QStringLiteral("<w:sectPr>%1<w:pgSz w:w=\"11906\" w:h=\"16838\"/>"
                          "<w:pgMar w:top=\"1134\" w:right=\"1134\" w:bottom=\"1134\" w:left=\"1134\""
                          " w:header=\"709\" w:footer=\"709\" w:gutter=\"0\"/></w:sectPr>")
        .arg(refs);
}

QByteArray DocxBuilder::documentXml() const
{
    QString body = bodyXml;
    if (!body.trimmed().endsWith(QLatin1String("</w:sectPr>")))
        body += sectionProperties();
    const QString root = QStringLiteral("<w:document xmlns:w=\"%1\" xmlns:r=\"%2\"%3>")
                             .arg(QLatin1String(nsW), QLatin1String(nsR),
                                  vml ? QStringLiteral(" xmlns:v=\"%1\"").arg(QLatin1String(nsV)) : QString());
    return (QLatin1String(declaration) + root + QStringLiteral("<w:body>") + body
            + QStringLiteral("</w:body></w:document>"))
        .toUtf8();
}

bool DocxBuilder::write(const QString& path) const
{
    QList<QPair<QString, QByteArray>> entries;
    QString overrides = QStringLiteral("<Override PartName=\"/word/document.xml\" ContentType=\"%1document.main+xml\"/>")
                            .arg(QLatin1String(typeBase));
    QString docRels;
    for (int i = 0; i < parts.size(); ++i) {
        const Part& p = parts.at(i);
        const QString kind = p.header ? QStringLiteral("header") : QStringLiteral("footer");
        overrides += QStringLiteral("<Override PartName=\"/word/%1\" ContentType=\"%2%3+xml\"/>")
                         .arg(p.name, QLatin1String(typeBase), kind);
        docRels += QStringLiteral("<Relationship Id=\"rIdP%1\" Type=\"%2%3\" Target=\"%4\"/>")
                       .arg(i + 1)
                       .arg(QLatin1String(relBase), kind, p.name);
    }
    entries.append({QStringLiteral("[Content_Types].xml"),
                    (QLatin1String(declaration)
                     + QStringLiteral("<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                                      "<Default Extension=\"rels\" ContentType=\"application/"
                                      "vnd.openxmlformats-package.relationships+xml\"/>"
                                      "<Default Extension=\"xml\" ContentType=\"application/xml\"/>")
                     + overrides + QStringLiteral("</Types>"))
                        .toUtf8()});
    entries.append({QStringLiteral("_rels/.rels"),
                    (QLatin1String(declaration)
                     + QStringLiteral("<Relationships xmlns=\"%1\"><Relationship Id=\"rId1\" "
                                      "Type=\"%2officeDocument\" Target=\"word/document.xml\"/></Relationships>")
                           .arg(QLatin1String(relsNs), QLatin1String(relBase)))
                        .toUtf8()});
    entries.append({QStringLiteral("word/document.xml"), documentXml()});
    entries.append({QStringLiteral("word/_rels/document.xml.rels"),
                    (QLatin1String(declaration)
                     + QStringLiteral("<Relationships xmlns=\"%1\">").arg(QLatin1String(relsNs)) + docRels
                     + extraRels + QStringLiteral("</Relationships>"))
                        .toUtf8()});
    for (const Part& p : parts) {
        const QString root = p.header ? QStringLiteral("w:hdr") : QStringLiteral("w:ftr");
        entries.append({QStringLiteral("word/") + p.name,
                        (QLatin1String(declaration)
                         + QStringLiteral("<%1 xmlns:w=\"%2\" xmlns:r=\"%3\">").arg(root, QLatin1String(nsW),
                                                                                 QLatin1String(nsR))
                         + p.content + QStringLiteral("</%1>").arg(root))
                            .toUtf8()});
        if (p.ownRels) {
            entries.append({QStringLiteral("word/_rels/%1.rels").arg(p.name),
                            (QLatin1String(declaration)
                             + QStringLiteral("<Relationships xmlns=\"%1\"><Relationship Id=\"rId3\" "
                                              "Type=\"%2hyperlink\" Target=\"http://example.org/\" "
                                              "TargetMode=\"External\"/></Relationships>")
                                   .arg(QLatin1String(relsNs), QLatin1String(relBase)))
                                .toUtf8()});
        }
    }
    entries += extra;

    QuaZip zip(path);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    for (const auto& e : qAsConst(entries)) {
        QuaZipFile out(&zip);
        if (!out.open(QIODevice::WriteOnly, QuaZipNewInfo(e.first)) || out.write(e.second) != e.second.size())
            return false;
        out.close();
    }
    zip.close();
    return zip.getZipError() == ZIP_OK;
}

QStringList zipEntryNames(const QString& zipPath)
{
    QuaZip zip(zipPath);
    if (!zip.open(QuaZip::mdUnzip))
        return QStringList();
    return zip.getFileNameList();
}

QByteArray zipEntry(const QString& zipPath, const QString& name)
{
    QuaZipFile file(zipPath, name, QuaZip::csSensitive);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

} // namespace TestSupport
