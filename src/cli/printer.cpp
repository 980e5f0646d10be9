#include "printer.h"

#include "console/cmdline.h"
#include "console/notation.h"

#include <cstdio>
#include <mutex>

namespace dialkite::cli {

namespace {

// Lines come from several threads (a collector's network thread, the main one).
std::mutex &printing()
{
    static std::mutex mutex;
    return mutex;
}

} // namespace

void say(const QString &text)
{
    const QByteArray line = "dialkite-cli: " + text.toUtf8() + '\n';
    std::lock_guard lock(printing());
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

void printLine(const QByteArray &line)
{
    std::lock_guard lock(printing());
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

int usageError(const QString &command, const QString &problem)
{
    const QByteArray line =
        cmdline::usageLine(QStringLiteral("dialkite-cli"), command, visibleControls(problem))
            .toUtf8() +
        '\n';
    std::lock_guard lock(printing());
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    return 2;
}

} // namespace dialkite::cli
