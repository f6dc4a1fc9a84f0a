#include "ownedfiles.h"

#include <atomic>

namespace {
std::atomic<OwnedFiles::Observer> currentObserver{nullptr};
}

void OwnedFiles::setObserver(Observer observer)
{
    currentObserver.store(observer);
}

void OwnedFiles::announce(const QString& path)
{
    if (const Observer observer = currentObserver.load())
        observer(path);
}
