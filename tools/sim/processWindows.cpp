// The process on Windows: its number, other processes, and the console events
// that end it (Ctrl-C, Ctrl-Break, closing the console).
#include <windows.h>

#include <atomic>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "dataFolder.h"
#include "endReport.h"

namespace qsim {

long processId() { return static_cast<long>(GetCurrentProcessId()); }

bool processAlive(long id)
{
    const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id));
    if (process == nullptr)
        return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
}

namespace {

HANDLE mainThread = nullptr;

} // namespace

// The handler runs on a thread of its own. The main thread holds still first, so
// that nothing it writes refills a folder as it goes; then the process ends with
// the status Windows gives a console program stopped so, which it leaves to the
// system otherwise: Wine gives 0 then, which reads as a pass.
void removeFoldersWhenStopped()
{
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &mainThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    SetConsoleCtrlHandler(
        [](DWORD) -> BOOL {
            if (mainThread != nullptr)
                SuspendThread(mainThread);
            removeTemporaryFolders();
            TerminateProcess(GetCurrentProcess(), static_cast<UINT>(stoppedStatus));
            return TRUE;
        },
        TRUE);
}

namespace {

std::atomic<bool> over{false};

void toStandardError(const char* text, std::size_t size)
{
    std::fwrite(text, 1, size, stderr);
    std::fflush(stderr);
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

} // namespace

void failWhenEndedEarly()
{
    std::atexit(onExit);
    SetUnhandledExceptionFilter([](EXCEPTION_POINTERS*) -> LONG {
        reportEnding(Ending::Crashed, toStandardError);
        removeTemporaryFolders();
        return EXCEPTION_EXECUTE_HANDLER;
    });
}

void runOver() { over = true; }

} // namespace qsim
