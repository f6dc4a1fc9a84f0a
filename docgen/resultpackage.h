#pragma once

#include <QByteArray>
#include <QHash>
#include <QMap>
#include <QString>
#include <QVector>

#include <functional>

class StagedFile;

// A picture inserted into a result package.
struct AddedPicture
{
    QString entry;     // its entry name in the package
    QString path;      // the picture file on disk
    QString mediaType; // as its content tells
};

// The result of a DOM generator as a copy of its template package: entries
// whose content the generator replaced, entries the template lacks, and the
// inserted pictures. Written beside the destination and put in its place
// only when whole: a package without its pictures is no document.
class ResultPackage
{
public:
    void replaceEntry(const QString& name, const QByteArray& content) { replaced.insert(name, content); }
    // An entry the template lacks; written after the pictures, by name.
    void addEntry(const QString& name, const QByteArray& content) { added.insert(name, content); }
    void addPicture(const AddedPicture& picture) { addedPictures.append(picture); }
    // In the order they were inserted.
    const QVector<AddedPicture>& pictures() const { return addedPictures; }

    // Writes the package beside `destination` and has `publish` give it its name.
    bool write(const QString& destination, const QString& templatePath,
               const std::function<bool(StagedFile&)>& publish) const;

private:
    bool addEntries(const QString& packagePath) const;

    QHash<QString, QByteArray> replaced;
    QMap<QString, QByteArray> added;
    QVector<AddedPicture> addedPictures;
};
