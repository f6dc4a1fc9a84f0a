// Leaks one block on purpose, from a slot that Qt's event loop calls: there a
// suppression of a whole Qt library would hide it. The test passes only when
// the leak checker names this function, so suppressions stay narrow enough
// to report the program's own leaks.
#include <QCoreApplication>
#include <QTimer>

namespace {

char* volatile lastBlock = nullptr;

} // namespace

__attribute__((noinline)) void leakCanaryAllocation()
{
    lastBlock = new char[4096];
    lastBlock = nullptr;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, [&app] {
        leakCanaryAllocation();
        app.quit();
    });
    return app.exec();
}
