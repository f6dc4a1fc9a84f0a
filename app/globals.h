#pragma once

#include <QString>
#include <QStringList>

// Small path, text and version helpers shared by every layer of the program.
// The functions that read the resource folder list and the display flags are
// also called from worker threads; those globals are written only before
// processing starts.

QString checkExt(const QString& fileName, const QString& ext);
QString concatPath(const QString& base, const QString& part1, const QString& part2 = QString());
QString concatPathFile(const QString& path, const QString& fileName);

// Whether a relative path stays below the folder it is relative to: not
// absolute, no ".." step. Names from archives, catalogues and templates are
// the user's data and must not reach outside their folder.
bool isContainedPath(const QString& relativePath);

// The first resource folder holding subFolder/fileName; empty when none does,
// or when either part would leave its folder.
QString locateInResource(const QString& subFolder, const QString& fileName);
QString writableInResource(const QString& subFolder, const QString& fileName);

QString shownFileName(const QString& path);
bool isTrue(const QString& text);
QString softwareVersion(bool withPlatform);

void initGlobalResourcePaths();
// Puts folders in front of the resource search order (earlier wins); used by
// the batch command's --resources option and by the tests.
void prependGlobalResourcePaths(const QStringList& folders);
QStringList globalResourcePaths();

void setGlobalShowPath(bool show);
bool globalShowPath();
void setGlobalShowNames(bool show);
bool globalShowNames();

extern const char* const builtInVersion;
