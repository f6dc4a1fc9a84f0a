#include "desktopopener.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace {

DesktopOpener::Handler& replacement()
{
    static DesktopOpener::Handler handler;
    return handler;
}

} // namespace

bool DesktopOpener::openUrl(const QUrl& url)
{
    const Handler& handler = replacement();
    return handler ? handler(url) : QDesktopServices::openUrl(url);
}

bool DesktopOpener::openDocument(const QString& path)
{
    return openUrl(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool DesktopOpener::showInFolder(const QString& path)
{
    return openUrl(QUrl::fromLocalFile(QFileInfo(path).absolutePath()));
}

void DesktopOpener::setHandler(Handler handler)
{
    replacement() = std::move(handler);
}
