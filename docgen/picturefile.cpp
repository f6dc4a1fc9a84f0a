#include "picturefile.h"

#include "generationlimits.h"
#include "globals.h"
#include "status.h"

#include <QFileInfo>
#include <QImageReader>

namespace {

bool liesIn(const QString& path, const QString& folder)
{
    const QString file = QFileInfo(path).canonicalFilePath();
    const QString inside = QFileInfo(folder).canonicalFilePath();
    return !file.isEmpty() && !inside.isEmpty() && (file.startsWith(inside + QLatin1Char('/')) || inside == QLatin1String("/"));
}

} // namespace

bool PictureFile::loadFrom(const QString& path, const QString& sourceFolder, const QString& queryName,
                           const GenerationLimits& limits, QString* refusal)
{
    const auto showStatus = [refusal](const QString& message) {
        if (refusal)
            *refusal = message;
        else
            ::showStatus(message);
    };
    const QString warning = QStringLiteral("Предупреждение! Рисунок не вставлен: файл %1, который вернул запрос %2, %3")
                                .arg(shownFileName(path), queryName);
    const QFileInfo info(path);
    if (!info.exists()) {
        showStatus(warning.arg(QStringLiteral("не найден")));
        return false;
    }
    if (!limits.picturesOutsideSource && !liesIn(path, sourceFolder)) {
        showStatus(warning.arg(QStringLiteral("находится вне папки исходного файла %1 (рисунки из других папок "
                                              "разрешает настройка обработки)")
                                   .arg(shownFileName(sourceFolder))));
        return false;
    }
    if (!info.isFile() || !info.isReadable()) {
        showStatus(warning.arg(QStringLiteral("не удаётся прочитать")));
        return false;
    }
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    contentFormat = reader.format().toLower();
    if (contentFormat.isEmpty()) {
        showStatus(warning.arg(QStringLiteral("не является рисунком")));
        return false;
    }
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > limits.maxPicturePixels) {
        showStatus(
            QStringLiteral("Рисунок %1 не вставлен: его размер %2×%3 точек больше допустимого (%4 точек)")
                .arg(shownFileName(path))
                .arg(size.width())
                .arg(size.height())
                .arg(limits.maxPicturePixels));
        return false;
    }
    if (!reader.read(&picture)) {
        showStatus(warning.arg(QStringLiteral("не удаётся прочитать как рисунок: %1").arg(reader.errorString())));
        return false;
    }
    return true;
}

QString PictureFile::extensionFor(const QString& fileName) const
{
    const QString extension = QFileInfo(fileName).suffix();
    return extension.isEmpty() ? QString::fromLatin1(contentFormat) : extension;
}

QString PictureFile::mediaType(const QString& format)
{
    const QString f = format.toLower();
    if (f == QLatin1String("jpg") || f == QLatin1String("jpeg"))
        return QStringLiteral("image/jpeg");
    if (f == QLatin1String("svg"))
        return QStringLiteral("image/svg+xml");
    if (f == QLatin1String("tif"))
        return QStringLiteral("image/tiff");
    return QStringLiteral("image/") + f;
}
