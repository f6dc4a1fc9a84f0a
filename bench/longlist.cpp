#include "longlist.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

struct ListRun
{
    bool ok = false;
    double seconds = 0;
    double firstProgressSeconds = -1;
    // The command's own peak, read from /proc while it runs.
    long commandPeakKb = 0;
    // The largest of the command and its workers, as the kernel counts it.
    long treePeakKb = 0;
};

bool write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A catalogue of one template with one field: a document costs little.
bool writeResources(const QString& folder)
{
    const QByteArray prologue = "declare variable $inputDocument external;\n";
    return QDir().mkpath(folder + "/Settings") && QDir().mkpath(folder + "/Templates")
           && QDir().mkpath(folder + "/Queries/act")
           && write(folder + "/Settings/Templates.txt",
                    QStringLiteral("act\tАкт\tКороткий документ\t_act\tact\tact\t\tmatch\t\n").toUtf8())
           && write(folder + "/Templates/act.rtf", "{\\rtf1\\ansi Act [%number%]\\par}")
           && write(folder + "/Queries/act/match.xq", prologue + "exists(doc($inputDocument)/act)")
           && write(folder + "/Queries/act/number.xq", prologue + "string(doc($inputDocument)/act/number)");
}

long highWaterKb(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

// Starts `argv` with its output `captured` (1 or 2) on a pipe and the other
// one on /dev/null; the pipe's reading end, or -1 when it did not start.
int spawnCapturing(char* const argv[], int captured, pid_t* pid)
{
    int fds[2];
    if (pipe(fds) != 0)
        return -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], captured);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    posix_spawn_file_actions_addopen(&actions, captured == 1 ? 2 : 1, "/dev/null", O_WRONLY, 0);
    const bool started = posix_spawn(pid, argv[0], &actions, nullptr, argv, environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (!started) {
        close(fds[0]);
        return -1;
    }
    return fds[0];
}

// Whether the command takes --files-from; an older one gets the files as
// arguments, with room for them on the stack.
bool takesLists(const QString& batch)
{
    QByteArray program = QFile::encodeName(batch);
    char help[] = "--help";
    char* argv[] = {program.data(), help, nullptr};
    pid_t pid;
    const int output = spawnCapturing(argv, 1, &pid);
    if (output < 0)
        return false;
    QByteArray text;
    char block[4096];
    for (ssize_t n; (n = read(output, block, sizeof block)) > 0;)
        text.append(block, int(n));
    close(output);
    waitpid(pid, nullptr, 0);
    return text.contains("--files-from");
}

ListRun runList(const QString& batch, const QString& resources, const QString& work, int count, bool asList)
{
    ListRun result;
    QByteArray list;
    for (int i = 0; i < count; ++i) {
        const QString name = QStringLiteral("act_%1.xml").arg(i, 6, 10, QLatin1Char('0'));
        if (!write(work + QLatin1Char('/') + name,
                   QStringLiteral("<act><number>%1</number></act>").arg(i).toUtf8()))
            return result;
        list += QFile::encodeName(work + QLatin1Char('/') + name) + '\n';
    }
    QList<QByteArray> args{QFile::encodeName(batch), "--resources", QFile::encodeName(resources), "--format", "rtf"};
    if (asList) {
        if (!write(work + "/list.txt", list))
            return result;
        args << "--files-from" << QFile::encodeName(work + "/list.txt");
    } else {
        args += list.split('\n');
        args.removeLast();
        rlimit stack{};
        getrlimit(RLIMIT_STACK, &stack);
        stack.rlim_cur = stack.rlim_max == RLIM_INFINITY ? rlim_t(1) << 30 : stack.rlim_max;
        setrlimit(RLIMIT_STACK, &stack);
    }
    std::vector<char*> argv;
    for (QByteArray& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    QElapsedTimer timer;
    timer.start();
    pid_t pid;
    const int progress = spawnCapturing(argv.data(), 2, &pid);
    if (progress < 0)
        return result;
    // Reads the progress as it comes (the command would wait on a full
    // pipe), and the command's high-water mark every 20 ms.
    QByteArray tail;
    char block[65536];
    for (;;) {
        pollfd wait{progress, POLLIN, 0};
        if (poll(&wait, 1, 20) > 0) {
            const ssize_t n = read(progress, block, sizeof block);
            if (n <= 0)
                break;
            if (result.firstProgressSeconds < 0) {
                tail = tail.right(8) + QByteArray(block, int(n));
                if (tail.startsWith("[1/") || tail.contains("\n[1/"))
                    result.firstProgressSeconds = timer.nsecsElapsed() / 1e9;
            }
        }
        result.commandPeakKb = qMax(result.commandPeakKb, highWaterKb(pid));
    }
    close(progress);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    result.seconds = timer.nsecsElapsed() / 1e9;
    result.treePeakKb = usage.ru_maxrss;
    const int documents = QDir(work).entryList({QStringLiteral("*.rtf")}, QDir::Files).size();
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && documents == count;
    return result;
}

} // namespace

bool measureLongLists(const QString& batch, const QList<int>& counts, QTextStream& out)
{
    QTemporaryDir resources;
    if (!writeResources(resources.path()))
        return false;
    const bool asList = takesLists(batch);
    bool allOk = true;
    QList<long> peaks;
    for (int count : counts) {
        QTemporaryDir work;
        const ListRun r = runList(batch, resources.path(), work.path(), count, asList);
        allOk = allOk && r.ok;
        peaks << r.commandPeakKb;
        out << QStringLiteral("list: %1 files%2, command peak %3 MB, with workers %4 MB, first progress line after "
                              "%5 s, %6 docs/s%7\n")
                   .arg(count)
                   .arg(asList ? QStringLiteral(" from --files-from") : QStringLiteral(" as arguments"))
                   .arg(r.commandPeakKb / 1024.0, 0, 'f', 1)
                   .arg(r.treePeakKb / 1024.0, 0, 'f', 1)
                   .arg(r.firstProgressSeconds, 0, 'f', 2)
                   .arg(r.seconds > 0 ? count / r.seconds : 0, 0, 'f', 1)
                   .arg(r.ok ? QString() : QStringLiteral("   FAILED"));
        out.flush();
    }
    if (peaks.size() >= 2 && peaks.first() > 0)
        out << QStringLiteral("list: command peak ratio %1/%2 files: %3\n")
                   .arg(counts.last())
                   .arg(counts.first())
                   .arg(double(peaks.last()) / peaks.first(), 0, 'f', 2);
    return allOk;
}
