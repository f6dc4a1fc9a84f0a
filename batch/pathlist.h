#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>

class QIODevice;

// The files a batch command is to process, in order: those of its command
// line and those of a list file (--files-from). A year of acts is 100,000
// paths, so each path is kept once, as its bytes in one shared buffer, not
// as a string object of its own.
class PathList
{
public:
    int size() const { return starts.size(); }
    bool isEmpty() const { return starts.isEmpty(); }
    QString at(int index) const;
    void append(const QString& path);

    // Appends the paths of a list, each ended by `separator` or by the end of
    // the input: '\n' (a "\r\n" line end counts as one) or '\0'. A path is
    // taken as it stands — spaces, tabs, leading dashes and all; an empty one
    // is no path. False when the input cannot be read.
    bool read(QIODevice& device, char separator);
    // Keeps the paths for which `keep` holds, in their order.
    void keepOnly(const std::function<bool(const QString&)>& keep);
    // Keeps the first mention of each file: names that stand for one file
    // (FileList::sameFileName of their absolute paths) count once. Sorts
    // hashes rather than comparing every pair, so 100,000 paths take a moment.
    void removeDuplicates();

private:
    void appendBytes(const char* data, int size);
    QByteArray pathBytes(int index) const;
    // Keeps the paths whose flag in `keep` is set.
    void compact(const QVector<bool>& keep);

    // Every path in the file-name encoding, each followed by a NUL.
    QByteArray bytes;
    QVector<int> starts;
};
