#pragma once

#include <QString>

// The names of temporary files that documents and unpacked files are
// written under before they take their own names. A name tells which
// process on which machine made it, so that a later run in the folder can
// remove what a process killed outright (or a machine that lost power) left
// behind, and never what a process still at work is writing.
namespace StagingName {

// A new name of this process, unique with `random`: ".pw-HOST-BOOT-PID-START-RANDOM.tmp".
QString make(quint64 random);
// Whether `fileName` is the name of such a temporary file, of this or an
// earlier version of the program.
bool isStagingName(const QString& fileName);
// Whether the file `path` (a staging name) belongs to a process of this
// machine that no longer runs. Names of other machines, and names that do
// not say whose they are, never count as stale.
bool isStale(const QString& path);
// Removes the stale staging files of `folder`, once per folder and process:
// called before the first file is staged there.
void removeStaleOnce(const QString& folder);
// Removes the staging files of `folder` that the process `pid` of this
// machine made, once it has ended: what a worker killed in the middle of a
// document leaves, even the file it had no time to announce.
void removeOfEndedProcess(const QString& folder, qint64 pid);

} // namespace StagingName
