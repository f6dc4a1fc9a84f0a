#pragma once

#include <QString>

// One command's share of a list that `count` commands divide among them
// (--shard K/N): a Slurm array task, a Kubernetes indexed job, one of the
// commands GNU parallel starts. A file belongs to share
//   first 8 bytes of SHA-256(UTF-8 bytes of its key), as a big-endian number, mod N,
// which depends on the path alone — not on its place in the list, the
// machine or the run — so that N commands given the same list take every
// file exactly once. The key is the path as given; for an archive, the path
// with its file name cut at the first dot ("acts/inv.2024-03.zip" gives
// "acts/inv"), which names the folder it unpacks into: archives that would
// unpack into one folder go to one command, which keeps them apart.
class Shard
{
public:
    // "K/N" with 0 <= K < N; false, with a message in error, otherwise.
    static bool parse(const QString& text, Shard* shard, QString* error);

    int index() const { return shareIndex; }
    int count() const { return shareCount; }
    bool isWhole() const { return shareCount == 1; }
    bool contains(const QString& path) const;
    // The share a path belongs to, of `count`.
    static int shareOf(const QString& path, int count);

private:
    static QString keyOf(const QString& path);

    int shareIndex = 0;
    int shareCount = 1;
};
