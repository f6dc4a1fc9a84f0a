#pragma once

#include <QString>

// A file written under a temporary name in its destination's folder and put
// in place by one rename once it is complete. Until then the destination is
// untouched, so a failed write (a full disk, a damaged template) never costs
// the old file; and the rename replaces a symbolic link at the destination
// instead of writing through it. The temporary file is created exclusively
// with the usual permissions, so the finished file gets those too; its name
// says whose it is (see StagingName), so that one left by a killed process
// is removed by the next one to write in the folder. A destination that is
// a device or another special file is written directly: renaming over it
// would replace the device itself.
class StagedFile
{
public:
    explicit StagedFile(const QString& destination);
    // Removes the temporary file unless it was committed.
    ~StagedFile();
    StagedFile(const StagedFile&) = delete;
    StagedFile& operator=(const StagedFile&) = delete;

    // False when no temporary file could be created in the folder.
    bool isValid() const { return !temporary.isEmpty(); }
    // Where to write.
    const QString& path() const { return temporary; }
    // The name it was made for.
    const QString& destinationPath() const { return destination; }
    // Renames the temporary file over the destination.
    bool commit();
    // The same, but fails when the destination exists by now.
    bool commitWithoutReplacing();
    // Gives the complete file the name `path` in the same folder, in one
    // step that fails (errno EEXIST) when anything has that name already:
    // so two processes never take one name, and no name ever shows a file
    // that is not complete.
    bool commitAs(const QString& path);

private:
    QString destination;
    QString temporary;
    bool committed = false;
    bool direct = false;
};
