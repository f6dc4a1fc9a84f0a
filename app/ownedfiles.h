#pragma once

#include <QString>

// Files that the process creates for its own use before they hold anything
// of value: the temporary files documents are written to. When the process is
// a worker of a supervising batch command and dies half way, the supervisor
// removes what it announced (see WorkerPool), so that a crash leaves nothing
// behind that could pass for a document.
namespace OwnedFiles {

using Observer = void (*)(const QString& path);

// Set once at start-up, before any worker thread runs; null for none.
void setObserver(Observer observer);
void announce(const QString& path);

} // namespace OwnedFiles
