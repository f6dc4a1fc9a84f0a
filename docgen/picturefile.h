#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

struct GenerationLimits;

// A picture file that a picture command inserts. Its size is read from the
// file's header first, so that a picture too large to insert is refused
// without decoding it (a 20000 x 20000 picture would take gigabytes).
class PictureFile
{
public:
    // The picture that a picture command's query `queryName` named, at
    // `path`: refused, with a warning in the log, when it is missing, cannot
    // be read as a picture, is too large, or lies outside `sourceFolder`
    // (links and ".." resolved) while the limits do not allow that. With
    // `refusal` the warning goes there instead of to the log.
    bool loadFrom(const QString& path, const QString& sourceFolder, const QString& queryName,
                  const GenerationLimits& limits, QString* refusal = nullptr);

    const QImage& image() const { return picture; }
    // The format found in the file's content, in lower case ("png", "jpeg").
    const QByteArray& format() const { return contentFormat; }
    // The extension of `fileName` as written; the content's format for a
    // name without one (or with a dot only in a folder name).
    QString extensionFor(const QString& fileName) const;

    // The media type of a picture format or file extension ("jpg" and
    // "jpeg" give "image/jpeg").
    static QString mediaType(const QString& format);

private:
    QImage picture;
    QByteArray contentFormat;
};
