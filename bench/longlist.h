#pragma once

#include <QString>
#include <QTextStream>

// The batch command over a long list of small files (--files-from): the
// command's own peak memory and that of its worker processes, the time to
// its first progress line and the documents per second, for each count.
// Documents are tiny, so that what grows with the list shows, not what a
// document costs. Returns false when a run failed.
bool measureLongLists(const QString& batch, const QList<int>& counts, QTextStream& out);
