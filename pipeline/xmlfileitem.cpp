#include "xmlfileitem.h"

#include "basedocproc.h"
#include "docprocfactory.h"
#include "globals.h"
#include "pdfconverter.h"
#include "queryproc.h"
#include "stagedfile.h"
#include "status.h"
#include "templatelist.h"

#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// Detection and naming report query errors where generation does, and so
// share the thread's compiled queries and parsed source with it.
std::unique_ptr<QueryProc> newQueryProc(const QString& sourcePath)
{
    auto proc = std::make_unique<QueryProc>(sourcePath);
    proc->setMessageHandler(globalMessageHandler());
    return proc;
}

// Strips the first of the ";"-separated prefixes that begins the name.
QString stripMatchPrefix(const QString& baseName, const QString& matchPrefix)
{
    const QStringList prefixes = matchPrefix.split(QLatin1Char(';'));
    for (const QString& prefix : prefixes) {
        if (baseName.startsWith(prefix, Qt::CaseInsensitive))
            return baseName.mid(prefix.length());
    }
    return baseName;
}

const int maxNameVariant = 999;
// Longest file name, in bytes, that Linux file systems take.
const int maxFileNameBytes = 255;

// A name is taken by anything there, a symbolic link too, even one that
// points nowhere: writing to it would put the document where the link points.
bool nameExists(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// The document name with number n: "stem.ext", then "stem_1.ext" and so on.
QString variantName(const QString& stem, int n, const QString& ext)
{
    return n == 0 ? stem + QLatin1Char('.') + ext : stem + QStringLiteral("_%1.").arg(n) + ext;
}

// Bytes that the suffix, the largest counter and the extension take in a
// document's name.
int nameTailBytes(const TemplateItem& t, const QString& ext)
{
    return (t.suffix + QStringLiteral("_%1.").arg(maxNameVariant) + ext).toUtf8().size();
}

// Shortens `base` so that the name with `tail` (suffix, counter, extension)
// fits in a file name; an unchanged base when it fits already.
QString fittingBase(const QString& base, int tailBytes)
{
    QString fitted = base;
    while (!fitted.isEmpty() && fitted.toUtf8().size() + tailBytes > maxFileNameBytes)
        fitted.chop(fitted.size() > 1 && fitted.at(fitted.size() - 1).isLowSurrogate() ? 2 : 1);
    return fitted.trimmed();
}

} // namespace

XmlFileItem::XmlFileItem(const QString& fileName, FileItem* parentItem, bool isLink, ItemAttachment attachment)
    : FileItem(fileName, parentItem, isLink, attachment)
{
}

TemplateItem* XmlFileItem::templateItem() const
{
    QMutexLocker lock(&mutex);
    return chosenTemplate;
}

void XmlFileItem::setTemplateItem(TemplateItem* item)
{
    QMutexLocker lock(&mutex);
    chosenTemplate = item;
}

QString XmlFileItem::destBaseName() const
{
    QMutexLocker lock(&mutex);
    return destBaseText;
}

void XmlFileItem::setDestBaseName(const QString& base)
{
    QMutexLocker lock(&mutex);
    destBaseText = base;
}

QString XmlFileItem::destFileName() const
{
    QMutexLocker lock(&mutex);
    return destName;
}

void XmlFileItem::setDestFileName(const QString& name)
{
    QMutexLocker lock(&mutex);
    destName = name;
}

QString XmlFileItem::pdfFileName() const
{
    QMutexLocker lock(&mutex);
    return pdfName;
}

void XmlFileItem::setPdfFileName(const QString& name)
{
    QMutexLocker lock(&mutex);
    pdfName = name;
}

QString XmlFileItem::destFilePath() const
{
    const QString name = destFileName();
    return name.isEmpty() ? QString() : concatPathFile(path(true), name);
}

QString XmlFileItem::destBase() const
{
    const FileItem* real = realItem();
    if (const auto* xml = dynamic_cast<const XmlFileItem*>(real))
        return xml->destBaseName();
    return QString();
}

QString XmlFileItem::templateName() const
{
    const TemplateItem* t = templateItem();
    return t ? t->name : QString();
}

QString XmlFileItem::templateTitle() const
{
    const TemplateItem* t = templateItem();
    return t ? t->title : QString();
}

QString XmlFileItem::data(int column) const
{
    switch (column) {
    case colTemplate:
        return globalShowNames() ? templateName() : templateTitle();
    case colDocument: {
        const QString dest = destFilePath();
        const QString pdf = pdfFileName();
        if (dest.isEmpty())
            return QString();
        // The PDF lies beside the document: its name alone says enough.
        return pdf.isEmpty() || pdf == destFileName() ? shownFileName(dest)
                                                      : shownFileName(dest) + QStringLiteral(", ") + pdf;
    }
    default:
        return FileItem::data(column);
    }
}

QIcon XmlFileItem::destIcon() const
{
    if (destFileIcon.isNull() && state() > stateRecognized)
        destFileIcon = QFileIconProvider().icon(QFileInfo(destFilePath()));
    return destFileIcon;
}

QString XmlFileItem::runQuery(const QString& queryFile) const
{
    return newQueryProc(sourceFileName(true))->executeQuery(queryFile, {});
}

bool XmlFileItem::detectTemplate(const TemplateList* list, bool detectDest)
{
    if (!list || hasError() || state() >= stateRecognized)
        return false;
    const QString shortName = realItem()->fileName();
    const auto queryProc = newQueryProc(sourceFileName(true));

    // Templates whose match prefix begins the file name are tried first, then
    // all the others, each pass in catalogue order; the first match wins.
    QSet<int> tried;
    bool secondPass = false;
    while (tried.size() < list->count()) {
        for (int index = 0; index < list->count(); ++index) {
            if (tried.contains(index))
                continue;
            TemplateItem* candidate = list->getItem(index);
            if (!secondPass
                && (candidate->matchPrefix.isEmpty()
                    || !shortName.startsWith(candidate->matchPrefix, Qt::CaseInsensitive)))
                continue;
            const QString matchQuery = candidate->locateQuery(candidate->matchQuery);
            if (matchQuery.isEmpty()) {
                tried.insert(index);
                continue;
            }
            if (isTrue(queryProc->executeQuery(matchQuery, {}))) {
                setTemplateItem(candidate);
                setState(stateRecognized);
                if (detectDest) {
                    const QString nameQuery = candidate->locateQuery(candidate->nameQuery);
                    if (!nameQuery.isEmpty())
                        setDestBaseName(queryProc->executeQuery(nameQuery, {}));
                }
                return true;
            }
            tried.insert(index);
        }
        secondPass = true;
    }
    return templateItem() != nullptr;
}

bool XmlFileItem::detectDestBase()
{
    if (isLink())
        return false;
    TemplateItem* t = templateItem();
    if (!t && childCount() > 0) {
        if (auto* first = dynamic_cast<XmlFileItem*>(child(0)))
            t = first->templateItem();
    }
    if (!t)
        return false;
    const QString nameQuery = t->locateQuery(t->nameQuery);
    if (!nameQuery.isEmpty())
        setDestBaseName(runQuery(nameQuery));
    return !destBaseName().isEmpty();
}

QString XmlFileItem::safeFileBase(const QString& base)
{
    QString safe = base.trimmed();
    for (QChar& c : safe) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    // "." and ".." would name a folder, not a file.
    if (safe == QLatin1String(".") || safe == QLatin1String(".."))
        safe.fill(QLatin1Char('_'));
    return safe;
}

bool XmlFileItem::composeDestFileName(const QString& ext, bool useDestBase, bool overwrite)
{
    QString stem;
    return chooseDestFileName(ext, useDestBase, overwrite, false, &stem) >= 0;
}

QString XmlFileItem::documentStem(const TemplateItem& t, const QString& ext, bool useDestBase, bool* shortened) const
{
    QString base = useDestBase ? safeFileBase(destBase()) : QString();
    if (base.isEmpty())
        base = stripMatchPrefix(sourceBase(), t.matchPrefix);
    const QString fitted = fittingBase(base, nameTailBytes(t, ext));
    *shortened = fitted != base;
    return fitted + t.suffix;
}

int XmlFileItem::chooseDestFileName(const QString& ext, bool useDestBase, bool overwrite, bool announce,
                                    QString* stem, const QStringList& mustBeFree)
{
    const TemplateItem* t = templateItem();
    if (!t)
        return -1;
    const QString folder = path(true);
    bool shortened = false;
    *stem = documentStem(*t, ext, useDestBase, &shortened);
    if (shortened && announce) {
        showStatus(QStringLiteral("Имя документа слишком длинное для файловой системы и сокращено: %1")
                       .arg(shownFileName(concatPathFile(folder, variantName(*stem, 0, ext)))));
    }
    if (nameTailBytes(*t, ext) > maxFileNameBytes) {
        setDestFileName(QString());
        appendErrorText(QStringLiteral("Ошибка! Не удалось создать документ: %1 (имя слишком длинное)")
                            .arg(shownFileName(concatPathFile(folder, variantName(*stem, 0, ext)))));
        return -1;
    }
    const QStringList extensions = mustBeFree.isEmpty() ? QStringList{ext} : mustBeFree;
    for (int n = 0; n <= maxNameVariant; ++n) {
        bool free = true;
        for (int i = 0; free && !overwrite && i < extensions.size(); ++i)
            free = !nameExists(concatPathFile(folder, variantName(*stem, n, extensions.at(i))));
        if (free) {
            setDestFileName(variantName(*stem, n, ext));
            return n;
        }
    }
    noFreeName(*stem, ext);
    return -1;
}

bool XmlFileItem::keepExistingDocument(const QString& ext, bool useDestBase, PdfOutput pdf)
{
    const TemplateItem* t = templateItem();
    if (!t || hasError() || state() > stateRecognized || nameTailBytes(*t, ext) > maxFileNameBytes)
        return false;
    bool shortened = false;
    const QString stem = documentStem(*t, ext, useDestBase, &shortened);
    QStringList names;
    if (pdf != PdfOutput::Only)
        names << variantName(stem, 0, ext);
    if (pdf != PdfOutput::None)
        names << variantName(stem, 0, QStringLiteral("pdf"));
    for (const QString& name : qAsConst(names)) {
        const QFileInfo existing(concatPathFile(path(true), name));
        if (!existing.isFile() && !existing.isSymLink())
            return false;
    }
    setDestFileName(names.first());
    if (pdf != PdfOutput::None)
        setPdfFileName(names.last());
    showStatus(QStringLiteral("Файл: %1 пропущен: документ уже есть: %2")
                   .arg(shownFileName(sourceFileName(true)), shownFileName(destFilePath())));
    return true;
}

void XmlFileItem::noFreeName(const QString& stem, const QString& ext)
{
    // Every variant is taken: never overwrite one of the user's files.
    setDestFileName(QString());
    appendErrorText(QStringLiteral("Ошибка! Не найдено свободное имя для документа: %1 (заняты все имена с номерами "
                                   "до _%2)")
                        .arg(shownFileName(concatPathFile(path(true), variantName(stem, 0, ext))))
                        .arg(maxNameVariant));
}

int XmlFileItem::publishFile(StagedFile& staged, const QString& stem, const QString& ext, int firstVariant,
                             bool overwrite, QString* name)
{
    const QString folder = path(true);
    if (overwrite) {
        *name = QFileInfo(staged.destinationPath()).fileName();
        if (staged.commit())
            return firstVariant;
        appendErrorText(QStringLiteral("Ошибка! Не удалось создать документ: %1 (%2)")
                            .arg(shownFileName(staged.destinationPath()), QString::fromLocal8Bit(std::strerror(errno))));
        return -1;
    }
    // Claiming the name and showing the complete file under it are one
    // step, which fails when the name has been taken meanwhile (by another
    // worker or another batch command in the folder): the next one is tried.
    for (int n = firstVariant; n <= maxNameVariant; ++n) {
        *name = variantName(stem, n, ext);
        if (staged.commitAs(concatPathFile(folder, *name)))
            return n;
        if (errno != EEXIST) {
            const QString reason = QString::fromLocal8Bit(std::strerror(errno));
            appendErrorText(QStringLiteral("Ошибка! Не удалось создать документ: %1 (%2)")
                                .arg(shownFileName(concatPathFile(folder, *name)), reason));
            return -1;
        }
    }
    noFreeName(stem, ext);
    return -1;
}

bool XmlFileItem::convertToPdf(const QString& document, const QString& format, const QString& pdfPath,
                               const PdfRequest& pdf, QString* error) const
{
    if (pdf.converting)
        pdf.converting();
    if (pdf.converter)
        return pdf.converter->convert(document, format, pdfPath, pdf.timeLimitSeconds, error);
    PdfConverter own;
    return own.convert(document, format, pdfPath, pdf.timeLimitSeconds, error);
}

bool XmlFileItem::publishOutputs(StagedFile& staged, const QString& stem, const QString& format, int firstVariant,
                                 bool overwrite, const PdfRequest& pdf)
{
    QString name;
    if (pdf.output == PdfOutput::None) {
        if (publishFile(staged, stem, format, firstVariant, overwrite, &name) < 0)
            return false;
        setDestFileName(name);
        return true;
    }
    // The PDF is made from the complete document before either takes a
    // name, so that both appear together and whole.
    const QString folder = path(true);
    StagedFile pdfStaged(concatPathFile(folder, variantName(stem, firstVariant, QStringLiteral("pdf"))));
    QString reason = QStringLiteral("не удалось создать временный файл");
    const bool converted =
        pdfStaged.isValid() && convertToPdf(staged.path(), format, pdfStaged.path(), pdf, &reason);
    if (!converted) {
        appendErrorText(QStringLiteral("Ошибка! Документ по файлу %1 не удалось преобразовать в PDF (%2)")
                            .arg(shownFileName(sourceFileName(true)), reason));
    }
    int variant = firstVariant;
    if (pdf.output == PdfOutput::Beside || !converted) {
        variant = publishFile(staged, stem, format, firstVariant, overwrite, &name);
        if (variant < 0)
            return false;
        setDestFileName(name);
    }
    if (!converted)
        return true;
    // The PDF takes the document's number, or the next free one when that
    // was taken meanwhile by someone who claims names otherwise.
    if (publishFile(pdfStaged, stem, QStringLiteral("pdf"), variant, overwrite, &name) < 0) {
        // A PDF that cannot take a name leaves the document, as a failed
        // conversion does.
        if (pdf.output == PdfOutput::Beside)
            return true;
        variant = publishFile(staged, stem, format, firstVariant, overwrite, &name);
        if (variant >= 0)
            setDestFileName(name);
        return variant >= 0;
    }
    setPdfFileName(name);
    if (pdf.output == PdfOutput::Only)
        setDestFileName(name);
    return true;
}

bool XmlFileItem::transform(const QString& format, bool useDestBase, bool overwrite, const GenerationLimits& limits,
                            const PdfRequest& pdf)
{
    const TemplateItem* t = templateItem();
    if (!t || hasError() || state() > stateRecognized)
        return false;
    setPdfFileName(QString());
    QString stem;
    // A PDF kept alone needs only its own name free.
    QStringList mustBeFree;
    if (pdf.output != PdfOutput::Only)
        mustBeFree << format;
    if (pdf.output != PdfOutput::None)
        mustBeFree << QStringLiteral("pdf");
    const int firstVariant = chooseDestFileName(format, useDestBase, overwrite, true, &stem, mustBeFree);
    if (firstVariant < 0)
        return false;

    const QString sourcePath = sourceFileName(true);
    const QString destPath = destFilePath();
    const QString shownSource = shownFileName(sourcePath);
    const QString shownDest = shownFileName(destPath);
    const QString templateName = checkExt(t->templateFile, format);
    const QString templatePath = locateInResource(QStringLiteral("Templates"), templateName);
    if (templatePath.isEmpty()) {
        appendErrorText(QStringLiteral("Ошибка преобразования файла: %1 в документ: %2. Не найден файл шаблона: %3.")
                            .arg(shownSource, shownDest, templateName));
        return false;
    }

    const std::unique_ptr<BaseDocProc> generator =
        createDocProc(format, sourcePath, destPath, templatePath, t->queryFolder());
    generator->setMessageHandler(globalMessageHandler());
    generator->setLimits(limits);
    bool publishFailed = false;
    generator->setPublisher([&](StagedFile& staged) {
        publishFailed = !publishOutputs(staged, stem, format, firstVariant, overwrite, pdf);
        return !publishFailed;
    });
    if (generator->generateDocument()) {
        setState(stateGenerated);
        const QString made = shownFileName(destFilePath());
        const QString pdfMade = pdfFileName();
        if (pdfMade.isEmpty() || pdfMade == destFileName())
            showStatus(QStringLiteral("Файл: %1 успешно преобразован в %2: %3")
                           .arg(shownSource, pdfMade.isEmpty() ? QStringLiteral("документ") : QStringLiteral("PDF"),
                                made));
        else
            showStatus(QStringLiteral("Файл: %1 успешно преобразован в документ: %2 и в PDF: %3")
                           .arg(shownSource, made, pdfMade));
        // A PDF that could not be made is an error of the file.
        return !hasError();
    }
    bool recorded = false;
    if (generator->hasTemplateErrors()) {
        appendErrorText(QStringLiteral("Ошибка преобразования файла: %1 в документ: %2. Ошибка в структуре шаблона: "
                                       "%3. Результат скорей всего некорректный.")
                            .arg(shownSource, shownDest, shownFileName(templatePath)));
        recorded = true;
    }
    if (generator->queryProc().hasErrors()) {
        appendErrorText(QStringLiteral("Ошибка преобразования файла: %1 в документ: %2. Имели место ошибки "
                                       "выполнения запросов. Результат скорей всего некорректный.")
                            .arg(shownSource, shownDest));
        recorded = true;
    }
    if (!recorded && !publishFailed) {
        // The generator could not write the document; its own message is in
        // the log. Say so on the item too, so the failure is not silent.
        appendErrorText(QStringLiteral("Ошибка преобразования файла: %1 в документ: %2. Документ не сформирован.")
                            .arg(shownSource, shownDest));
    }
    return false;
}

bool XmlFileItem::containsTemplate(const TemplateItem* item) const
{
    return indexOfTemplate(item) >= 0;
}

int XmlFileItem::indexOfTemplate(const TemplateItem* item) const
{
    if (!item)
        return -1;
    if (templateItem() == item)
        return 0;
    const QList<FileItem*> kids = childItems();
    for (int i = 0; i < kids.size(); ++i) {
        if (const auto* xml = dynamic_cast<const XmlFileItem*>(kids.at(i)); xml && xml->templateItem() == item)
            return i;
    }
    return -1;
}

XmlFileItem* XmlFileItem::newLink(TemplateItem* item)
{
    auto* link = new XmlFileItem(QString(), this, true);
    link->setTemplateItem(item);
    return link;
}

void XmlFileItem::addTemplate(TemplateItem* item)
{
    if (!item || isLink() || containsTemplate(item))
        return;
    TemplateItem* own = templateItem();
    const bool hasChildren = childCount() > 0;
    if (!own && !hasChildren) {
        setTemplateItem(item);
        setState(stateRecognized);
        return;
    }
    if (own && !hasChildren) {
        // The file's own template moves to a link of its own first, taking the
        // document already generated with it.
        XmlFileItem* first = newLink(own);
        if (state() > stateRecognized) {
            first->setDestFileName(destFileName());
            first->destFileIcon = destFileIcon;
            setDestFileName(QString());
            destFileIcon = QIcon();
            setState(stateRecognized);
        }
        setTemplateItem(nullptr);
    }
    newLink(item)->setState(stateRecognized);
}

void XmlFileItem::removeTemplate(TemplateItem* item)
{
    if (!item)
        return;
    if (TemplateItem* own = templateItem()) {
        if (own != item)
            return;
        setTemplateItem(nullptr);
        setDestFileName(QString());
        destFileIcon = QIcon();
        setState(parentItem() ? stateUnpacked : stateNew);
        return;
    }
    const int index = indexOfTemplate(item);
    if (index < 0)
        return;
    removeChildItem(index);
    if (childCount() == 1) {
        auto* last = dynamic_cast<XmlFileItem*>(child(0));
        if (last) {
            setTemplateItem(last->templateItem());
            setDestFileName(last->destFileName());
            destFileIcon = last->destFileIcon;
        }
        removeChildItem(0);
    }
}
