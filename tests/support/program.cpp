#include "program.h"

#if defined(_WIN32)
#  include <windows.h>
#else
#  include <sys/wait.h>
#endif

#include <cstdlib>

#include "dataFolder.h"
#include "loader.h"
#include "session.h"

namespace support {

#if defined(_WIN32)

namespace {

std::wstring quotedArgument(const std::string& argument)
{
    return L"\"" + files::unitsFromUtf8(argument) + L"\"";
}

} // namespace

// Temporary folders go where TMP says; standard input is the NUL device, output
// goes into a file the program inherits.
ProgramRun runProgram(const std::vector<std::string>& arguments, const std::filesystem::path& temporary)
{
    qsim::DataFolder folder;
    const auto outputFile = folder.path() / "output.txt";
    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    const HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherited, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::wstring command = L"\"" + simhost::besideProgram("quillfort-sim.exe").wstring() + L"\"";
    for (const std::string& argument : arguments)
        command += L" " + quotedArgument(argument);
    const HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                       OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nothing;
    startup.hStdOutput = startup.hStdError = output;
    wchar_t before[MAX_PATH + 1] = {};
    const DWORD had = GetEnvironmentVariableW(L"TMP", before, MAX_PATH + 1);
    SetEnvironmentVariableW(L"TMP", temporary.c_str());
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    SetEnvironmentVariableW(L"TMP", had > 0 ? before : nullptr);
    CloseHandle(output);
    CloseHandle(nothing);
    if (!started)
        return {-1, "cannot start quillfort-sim.exe"};
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {static_cast<int>(status), readFile(outputFile)};
}

#else

namespace {

// Single quotes for the shell, each quote inside closed and reopened.
std::string shellWord(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

} // namespace

// Temporary folders go where TMPDIR says.
ProgramRun runProgram(const std::vector<std::string>& arguments, const std::filesystem::path& temporary)
{
    qsim::DataFolder folder;
    const auto outputFile = folder.path() / "output.txt";
    std::string command = "TMPDIR=" + shellWord(temporary.string()) + " " +
                          shellWord(simhost::besideProgram("quillfort-sim").string());
    for (const std::string& argument : arguments)
        command += " " + shellWord(argument);
    command += " </dev/null >" + shellWord(outputFile.string()) + " 2>&1";
    const int status = std::system(("exec 2>/dev/null; " + command).c_str());
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return {code, readFile(outputFile)};
}

#endif

} // namespace support
