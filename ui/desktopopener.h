#pragma once

#include <QString>
#include <QUrl>

#include <functional>

// The one way the window hands something to the desktop: a document to its
// default application, a folder to the file manager, the manual to a viewer.
// The handler can be replaced, so that a test sees what would be opened
// without starting anything. User-interface thread only.
class DesktopOpener
{
public:
    using Handler = std::function<bool(const QUrl& url)>;

    static bool openUrl(const QUrl& url);
    static bool openDocument(const QString& path);
    // Opens the folder that holds the file.
    static bool showInFolder(const QString& path);

    // An empty handler gives the desktop's own back.
    static void setHandler(Handler handler);
};
