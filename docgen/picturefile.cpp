#include "picturefile.h"

#include "globals.h"
#include "status.h"

#include <QFileInfo>
#include <QImageReader>

bool PictureFile::load(const QString& path, qint64 maxPixels)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    contentFormat = reader.format().toLower();
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxPixels) {
        showStatus(
            QStringLiteral("Рисунок %1 не вставлен: его размер %2×%3 точек больше допустимого (%4 точек)")
                .arg(shownFileName(path))
                .arg(size.width())
                .arg(size.height())
                .arg(maxPixels));
        return false;
    }
    return reader.read(&picture);
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
