#include "Console.h"

#include <csignal>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

volatile std::sig_atomic_t InterruptFlag = 0;

void Put(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

const int BarWidth = 30;
const int PlainEvery = 20;

#ifdef _WIN32
BOOL WINAPI OnConsoleControl(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    if (InterruptFlag)
        return FALSE;  // the second one ends the program
    InterruptFlag = 1;
    return TRUE;
}
#else
void OnInterrupt(int)
{
    InterruptFlag = 1;
}
#endif

}  // namespace

void PrintResult(const QString& line)
{
    Put(stdout, line + QLatin1Char('\n'));
}

void PrintFailure(const QString& line)
{
    Put(stderr, QStringLiteral("tarvo-cli: ") + line + QLatin1Char('\n'));
}

void PrintNote(const QString& line)
{
    Put(stderr, line + QLatin1Char('\n'));
}

bool StandardErrorIsTerminal()
{
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

Progress::Progress(const QString& what, int total)
    : what(what), total(total), terminal(StandardErrorIsTerminal())
{
}

Progress::~Progress()
{
    if (!finished && terminal && shown >= 0)
        Put(stderr, QStringLiteral("\n"));
}

void Progress::Show(int done)
{
    if (finished || done == shown)
        return;
    if (terminal) {
        const int filled = total > 0 ? done * BarWidth / total : BarWidth;
        const QString bar = QString(filled, QLatin1Char('#')) + QString(BarWidth - filled, QLatin1Char('.'));
        Put(stderr, QStringLiteral("\r%1 [%2] %3/%4").arg(what, bar).arg(done).arg(total));
    } else if (done % PlainEvery == 0 || done == total) {
        Put(stderr, QStringLiteral("%1: %2/%3\n").arg(what).arg(done).arg(total));
    }
    shown = done;
}

void Progress::Finish(int done)
{
    if (finished)
        return;
    Show(done);
    if (terminal)
        Put(stderr, QStringLiteral("\n"));
    else if (shown != done || (done % PlainEvery != 0 && done != total))
        Put(stderr, QStringLiteral("%1: %2/%3\n").arg(what).arg(done).arg(total));
    finished = true;
}

void CatchInterrupt()
{
#ifdef _WIN32
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
#else
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // SA_RESETHAND: the second Ctrl+C ends the program.
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
#endif
}

bool Interrupted()
{
    return InterruptFlag != 0;
}
