#include "picturefile.h"

#include "globals.h"
#include "status.h"

#include <QImageReader>

bool PictureFile::load(const QString& path, qint64 maxPixels)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    format = reader.format().toLower();
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > maxPixels) {
        showStatus(QStringLiteral("Рисунок %1 не вставлен: его размер %2×%3 точек больше допустимого (%4 точек)")
                       .arg(shownFileName(path))
                       .arg(size.width())
                       .arg(size.height())
                       .arg(maxPixels));
        return false;
    }
    return reader.read(&image);
}
