#pragma once

#include <QDomDocument>
#include <QDomElement>
#include <QString>

#include "domutil.h"

class DomFormat;

// The rows a table command makes: its template row is the last row of the
// table right before the command's paragraph, repeated once per line of the
// query result with the values of the line, separated by tabs, in its
// columns.
class TableRows
{
public:
    // The template row for a command in `paragraph`; null, with the reason
    // in `error`, when the command does not stand right after a table with
    // a row.
    static QDomElement findSeedRow(const QDomElement& paragraph, const DomFormat& format, QString& error);
    // A copy of the seed row's table holding the filled rows. With `splices`,
    // consecutive rows of plain values are one prototype row recorded there,
    // for the writer to write once per line (see SplicedRows).
    static QDomElement fill(QDomDocument& doc, const QDomElement& seedRow, const QString& result,
                            const QString& replaceEmpty, const DomFormat& format,
                            QList<SplicedRows>* splices = nullptr);
};
