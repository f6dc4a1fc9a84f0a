#include "packagecheck.h"

#include "ziputil.h"

#include <QCache>
#include <QDateTime>
#include <QFileInfo>

namespace {

// Verdicts by package state (path, modification time, size).
thread_local QCache<QString, QString> verdicts(8);

} // namespace

QString PackageCheck::problemOf(const QString& packagePath)
{
    const QFileInfo info(packagePath);
    const QString key = info.absoluteFilePath() + QLatin1Char('\n') +
                        QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n') +
                        QString::number(info.size());
    if (const QString* known = verdicts.object(key))
        return *known;
    QString damaged;
    QString problem;
    if (!ZipUtil::checkArchive(packagePath, &damaged))
        problem = damaged.isEmpty() ? QStringLiteral("архив не читается")
                                    : QStringLiteral("повреждён элемент %1").arg(damaged);
    verdicts.insert(key, new QString(problem));
    return problem;
}
