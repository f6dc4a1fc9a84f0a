// The package side of DocProc: numbers in use, pictures, their relationships
// and content types, and writing the result archive.
#include "docproc.h"

#include "docxrelations.h"
#include "docxtemplatecache.h"
#include "docxxml.h"
#include "domutil.h"
#include "globals.h"
#include "picturefile.h"
#include "stagedfile.h"
#include "ziputil.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QMap>
#include <QRegularExpression>
#include <QTemporaryDir>

using namespace DocxXml;

void DocProc::prepareRels()
{
    maxPictureNo = templatePackage->maxPictureNo;
    maxRelIds.clear();
    maxRelIds.insert(templatePackage->mainPart.entryName, templatePackage->mainPart.maxRelId);
    for (const DocxTemplatePart& part : templatePackage->headerFooterParts)
        maxRelIds.insert(part.entryName, part.maxRelId);
}

QDomNode DocProc::getPictureInsert(const QDomNode& run, const QString& fileName)
{
    if (run.isNull())
        return QDomNode();
    QDomElement node = deepCopy(resultDoc, run);
    const QDomElement text = node.firstChildElement(nnText);
    if (!text.isNull())
        node.removeChild(text);
    if (fileName.isEmpty())
        return node;

    static const QRegularExpression jpeg(QStringLiteral("jpe?g"));
    const QString path = concatPath(xmlSourceFilePath(), fileName);
    PictureFile picture;
    if (!picture.load(path, limits().maxPicturePixels))
        return node;
    const QImage& image = picture.image;
    // The extension names the entry and its content type: a name without one
    // (or with a dot only in a folder name) takes the format of the picture.
    QString extension = QFileInfo(fileName).suffix().toLower();
    if (extension.isEmpty())
        extension = QString::fromLatin1(picture.format);
    extension.replace(jpeg, QStringLiteral("jpeg"));
    const double widthPt = image.widthMM() / 25.4 * 72;
    const double heightPt = image.heightMM() / 25.4 * 72;

    const int relNo = ++maxRelIds[currentPart];
    ++maxPictureNo;
    const QString entry = QStringLiteral("%1/%2%3.%4").arg(picPath, picPref).arg(maxPictureNo).arg(extension);
    const QString relId = relIdPref + QString::number(relNo);

    QDomElement shape = resultDoc.createElement(QStringLiteral("v:shape"));
    shape.setAttribute(QStringLiteral("style"),
                       QStringLiteral("width:%1pt;height:%2pt").arg(widthPt, 0, 'f', 1).arg(heightPt, 0, 'f', 1));
    // A VML shape is outlined unless told otherwise; a picture has no frame.
    shape.setAttribute(QStringLiteral("stroked"), QStringLiteral("f"));
    QDomElement imageData = resultDoc.createElement(QStringLiteral("v:imagedata"));
    imageData.setAttribute(QStringLiteral("r:id"), relId);
    shape.appendChild(imageData);
    QDomElement pict = resultDoc.createElement(QStringLiteral("w:pict"));
    pict.appendChild(shape);
    node.appendChild(pict);

    addedFiles.insert(entry, path);
    pictureRelIds.insert(entry, relId);
    pictureEntries.append(entry);
    picturePart.insert(entry, currentPart);
    return node;
}

void DocProc::declarePictureNamespaces()
{
    if (picturePart.key(currentPart).isEmpty())
        return;
    // The picture markup uses these prefixes; a part that never used them
    // has not declared them, and undeclared prefixes make it unreadable.
    static const QList<QPair<QString, QString>> namespaces{
        {QStringLiteral("xmlns:w"), QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main")},
        {QStringLiteral("xmlns:v"), QStringLiteral("urn:schemas-microsoft-com:vml")},
        {QStringLiteral("xmlns:r"),
         QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships")}};
    QDomElement root = resultDoc.documentElement();
    for (const auto& ns : namespaces) {
        if (!root.hasAttribute(ns.first))
            root.setAttribute(ns.first, ns.second);
    }
}

void DocProc::correctRels()
{
    if (pictureEntries.isEmpty())
        return;
    // Each picture is registered in the relationships of the part that shows it.
    QMap<QString, QVector<DocxRelations::Relationship>> byPart;
    for (const QString& entry : qAsConst(pictureEntries)) {
        byPart[picturePart.value(entry)].append(
            {pictureRelIds.value(entry), entry.mid(entry.indexOf(QLatin1Char('/')) + 1)});
    }
    for (auto it = byPart.constBegin(); it != byPart.constEnd(); ++it) {
        const QString relsEntry = DocxRelations::relsEntryFor(it.key());
        const bool exists = templatePackage->entryNames.contains(relsEntry);
        const QString relsText = exists ? ZipUtil::loadTextFile(templateFileName(), relsEntry, codec()) : QString();
        QByteArray bytes;
        if (!DocxRelations::addImageRelationships(bytes, relsText, !exists, it.value(), codec()))
            continue;
        if (exists) {
            delete replacedFiles.value(relsEntry);
            replacedFiles.insert(relsEntry, new QByteArray(bytes));
        } else {
            newEntries.insert(relsEntry, bytes);
        }
    }
}

void DocProc::correctContentTypes()
{
    if (pictureEntries.isEmpty())
        return;
    QSet<QString> extensions;
    for (const QString& entry : qAsConst(pictureEntries))
        extensions.insert(entry.mid(entry.lastIndexOf(QLatin1Char('.')) + 1));
    QByteArray bytes;
    if (DocxRelations::addImageContentTypes(
            bytes, ZipUtil::loadTextFile(templateFileName(), contentTypesFileName, codec()), extensions, codec())) {
        delete replacedFiles.value(contentTypesFileName);
        replacedFiles.insert(contentTypesFileName, new QByteArray(bytes));
    }
}

bool DocProc::writePackage()
{
    // Written beside the destination and put in its place only when whole:
    // a package without its pictures or relationships is no document.
    StagedFile staged(destinationFileName());
    return staged.isValid() && ZipUtil::copyReplaceArchiveFiles(staged.path(), templateFileName(), replacedFiles)
           && addPackageEntries(staged.path()) && staged.commit();
}

bool DocProc::addPackageEntries(const QString& packagePath)
{
    // Added one at a time so that the result does not depend on hash order.
    for (const QString& entry : qAsConst(pictureEntries)) {
        if (!ZipUtil::addFiles(packagePath, {{entry, addedFiles.value(entry)}}))
            return false;
    }
    if (newEntries.isEmpty())
        return true;
    QTemporaryDir dir;
    if (!dir.isValid())
        return false;
    QStringList names = newEntries.keys();
    names.sort();
    for (const QString& name : qAsConst(names)) {
        const QString path = dir.filePath(QString::number(names.indexOf(name)));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(newEntries.value(name)) != newEntries.value(name).size())
            return false;
        file.close();
        if (!ZipUtil::addFiles(packagePath, {{name, path}}))
            return false;
    }
    return true;
}
