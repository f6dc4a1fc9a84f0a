#include "runreport.h"

#include "batchrunner.h"
#include "globals.h"
#include "xmlfileitem.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

QString SourceOutcome::stateName(State state)
{
    switch (state) {
    case State::Made:
        return QStringLiteral("made");
    case State::Skipped:
        return QStringLiteral("skipped");
    case State::Failed:
        return QStringLiteral("failed");
    case State::NoTemplate:
        return QStringLiteral("no-template");
    case State::NotDone:
        break;
    }
    return QStringLiteral("not-done");
}

SourceOutcome SourceOutcome::of(const XmlFileItem& item, bool finished, bool skipped)
{
    SourceOutcome outcome;
    outcome.source = item.sourceFileName(true);
    const FileItem* top = item.topLevelItem();
    if (top != &item)
        outcome.archive = top->sourceFileName(true);
    outcome.templateName = item.templateName();
    if (skipped || item.state() == stateGenerated) {
        outcome.documents << item.destFilePath();
        // With --pdf the PDF lies beside the document; with --pdf-only it is
        // the document.
        const QString pdf = item.pdfFileName();
        if (!pdf.isEmpty() && pdf != item.destFileName())
            outcome.documents << concatPathFile(item.path(true), pdf);
    }
    if (skipped) {
        outcome.state = State::Skipped;
        outcome.message = QStringLiteral("пропущен: документ уже есть");
    } else if (item.state() == stateGenerated && !item.hasError()) {
        outcome.state = State::Made;
    } else if (finished && !item.templateItem()) {
        outcome.state = State::NoTemplate;
        outcome.message = QStringLiteral("не найден подходящий шаблон");
    } else {
        outcome.state = State::Failed;
        outcome.message = item.errorText();
    }
    return outcome;
}

SourceOutcome SourceOutcome::failedEntry(const FileItem& item, const QString& source)
{
    SourceOutcome outcome;
    outcome.state = State::Failed;
    outcome.source = source;
    const FileItem* top = item.topLevelItem();
    if (top != &item)
        outcome.archive = top->sourceFileName(true);
    outcome.message = item.errorText();
    return outcome;
}

SourceOutcome SourceOutcome::notDone(const QString& source, const QString& archive)
{
    SourceOutcome outcome;
    outcome.source = source;
    outcome.archive = archive;
    outcome.message = QStringLiteral("не обработан: обработка прервана");
    return outcome;
}

bool RunReport::parseFormat(const QString& text, Format* format)
{
    if (text == QLatin1String("tsv"))
        *format = Format::Tsv;
    else if (text == QLatin1String("jsonl"))
        *format = Format::Jsonl;
    else
        return false;
    return true;
}

RunReport::RunReport(const QString& fileName, Format format) : fileName(fileName), format(format)
{
}

void RunReport::begin(const QStringList& columnNames)
{
    if (fileName.isEmpty())
        return;
    bool opened = false;
    if (fileName == QLatin1String("-")) {
        opened = file.open(stdout, QIODevice::WriteOnly);
    } else {
        file.setFileName(fileName);
        opened = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }
    if (!opened) {
        failed = true;
        BatchRunner::printError(QStringLiteral("Ошибка сохранения отчёта в файл: %1").arg(fileName));
        return;
    }
    if (format == Format::Tsv)
        write(columnNames.join(QLatin1Char('\t')).toUtf8() + '\n');
}

void RunReport::appendLines(QByteArray& text, const FileItem& item)
{
    text += item.reportLine().toUtf8() + '\n';
    for (const FileItem* child : item.childItems())
        appendLines(text, *child);
}

QByteArray RunReport::jsonLine(const SourceOutcome& outcome)
{
    QJsonObject record{{QStringLiteral("source"), outcome.source},
                       {QStringLiteral("state"), SourceOutcome::stateName(outcome.state)},
                       {QStringLiteral("template"), outcome.templateName},
                       {QStringLiteral("documents"), QJsonArray::fromStringList(outcome.documents)},
                       {QStringLiteral("message"), outcome.message}};
    if (!outcome.archive.isEmpty())
        record.insert(QStringLiteral("archive"), outcome.archive);
    return QJsonDocument(record).toJson(QJsonDocument::Compact) + '\n';
}

void RunReport::add(const FileItem& entry, const QVector<SourceOutcome>& outcomes)
{
    if (!file.isOpen())
        return;
    QByteArray text;
    if (format == Format::Tsv) {
        appendLines(text, entry);
    } else {
        for (const SourceOutcome& outcome : outcomes)
            text += jsonLine(outcome);
    }
    write(text);
}

void RunReport::addNotStarted(const QString& path)
{
    if (!file.isOpen())
        return;
    if (format == Format::Tsv) {
        // The line the list would have shown for it: its size and type, no
        // template, no document.
        write(FileItem(path, nullptr, false).reportLine().toUtf8() + '\n');
    } else {
        write(jsonLine(SourceOutcome::notDone(path)));
    }
}

void RunReport::write(const QByteArray& bytes)
{
    if (failed || bytes.isEmpty())
        return;
    // Flushed record by record: a run killed outright keeps what it wrote.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        failed = true;
        BatchRunner::printError(QStringLiteral("Ошибка сохранения отчёта в файл: %1").arg(fileName));
    }
}
