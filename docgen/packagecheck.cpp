#include "packagecheck.h"

#include "ziputil.h"

#include <QDateTime>
#include <QFileInfo>
#include <QVector>

namespace {

struct Verdict
{
    QString key;
    QString problem;
};

// Most recently used first.
thread_local QVector<Verdict> verdicts;
const int capacity = 8;

} // namespace

QString PackageCheck::problemOf(const QString& packagePath)
{
    const QFileInfo info(packagePath);
    const QString key = info.absoluteFilePath() + QLatin1Char('\n')
                        + QString::number(info.lastModified().toMSecsSinceEpoch()) + QLatin1Char('\n')
                        + QString::number(info.size());
    for (int i = 0; i < verdicts.size(); ++i) {
        if (verdicts.at(i).key == key) {
            verdicts.move(i, 0);
            return verdicts.first().problem;
        }
    }
    QString damaged;
    QString problem;
    if (!ZipUtil::checkArchive(packagePath, &damaged))
        problem = damaged.isEmpty() ? QStringLiteral("архив не читается")
                                    : QStringLiteral("повреждён элемент %1").arg(damaged);
    if (verdicts.size() >= capacity)
        verdicts.removeLast();
    verdicts.prepend({key, problem});
    return problem;
}
