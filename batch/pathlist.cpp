#include "pathlist.h"

#include "filelist.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

QString PathList::at(int index) const
{
    return QFile::decodeName(pathBytes(index));
}

QByteArray PathList::pathBytes(int index) const
{
    // Each path ends with a NUL, which the raw view leaves out.
    const char* path = bytes.constData() + starts.at(index);
    return QByteArray::fromRawData(path, int(qstrlen(path)));
}

void PathList::append(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    appendBytes(name.constData(), name.size());
}

void PathList::appendBytes(const char* data, int size)
{
    if (size <= 0)
        return;
    starts.append(bytes.size());
    bytes.append(data, size);
    bytes.append('\0');
}

bool PathList::read(QIODevice& device, char separator)
{
    // A list file's size is known: its paths take as many bytes, each
    // separator becoming the NUL after a path. Growing the buffer instead
    // would copy it again and again, and the copies count in the peak.
    if (!device.isSequential())
        bytes.reserve(bytes.size() + int(qMin<qint64>(device.size() - device.pos(), INT_MAX - 1 - bytes.size())) + 1);
    QByteArray pending;
    char block[65536];
    const auto take = [&](QByteArray& path) {
        if (separator == '\n' && path.endsWith('\r'))
            path.chop(1);
        // A NUL cannot be part of a path; in a list of lines it is damage.
        if (!path.contains('\0'))
            appendBytes(path.constData(), path.size());
    };
    for (;;) {
        const qint64 read = device.read(block, sizeof block);
        if (read < 0)
            return false;
        // A file, or a pipe, blocks until there is more to read.
        if (read == 0)
            break;
        int begin = 0;
        for (int i = 0; i < int(read); ++i) {
            if (block[i] != separator)
                continue;
            pending.append(block + begin, i - begin);
            take(pending);
            pending.clear();
            begin = i + 1;
        }
        pending.append(block + begin, int(read) - begin);
    }
    take(pending);
    return true;
}

void PathList::keepOnly(const std::function<bool(const QString&)>& keep)
{
    QVector<bool> kept(size());
    for (int i = 0; i < size(); ++i)
        kept[i] = keep(at(i));
    compact(kept);
}

void PathList::removeDuplicates()
{
    // Names that may stand for one file have the same case-folded absolute
    // path: only those are compared.
    QVector<std::pair<uint, int>> keys(size());
    for (int i = 0; i < size(); ++i)
        keys[i] = {qHash(QFileInfo(at(i)).absoluteFilePath().toCaseFolded()), i};
    std::sort(keys.begin(), keys.end());
    QVector<bool> kept(size(), true);
    for (int first = 0; first < keys.size();) {
        int end = first + 1;
        while (end < keys.size() && keys.at(end).first == keys.at(first).first)
            ++end;
        // Within a group in list order, so that the first mention stays.
        for (int a = first; a < end; ++a) {
            if (!kept.at(keys.at(a).second))
                continue;
            const QString name = QFileInfo(at(keys.at(a).second)).absoluteFilePath();
            for (int b = a + 1; b < end; ++b) {
                if (kept.at(keys.at(b).second)
                    && FileList::sameFileName(name, QFileInfo(at(keys.at(b).second)).absoluteFilePath()))
                    kept[keys.at(b).second] = false;
            }
        }
        first = end;
    }
    compact(kept);
}

void PathList::compact(const QVector<bool>& keep)
{
    int written = 0;
    int count = 0;
    for (int i = 0; i < size(); ++i) {
        if (!keep.at(i))
            continue;
        const int start = starts.at(i);
        const int length = int(qstrlen(bytes.constData() + start)) + 1;
        // Paths only ever move towards the front, so nothing is overwritten
        // before it is moved.
        if (start != written)
            std::memmove(bytes.data() + written, bytes.constData() + start, size_t(length));
        starts[count++] = written;
        written += length;
    }
    bytes.truncate(written);
    starts.resize(count);
    // A share of a long list gives most of it back; a list without
    // duplicates stays where it is rather than being copied once more.
    if (written < bytes.capacity() / 2) {
        bytes.squeeze();
        starts.squeeze();
    }
}
