#include "docxrelations.h"

#include "docxxml.h"
#include "domutil.h"
#include "picturefile.h"

#include <QDomDocument>
#include <QDomElement>
#include <QRegularExpression>

#include <algorithm>

const QString DocxRelations::imageRelType =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/image");
const QString DocxRelations::relsNamespace =
    QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships");

QString DocxRelations::relsEntryFor(const QString& partEntryName)
{
    const int slash = partEntryName.lastIndexOf(QLatin1Char('/'));
    return partEntryName.left(slash + 1) + QStringLiteral("_rels/") + partEntryName.mid(slash + 1)
           + QStringLiteral(".rels");
}

int DocxRelations::maxRelNumber(const QString& relsText)
{
    static const QRegularExpression nonDigits(QStringLiteral("\\D+"));
    QDomDocument doc;
    if (relsText.isEmpty() || !DomUtil::parseDocument(doc, relsText))
        return 0;
    int maxNumber = 0;
    const QDomElement root = doc.documentElement();
    for (QDomElement rel = root.firstChildElement(QStringLiteral("Relationship")); !rel.isNull();
         rel = rel.nextSiblingElement()) {
        const int number = rel.attribute(QStringLiteral("Id")).remove(nonDigits).toInt();
        maxNumber = std::max(maxNumber, number);
    }
    return maxNumber;
}

bool DocxRelations::addImageRelationships(QByteArray& out, const QString& relsText, bool create,
                                          const QVector<Relationship>& relationships, QTextCodec* codec)
{
    QDomDocument doc;
    if (create) {
        const QString empty = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                                             "<Relationships xmlns=\"%1\"/>")
                                  .arg(relsNamespace);
        DomUtil::parseDocument(doc, empty);
    } else if (!DomUtil::parseDocument(doc, relsText) || doc.documentElement().isNull()) {
        return false;
    }
    QDomElement root = doc.documentElement();
    for (const Relationship& relationship : relationships) {
        QDomElement rel = doc.createElement(QStringLiteral("Relationship"));
        rel.setAttribute(QStringLiteral("Id"), relationship.first);
        rel.setAttribute(QStringLiteral("Type"), imageRelType);
        rel.setAttribute(QStringLiteral("Target"), relationship.second);
        root.appendChild(rel);
    }
    DomUtil::rawDataFromDoc(out, doc, codec, -1);
    return true;
}

bool DocxRelations::addImageContentTypes(QByteArray& out, const QString& contentTypesText,
                                         const QSet<QString>& extensions, QTextCodec* codec)
{
    QDomDocument doc;
    if (!DomUtil::parseDocument(doc, contentTypesText) || doc.documentElement().isNull())
        return false;
    QDomElement types = doc.documentElement();
    QSet<QString> missing = extensions;
    const QDomElement firstDefault = types.firstChildElement(QStringLiteral("Default"));
    for (QDomElement d = firstDefault; !d.isNull(); d = d.nextSiblingElement(QStringLiteral("Default")))
        missing.remove(d.attribute(QStringLiteral("Extension")).toLower()); // extensions ignore case
    if (missing.isEmpty())
        return false;
    QStringList sorted(missing.begin(), missing.end());
    sorted.sort();
    // Before the first Default as it was, or first of all when there was none.
    const QDomNode anchor = firstDefault.isNull() ? types.firstChild() : QDomNode(firstDefault);
    for (const QString& extension : qAsConst(sorted)) {
        QDomElement d = doc.createElement(QStringLiteral("Default"));
        d.setAttribute(QStringLiteral("Extension"), extension);
        d.setAttribute(QStringLiteral("ContentType"), PictureFile::mediaType(extension));
        types.insertBefore(d, anchor);
    }
    DomUtil::rawDataFromDoc(out, doc, codec, -1);
    return true;
}
