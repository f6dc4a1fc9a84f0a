#include "odttestsupport.h"

#include "domutil.h"
#include "ziputil.h"

#include <quazip/quazip.h>
#include <quazip/quazipfile.h>

namespace TestSupport {
namespace Odt {

QString namespaces()
{
    return QStringLiteral(
        "xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
        "xmlns:style=\"urn:oasis:names:tc:opendocument:xmlns:style:1.0\" "
        "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" "
        "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
        "xmlns:draw=\"urn:oasis:names:tc:opendocument:xmlns:drawing:1.0\" "
        "xmlns:fo=\"urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0\" "
        "xmlns:xlink=\"http://www.w3.org/1999/xlink\" "
        "xmlns:svg=\"urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0\" "
        "office:version=\"1.3\"");
}

QString contentXml(const QString& body, const QString& automaticStyles)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-content ") + namespaces()
           + QStringLiteral("><office:automatic-styles>") + automaticStyles
           + QStringLiteral("</office:automatic-styles><office:body><office:text>") + body
           + QStringLiteral("</office:text></office:body></office:document-content>");
}

QString stylesXml(const QString& masterStyles, const QString& automaticStyles)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document-styles ") + namespaces()
           + QStringLiteral("><office:styles><style:style style:name=\"Standard\" style:family=\"paragraph\"/>"
                            "</office:styles><office:automatic-styles>")
           + automaticStyles + QStringLiteral("</office:automatic-styles><office:master-styles>") + masterStyles
           + QStringLiteral("</office:master-styles></office:document-styles>");
}

QString manifestXml()
{
    return QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<manifest:manifest xmlns:manifest=\"urn:oasis:names:tc:opendocument:xmlns:manifest:1.0\" "
        "manifest:version=\"1.3\">"
        "<manifest:file-entry manifest:full-path=\"/\" manifest:version=\"1.3\" "
        "manifest:media-type=\"application/vnd.oasis.opendocument.text\"/>"
        "<manifest:file-entry manifest:full-path=\"content.xml\" manifest:media-type=\"text/xml\"/>"
        "<manifest:file-entry manifest:full-path=\"styles.xml\" manifest:media-type=\"text/xml\"/>"
        "</manifest:manifest>");
}

QString flatXml(const QString& body, const QString& automaticStyles, const QString& masterStyles,
                const QString& commonStyles)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<office:document ") + namespaces()
           + QStringLiteral(" office:mimetype=\"application/vnd.oasis.opendocument.text\">"
                            "<office:styles><style:style style:name=\"Standard\" style:family=\"paragraph\"/>")
           + commonStyles + QStringLiteral("</office:styles><office:automatic-styles>") + automaticStyles
           + QStringLiteral("</office:automatic-styles><office:master-styles>") + masterStyles
           + QStringLiteral("</office:master-styles><office:body><office:text>") + body
           + QStringLiteral("</office:text></office:body></office:document>");
}

bool writePackage(const QString& path, const QList<QPair<QString, QByteArray>>& entries)
{
    QuaZip zip(path);
    zip.setDataDescriptorWritingEnabled(false);
    if (!zip.open(QuaZip::mdCreate))
        return false;
    QList<QPair<QString, QByteArray>> all{{QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.text"}};
    all += entries;
    bool ok = true;
    for (const auto& entry : all) {
        const bool stored = entry.first == QLatin1String("mimetype");
        QuaZipFile file(&zip);
        ok = ok && file.open(QIODevice::WriteOnly, QuaZipNewInfo(entry.first), nullptr, 0, stored ? 0 : 8, stored ? 0 : -1);
        ok = ok && file.write(entry.second) == entry.second.size();
        file.close();
        ok = ok && file.getZipError() == ZIP_OK;
    }
    zip.close();
    return ok && zip.getZipError() == ZIP_OK;
}

bool writeOdt(const QString& path, const QString& content, const QString& styles)
{
    return writePackage(path, {{QStringLiteral("content.xml"), content.toUtf8()},
                               {QStringLiteral("styles.xml"), (styles.isEmpty() ? stylesXml() : styles).toUtf8()},
                               {QStringLiteral("META-INF/manifest.xml"), manifestXml().toUtf8()}});
}

QList<EntryInfo> entries(const QString& zipPath)
{
    QList<EntryInfo> result;
    QuaZip zip(zipPath);
    if (!zip.open(QuaZip::mdUnzip))
        return result;
    for (bool more = zip.goToFirstFile(); more; more = zip.goToNextFile()) {
        QuaZipFileInfo64 info;
        zip.getCurrentFileInfo(&info);
        result.append({info.name, int(info.method)});
    }
    return result;
}

QDomDocument part(const QString& odtPath, const QString& entryName)
{
    QDomDocument doc;
    DomUtil::parseDocument(doc, ZipUtil::loadFile(odtPath, entryName));
    return doc;
}

namespace {

void appendShown(const QDomNode& node, QString& out, bool& ignoreSpace)
{
    for (QDomNode child = node.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.nodeType() == QDomNode::TextNode) {
            for (const QChar c : child.nodeValue()) {
                if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
                    if (!ignoreSpace)
                        out += QLatin1Char(' ');
                    ignoreSpace = true;
                } else {
                    out += c;
                    ignoreSpace = false;
                }
            }
            continue;
        }
        const QString name = child.nodeName();
        if (name == QLatin1String("text:s")) {
            out += QString(qMax(1, child.toElement().attribute(QStringLiteral("text:c"), QStringLiteral("1")).toInt()),
                           QLatin1Char(' '));
            ignoreSpace = false;
        } else if (name == QLatin1String("text:tab")) {
            out += QLatin1Char('\t');
            ignoreSpace = false;
        } else if (name == QLatin1String("text:line-break")) {
            out += QLatin1Char('\n');
            ignoreSpace = false;
        } else if (name == QLatin1String("text:p") || name == QLatin1String("text:h")) {
            bool start = true;
            appendShown(child, out, start);
            out += QLatin1Char('\n');
            ignoreSpace = true;
        } else if (!name.startsWith(QLatin1String("draw:")) && name != QLatin1String("office:annotation")) {
            appendShown(child, out, ignoreSpace);
        }
    }
}

} // namespace

QString shownText(const QDomNode& node)
{
    QString out;
    bool ignoreSpace = true;
    if (node.nodeName() == QLatin1String("text:p") || node.nodeName() == QLatin1String("text:h")) {
        appendShown(node, out, ignoreSpace);
        return out;
    }
    appendShown(node, out, ignoreSpace);
    return out;
}

QString bodyText(const QString& odtPath)
{
    const QDomDocument doc = part(odtPath, QStringLiteral("content.xml"));
    const QDomElement text = doc.documentElement()
                                 .firstChildElement(QStringLiteral("office:body"))
                                 .firstChildElement(QStringLiteral("office:text"));
    return shownText(text);
}

QList<QDomElement> elements(const QDomNode& node, const QString& name)
{
    QList<QDomElement> result;
    const QDomNode end = DomUtil::nextLastNode(node);
    for (QDomNode n = DomUtil::nextNode(node); !n.isNull() && n != end; n = DomUtil::nextNode(n)) {
        if (n.isElement() && n.nodeName() == name)
            result.append(n.toElement());
    }
    return result;
}

} // namespace Odt
} // namespace TestSupport
