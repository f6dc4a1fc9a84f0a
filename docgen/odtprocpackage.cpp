// Page styles, removal of empty sections, pictures and the manifest of the
// ODT generator.
#include "odtproc.h"

#include "domutil.h"
#include "globals.h"
#include "odtnames.h"
#include "picturefile.h"
#include "ziputil.h"

#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMap>
#include <QRegularExpression>
#include <QSet>
#include <QVector>

using namespace OdtNames;

namespace {

QDomElement childElement(const QDomNode& parent, const QString& name)
{
    return parent.firstChildElement(name);
}

QDomElement autoStyles(const QDomDocument& doc)
{
    return childElement(childElement(doc, nnDocContent), nnAutoStyles);
}

QString mediaType(const QByteArray& format)
{
    const QString f = QString::fromLatin1(format).toLower();
    if (f == QLatin1String("jpg") || f == QLatin1String("jpeg"))
        return QStringLiteral("image/jpeg");
    if (f == QLatin1String("svg"))
        return QStringLiteral("image/svg+xml");
    if (f == QLatin1String("tif"))
        return QStringLiteral("image/tiff");
    return QStringLiteral("image/") + f;
}

// Namespaces of the elements the generator may add, declared on the root of
// the part when the template did not declare them.
struct Namespace {
    const char* prefix;
    const char* uri;
};
const Namespace pictureNamespaces[] = {
    {"draw", "urn:oasis:names:tc:opendocument:xmlns:drawing:1.0"},
    {"svg", "urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0"},
    {"xlink", "http://www.w3.org/1999/xlink"},
};
const Namespace styleNamespaces[] = {
    {"style", "urn:oasis:names:tc:opendocument:xmlns:style:1.0"},
    {"fo", "urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"},
};

template <std::size_t N>
void declare(QDomElement root, const Namespace (&namespaces)[N])
{
    for (const Namespace& ns : namespaces) {
        const QString attribute = QStringLiteral("xmlns:") + QLatin1String(ns.prefix);
        if (!root.hasAttribute(attribute))
            root.setAttribute(attribute, QLatin1String(ns.uri));
    }
}

} // namespace

void OdtProc::prepareStyles()
{
    separateStyleUsed = false;
    masterPageStyles.clear();
    const QDomElement styles = autoStyles(templateDoc);
    for (QDomElement style = styles.firstChildElement(nnStyle); !style.isNull();
         style = style.nextSiblingElement()) {
        const QString name = style.attribute(QStringLiteral("style:name"));
        const QString masterPage = style.attribute(QStringLiteral("style:master-page-name"));
        if (!name.isEmpty() && !masterPage.isEmpty())
            masterPageStyles.insert(name, masterPage);
    }
}

void OdtProc::addSeparateStyle()
{
    if (!separateStyleUsed)
        return;
    QDomElement root = childElement(resultDoc, nnDocContent);
    if (root.isNull())
        return;
    QDomElement styles = root.firstChildElement(nnAutoStyles);
    if (styles.isNull()) {
        // Without the style the separators would not break the page.
        styles = resultDoc.createElement(nnAutoStyles);
        root.insertBefore(styles, root.firstChildElement(nnBody));
    }
    for (QDomElement style = styles.firstChildElement(nnStyle); !style.isNull();
         style = style.nextSiblingElement(nnStyle)) {
        if (style.attribute(QStringLiteral("style:name")) == sepStyleName)
            return; // a template made from a generated document has it already
    }
    QDomElement style = resultDoc.createElement(nnStyle);
    style.setAttribute(QStringLiteral("style:name"), sepStyleName);
    style.setAttribute(QStringLiteral("style:family"), QStringLiteral("paragraph"));
    style.setAttribute(QStringLiteral("style:parent-style-name"), QStringLiteral("Standard"));
    QDomElement properties = resultDoc.createElement(nnParProps);
    properties.setAttribute(QStringLiteral("fo:break-before"), QStringLiteral("page"));
    style.appendChild(properties);
    styles.appendChild(style);
}

void OdtProc::deleteEmptySections()
{
    if (emptySectionMarks.isEmpty())
        return;
    QDomElement text = childElement(childElement(childElement(resultDoc, nnDocContent), nnBody), nnText);
    if (text.isNull())
        return;

    // The page style each top-level node belongs to: the last switch before it.
    QVector<QDomNode> nodes;
    QVector<QString> sections;
    QString current;
    for (QDomNode child = text.firstChild(); !child.isNull(); child = child.nextSibling()) {
        if (child.isElement()) {
            const QDomElement element = child.toElement();
            const QString style = element.hasAttribute(atStyleName) ? element.attribute(atStyleName)
                                                                   : element.attribute(atTableStyleName);
            const auto found = masterPageStyles.constFind(style);
            if (found != masterPageStyles.constEnd())
                current = found.value();
        }
        nodes.append(child);
        sections.append(current);
    }

    QSet<QString> doomed;
    for (const QDomNode& mark : qAsConst(emptySectionMarks)) {
        QDomNode top = mark;
        while (!top.isNull() && top.parentNode() != text)
            top = top.parentNode();
        if (top.isNull())
            continue;
        const int index = nodes.indexOf(top);
        if (index >= 0 && !sections.at(index).isEmpty())
            doomed.insert(sections.at(index));
    }
    for (int i = 0; i < nodes.size(); ++i) {
        if (doomed.contains(sections.at(i)))
            text.removeChild(nodes[i]);
    }
}

int OdtProc::nextPictureNumber()
{
    if (firstPictureNumber < 0) {
        // Numbers continue after those of the template's own pictures of the
        // same name (a template made from a generated document has some), so
        // that no entry name is written twice.
        static const QRegularExpression rePicture(
            QRegularExpression::anchoredPattern(picFolder + picPref + QStringLiteral("(\\d+)\\..*")),
            QRegularExpression::CaseInsensitiveOption);
        firstPictureNumber = 0;
        const QStringList names = ZipUtil::getFileNameList(templateFileName());
        for (const QString& name : names) {
            const QRegularExpressionMatch m = rePicture.match(name);
            if (m.hasMatch())
                firstPictureNumber = qMax(firstPictureNumber, m.captured(1).toInt() + 1);
        }
    }
    return firstPictureNumber + addedFiles.size();
}

QDomNode OdtProc::getPictureInsert(const QDomNode& node, const QString& fileName)
{
    const QString name = fileName.trimmed();
    if (name.isEmpty() || node.isNull())
        return QDomNode();
    const QString path = concatPath(xmlSourceFilePath(), name);
    PictureFile picture;
    if (!picture.load(path, limits().maxPicturePixels))
        return QDomNode();
    const QImage& image = picture.image;
    const QByteArray& format = picture.format;

    // The extension as the file name has it; from the content when it has none.
    QString ext = QFileInfo(name).suffix();
    if (ext.isEmpty())
        ext = QString::fromLatin1(format).toLower();
    const QString entry = picFolder + picPref + QString::number(nextPictureNumber()) + QLatin1Char('.') + ext;

    QDomElement frame = resultDoc.createElement(nnFrame);
    frame.setAttribute(QStringLiteral("text:anchor-type"), QStringLiteral("as-char"));
    frame.setAttribute(QStringLiteral("svg:width"), QStringLiteral("%1cm").arg(image.widthMM() / 10.0, 0, 'f', 1));
    frame.setAttribute(QStringLiteral("svg:height"), QStringLiteral("%1cm").arg(image.heightMM() / 10.0, 0, 'f', 1));
    QDomElement pictureElement = resultDoc.createElement(nnImage);
    pictureElement.setAttribute(QStringLiteral("xlink:href"), entry);
    pictureElement.setAttribute(QStringLiteral("xlink:type"), QStringLiteral("simple"));
    pictureElement.setAttribute(QStringLiteral("xlink:show"), QStringLiteral("embed"));
    pictureElement.setAttribute(QStringLiteral("xlink:actuate"), QStringLiteral("onLoad"));
    frame.appendChild(pictureElement);

    addedFiles.insert(entry, path);
    addedFileTypes.insert(entry, mediaType(format));
    return frame;
}

void OdtProc::correctManifest()
{
    if (addedFiles.isEmpty())
        return;
    bool ok = false;
    const QByteArray bytes = ZipUtil::loadFile(templateFileName(), manifestFileName, &ok);
    QDomDocument manifest;
    // A manifest that is missing or unreadable is left as it is: writing an
    // empty one would make the package unreadable.
    if (!ok || !DomUtil::parseDocument(manifest, bytes))
        return;
    QDomElement root = manifest.documentElement();
    QMap<QString, QString> sorted; // a stable order of the new entries
    for (auto it = addedFiles.constBegin(); it != addedFiles.constEnd(); ++it)
        sorted.insert(it.key(), addedFileTypes.value(it.key()));
    for (auto it = sorted.constBegin(); it != sorted.constEnd(); ++it) {
        QDomElement entry = manifest.createElement(nnFileEntry);
        entry.setAttribute(QStringLiteral("manifest:full-path"), it.key());
        entry.setAttribute(QStringLiteral("manifest:media-type"), it.value());
        root.appendChild(entry);
    }
    auto out = new QByteArray;
    DomUtil::rawDataFromDoc(*out, manifest, codec(), -1);
    delete replacedFiles.take(manifestFileName);
    replacedFiles.insert(manifestFileName, out);
}

void OdtProc::ensureNamespaces(bool pictures, bool styles)
{
    QDomElement root = resultDoc.documentElement();
    if (root.isNull())
        return;
    if (pictures)
        declare(root, pictureNamespaces);
    if (styles)
        declare(root, styleNamespaces);
}
