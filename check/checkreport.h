#pragma once

#include "templatecheckresult.h"

#include <QString>
#include <QVector>

// How the results of a template check are shown: a listing for people (each
// template's commands with their places, kinds, queries and, after a dry
// run, results, then its findings), the findings as tab-separated lines for
// programs, and a closing summary.
class CheckReport
{
public:
    static QString severityName(CheckSeverity severity);
    // "act, DOCX", or "act" for its catalogue line.
    static QString subject(const TemplateCheckResult& result);
    static QString listing(const QVector<TemplateCheckResult>& results);
    // A header line, then one line per finding: template, format, part,
    // paragraph, severity, message.
    static QString tabSeparated(const QVector<TemplateCheckResult>& results);
    static QString summary(const QVector<TemplateCheckResult>& results);
    static int count(const QVector<TemplateCheckResult>& results, CheckSeverity severity);
};
