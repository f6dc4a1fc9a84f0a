#include "batchrunner.h"

#include "filelist.h"
#include "globals.h"
#include "messagehandler.h"
#include "messagesenderobject.h"
#include "status.h"
#include "templatelist.h"
#include "xmlfileitem.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

#include <cstdio>

namespace {

QRegularExpression maskPattern(const QString& text)
{
    if (text.isEmpty())
        return QRegularExpression();
    return QRegularExpression(QRegularExpression::anchoredPattern(text), QRegularExpression::CaseInsensitiveOption);
}

} // namespace

BatchRunner::BatchRunner(const BatchOptions& options, QObject* parent) : QObject(parent), options(options)
{
}

void BatchRunner::printError(const QString& text)
{
    const QByteArray bytes = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

bool BatchRunner::prepare(FileList& list, TemplateList& catalogue)
{
    const QString cataloguePath = locateInResource(QStringLiteral("Settings"), TemplateList::catalogueFileName);
    if (cataloguePath.isEmpty() || !catalogue.load(cataloguePath)) {
        printError(QStringLiteral("Ошибка! Не удалось загрузить список шаблонов: %1 в папке Settings ресурсов")
                       .arg(TemplateList::catalogueFileName));
        return false;
    }
    for (const QString& problem : TemplateList::unusableLines(cataloguePath))
        printError(problem);
    list.templateList = &catalogue;
    list.parallel = !options.sequential;
    list.unzipParams.includeMask = maskPattern(options.includeMask);
    list.unzipParams.excludeMask = maskPattern(options.excludeMask);
    list.unzipParams.recursive = options.unzipRecursive;
    list.unzipParams.removeInternalZips = false;
    list.transformParams.format = options.format;
    list.transformParams.useDestBase = options.rename;
    list.transformParams.overwrite = options.overwrite;
    list.transformParams.openDocument = false;

    QStringList names;
    for (const QString& file : qAsConst(options.files)) {
        const QString name = QFileInfo(file).absoluteFilePath();
        if (name.endsWith(QLatin1String(".xml"), Qt::CaseInsensitive)
            || name.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive))
            names << name;
        else
            printError(QStringLiteral("Пропущен файл (не XML и не ZIP): %1").arg(file));
    }
    list.addFileNames(names);
    return true;
}

void BatchRunner::reportProgress(FileList& list, FileItem* item)
{
    if (list.currentStep != psTransform)
        return;
    auto* xml = dynamic_cast<XmlFileItem*>(item);
    if (!xml)
        return;
    ++transformDone;
    const QString source = xml->sourceFileName(true);
    const QString line = xml->state() == 3
                             ? QStringLiteral("[%1/%2] %3 → %4").arg(transformDone).arg(transformTotal).arg(source, xml->destFilePath())
                             : QStringLiteral("[%1/%2] %3 → документ не сформирован").arg(transformDone).arg(transformTotal).arg(source);
    printError(line);
}

bool BatchRunner::allDocumentsMade(const FileList& list)
{
    QList<FileItem*> all;
    list.getItems(all);
    for (FileItem* item : qAsConst(all)) {
        if (item->hasError())
            return false;
        if (dynamic_cast<XmlFileItem*>(item) && !item->isRemoved() && item->childCount() == 0 && item->state() != 3)
            return false;
    }
    return !all.isEmpty();
}

bool BatchRunner::writeReport(const FileList& list) const
{
    if (options.reportFile.isEmpty())
        return true;
    if (options.reportFile != QLatin1String("-"))
        return list.save(options.reportFile, true);
    QTextStream out(stdout);
    out.setCodec("UTF-8");
    out << list.columnNames.join(QLatin1Char('\t')) << '\n';
    list.save(out, nullptr);
    out.flush();
    return out.status() == QTextStream::Ok && std::fflush(stdout) == 0 && !std::ferror(stdout);
}

int BatchRunner::run()
{
    MessageSenderObject sender;
    MessageHandler handler;
    connect(&sender, &MessageSenderObject::sendMessageSignal, this, &BatchRunner::printError, Qt::QueuedConnection);
    setGlobalMessageSender(&sender);
    setGlobalMessageHandler(&handler);

    int status = 1;
    {
        TemplateList catalogue;
        FileList list;
        if (prepare(list, catalogue)) {
            QEventLoop loop;
            connect(&list, &FileList::itemChanged, this, [&](FileItem* item) { reportProgress(list, item); });
            connect(&list, &FileList::procStepFinished, this, [&](ProcessingStepType step) {
                if (step == psDetectDestBase)
                    transformTotal = list.itemsForStep(psTransform).size();
            });

            TemplateItem* fixedTemplate = nullptr;
            if (!options.templateName.isEmpty())
                fixedTemplate = static_cast<TemplateItem*>(catalogue.itemByName(options.templateName));
            if (!options.templateName.isEmpty() && !fixedTemplate) {
                printError(QStringLiteral("Шаблон не найден в списке шаблонов: %1").arg(options.templateName));
                status = 2;
            } else {
                if (fixedTemplate) {
                    // Unpack first, then give every XML file the chosen template.
                    connect(&list, &FileList::processingFinished, &loop, &QEventLoop::quit);
                    list.startProcessFiles(psUnzip);
                    loop.exec();
                    list.addTemplate(fixedTemplate);
                }
                connect(&list, &FileList::processingFinished, &loop, &QEventLoop::quit, Qt::UniqueConnection);
                list.startProcessFiles(psTransform);
                loop.exec();
                QCoreApplication::processEvents();
                status = allDocumentsMade(list) ? 0 : 1;
                if (!writeReport(list)) {
                    printError(QStringLiteral("Ошибка сохранения отчёта в файл: %1").arg(options.reportFile));
                    status = 1;
                }
            }
        }
        QCoreApplication::processEvents();
    }
    setGlobalMessageHandler(nullptr);
    setGlobalMessageSender(nullptr);
    return status;
}
