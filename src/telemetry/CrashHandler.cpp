#include "telemetry/CrashHandler.h"

#include "base/AppInfo.h"
#include "telemetry/AppLog.h"

#include <QDir>
#include <QFileInfo>
#include <QSysInfo>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace CrashHandler {

namespace {

constexpr int kSignals[] = { SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT };
constexpr int kMaxFrames = 64;

// Prepared by install(); the handler only reads them.
char g_folder[4096];
char g_header[512];
bool g_installed = false;
// The handler's own stack: a stack overflow leaves none to run on.
alignas(16) char g_altStack[64 * 1024];

// ---- async-signal-safe helpers: fixed buffers, no allocation --------------------------------

struct Buffer
{
    char data[512];
    size_t size = 0;

    void add(const char *text)
    {
        while (*text && size + 1 < sizeof data)
            data[size++] = *text++;
        data[size] = '\0';
    }
    void addNumber(unsigned long long value, int width = 0, int base = 10)
    {
        char digits[32];
        int count = 0;
        do {
            const int digit = int(value % unsigned(base));
            digits[count++] = char(digit < 10 ? '0' + digit : 'a' + digit - 10);
            value /= unsigned(base);
        } while (value && count < int(sizeof digits));
        while (count < width && count < int(sizeof digits))
            digits[count++] = '0';
        while (count > 0 && size + 1 < sizeof data)
            data[size++] = digits[--count];
        data[size] = '\0';
    }
};

void writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written <= 0)
            return;
        data += written;
        size -= size_t(written);
    }
}

void writeText(int fd, const char *text)
{
    writeAll(fd, text, std::strlen(text));
}

const char *signalName(int signal)
{
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV";
    case SIGBUS:
        return "SIGBUS";
    case SIGFPE:
        return "SIGFPE";
    case SIGILL:
        return "SIGILL";
    case SIGABRT:
        return "SIGABRT";
    default:
        return "signal";
    }
}

// Calendar date of a day count since 1970 (Howard Hinnant's civil_from_days): gmtime is not
// async-signal-safe.
void civil(long long days, long long &year, unsigned &month, unsigned &day)
{
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned doe = unsigned(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    year = (long long)yoe + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    if (month <= 2)
        ++year;
}

// "2026-12-09-052645" (file name) or "2026-12-09T05:26:45Z" (report text).
void addTime(Buffer &out, time_t now, bool forFileName)
{
    const long long seconds = (long long)now;
    long long days = seconds / 86400;
    long long rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    long long year = 0;
    unsigned month = 0, day = 0;
    civil(days, year, month, day);
    out.addNumber((unsigned long long)std::max(0LL, year), 4);
    out.add("-");
    out.addNumber(month, 2);
    out.add("-");
    out.addNumber(day, 2);
    out.add(forFileName ? "-" : "T");
    out.addNumber((unsigned long long)(rest / 3600), 2);
    if (!forFileName)
        out.add(":");
    out.addNumber((unsigned long long)(rest % 3600 / 60), 2);
    if (!forFileName)
        out.add(":");
    out.addNumber((unsigned long long)(rest % 60), 2);
    if (!forFileName)
        out.add("Z");
}

int openReport(time_t now, Buffer &path)
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        path.size = 0;
        path.add(g_folder);
        path.add("/ScrivelBar-");
        addTime(path, now, true);
        if (attempt > 0) {
            // Two crashes within one second (or a clock that went back): add the process id.
            path.add("-");
            path.addNumber((unsigned long long)::getpid());
        }
        path.add(".crash");
        const int fd = ::open(path.data, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST)
            return fd;
    }
    return -1;
}

void onCrash(int signal, siginfo_t *info, void *)
{
    const int savedErrno = errno;
    const time_t now = ::time(nullptr);
    Buffer path;
    const int fd = openReport(now, path);
    if (fd >= 0) {
        writeText(fd, g_header);
        Buffer line;
        line.add("Time: ");
        addTime(line, now, false);
        line.add("\nProcess: ");
        line.addNumber((unsigned long long)::getpid());
        line.add("\nSignal: ");
        line.addNumber((unsigned long long)signal);
        line.add(" (");
        line.add(signalName(signal));
        line.add(")\nCode: ");
        line.addNumber((unsigned long long)(info ? unsigned(info->si_code) : 0U));
        line.add("\nAddress: 0x");
        line.addNumber((unsigned long long)(info ? reinterpret_cast<quintptr>(info->si_addr) : 0),
                       1, 16);
        line.add("\n\nBacktrace:\n");
        writeAll(fd, line.data, line.size);
        void *frames[kMaxFrames];
        const int count = ::backtrace(frames, kMaxFrames);
        ::backtrace_symbols_fd(frames, count, fd);
        ::fsync(fd);
        ::close(fd);

        Buffer notice;
        notice.add("scrivelbar: crashed (");
        notice.add(signalName(signal));
        notice.add("); report: ");
        writeAll(STDERR_FILENO, notice.data, notice.size);
        writeText(STDERR_FILENO, path.data);
        writeText(STDERR_FILENO, "\n");
    }
    errno = savedErrno;
    // SA_RESETHAND gave the signal its default action back: raised again, it ends the process
    // (with a core dump where the system takes one) as soon as this handler returns.
    ::raise(signal);
}

void pruneOldReports(const QString &folder)
{
    QFileInfoList reports
        = QDir(folder).entryInfoList({ QStringLiteral("ScrivelBar*.crash") }, QDir::Files,
                                     QDir::Time);
    for (qsizetype i = keptReports; i < reports.size(); ++i)
        QFile::remove(reports.at(i).filePath());
}

} // namespace

// Keeps the crash from being optimized into something else, and names a frame of ours.
// Outside the anonymous namespace: the exported symbol names the frame in the report.
[[gnu::noinline]] void crashNow(const QString &how)
{
    if (how == u"segv") {
        volatile int *nowhere = nullptr;
        *nowhere = 1;
    } else if (how == u"abort") {
        std::abort();
    } else if (how == u"fpe") {
        volatile int zero = 0;
        volatile int result = 1 / zero;
        Q_UNUSED(result);
        ::raise(SIGFPE); // where integer division does not trap
    } else if (how == u"ill") {
        __builtin_trap();
    } else if (how == u"bus") {
        ::raise(SIGBUS);
    }
}

QString crashFolder()
{
    return QDir(AppLog::stateFolder()).filePath(QStringLiteral("crashes"));
}

bool install(const QString &folder)
{
    if (!QDir().mkpath(folder))
        return false;
    pruneOldReports(folder);
    const QByteArray path = QFile::encodeName(QDir(folder).absolutePath());
    if (size_t(path.size()) + 64 >= sizeof g_folder)
        return false;
    std::memcpy(g_folder, path.constData(), size_t(path.size()) + 1);
    const QByteArray header = QStringLiteral("%1 %2 (%3)\nOS: %4\n")
                                  .arg(AppInfo::name(), AppInfo::version(), AppInfo::build(),
                                       QSysInfo::prettyProductName())
                                  .toUtf8()
                                  .left(int(sizeof g_header) - 1);
    std::memcpy(g_header, header.constData(), size_t(header.size()));
    g_header[header.size()] = '\0';

    // backtrace() loads libgcc on its first call, which allocates: do that now, not in the
    // handler.
    void *warmUp[2];
    ::backtrace(warmUp, 2);

    if (!g_installed) {
        stack_t stack = {};
        stack.ss_sp = g_altStack;
        stack.ss_size = sizeof g_altStack;
        ::sigaltstack(&stack, nullptr);
    }
    struct sigaction action = {};
    action.sa_sigaction = onCrash;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
    for (const int signal : kSignals)
        ::sigaction(signal, &action, nullptr);
    g_installed = true;
    return true;
}

void crashIfAsked()
{
    const QString how = qEnvironmentVariable("SCRIVELBAR_CRASH_TEST").trimmed();
    if (!how.isEmpty())
        crashNow(how);
}

} // namespace CrashHandler
