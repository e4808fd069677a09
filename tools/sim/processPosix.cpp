// The process on Linux and other POSIX systems: its number, other processes, and
// the signals that end it.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <iostream>
#include <thread>

#include "dataFolder.h"
#include "endReport.h"

namespace qsim {

long processId() { return static_cast<long>(::getpid()); }

bool processAlive(long id) { return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM; }

namespace {

pthread_t mainThread;
std::atomic<bool> heldStill{false};

// The main thread, told to hold still, does so here for good: the process ends
// while it waits.
void holdStill(int)
{
    heldStill = true;
    for (;;)
        ::pause();
}

} // namespace

// The signals are taken from every thread and waited for on one of their own,
// where removing folders is safe. The main thread holds still first, so that
// nothing it writes refills a folder as it goes; then the process ends by the
// same signal.
void removeFoldersWhenStopped()
{
    mainThread = ::pthread_self();
    struct sigaction hold {};
    hold.sa_handler = holdStill;
    sigaction(SIGRTMIN, &hold, nullptr);
    sigset_t stops;
    sigemptyset(&stops);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stops, stop);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::thread([stops] {
        int stop = 0;
        if (sigwait(&stops, &stop) != 0)
            return;
        ::pthread_kill(mainThread, SIGRTMIN);
        for (int wait = 0; wait < 200 && !heldStill; ++wait)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        removeTemporaryFolders();
        ::signal(stop, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
        ::raise(stop);
    }).detach();
}

namespace {

std::atomic<bool> over{false};

void toStandardError(const char* text, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(2, text, size);
        if (written <= 0)
            return;
        text += written;
        size -= static_cast<std::size_t>(written);
    }
}

void onExit()
{
    if (over)
        return;
    std::cout.flush();
    reportEnding(Ending::Exited, toStandardError);
    removeTemporaryFolders();
    std::_Exit(2);
}

// A crashed process may not come back from removing the folders, which is not
// safe in a signal handler: the alarm ends it all the same.
void onCrash(int signal)
{
    reportEnding(Ending::Crashed, toStandardError);
    ::alarm(5);
    removeTemporaryFolders();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

void failWhenEndedEarly()
{
    std::atexit(onExit);
    struct sigaction action {};
    action.sa_handler = onCrash;
    action.sa_flags = static_cast<int>(SA_RESETHAND | SA_NODEFER);
    for (const int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        sigaction(fault, &action, nullptr);
}

void runOver() { over = true; }

} // namespace qsim
