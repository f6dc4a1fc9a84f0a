#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// A picture file that a picture command inserts. Its size is read from the
// file's header first, so that a picture too large to insert is refused
// without decoding it (a 20000 x 20000 picture would take gigabytes).
class PictureFile
{
public:
    // Reads the picture at `path` when it holds at most `maxPixels` pixels;
    // a larger one is named in the message log. False when the picture is
    // refused or cannot be read.
    bool load(const QString& path, qint64 maxPixels);

    QImage image;
    // The format found in the file's content, in lower case ("png", "jpeg").
    QByteArray format;
};
