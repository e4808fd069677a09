// The process on Linux and other POSIX systems: its number, other processes, and
// the signals that end it.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "dataFolder.h"

namespace qsim {

long processId() { return static_cast<long>(::getpid()); }

bool processAlive(long id) { return ::kill(static_cast<pid_t>(id), 0) == 0 || errno == EPERM; }

// The signals are taken from every thread and waited for on one of their own,
// where removing folders is safe; then the process ends by the same signal.
void removeFoldersWhenStopped()
{
    sigset_t stops;
    sigemptyset(&stops);
    for (const int stop : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stops, stop);
    pthread_sigmask(SIG_BLOCK, &stops, nullptr);
    std::thread([stops] {
        int stop = 0;
        if (sigwait(&stops, &stop) != 0)
            return;
        removeTemporaryFolders();
        ::signal(stop, SIG_DFL);
        pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
        ::raise(stop);
    }).detach();
}

} // namespace qsim
