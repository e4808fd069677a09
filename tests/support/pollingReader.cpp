#include "pollingReader.h"

#include <gtest/gtest.h>

#if defined(_WIN32)
#  include <windows.h>
#endif

#include <fstream>
#include <iterator>

namespace support {
namespace {

enum class Result { Read, Refused, Failed };

// One open, read and close, with the system's own calls.
Result readOnce(const std::filesystem::path& file, PollingReader::Shares shares, std::string& bytes)
{
#if defined(_WIN32)
    DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if (shares == PollingReader::Shares::ReadWriteDelete)
        share |= FILE_SHARE_DELETE;
    const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (held == INVALID_HANDLE_VALUE)
        return GetLastError() == ERROR_SHARING_VIOLATION ? Result::Refused : Result::Failed;
    char buffer[4096];
    DWORD length = 0;
    const bool read = ReadFile(held, buffer, sizeof buffer, &length, nullptr);
    CloseHandle(held);
    bytes.assign(buffer, length);
    return read ? Result::Read : Result::Failed;
#else
    (void)shares; // nothing is shared or refused here
    std::ifstream in(file, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return in.is_open() && !in.bad() ? Result::Read : Result::Failed;
#endif
}

} // namespace

PollingReader::PollingReader(std::filesystem::path file, Shares shares,
                             std::function<bool(std::string_view)> whole)
    : file_(std::move(file)), shares_(shares), whole_(std::move(whole)), thread_([this] { run(); })
{
}

PollingReader::~PollingReader() { stop(); }

void PollingReader::run()
{
    std::string bytes;
    while (!done_) {
        switch (readOnce(file_, shares_, bytes)) {
        case Result::Refused: ++refused; break;
        case Result::Failed: ++failed_; break;
        case Result::Read:
            ++reads_;
            empty += bytes.empty() ? 1 : 0;
            zeros += bytes.find('\0') != std::string::npos ? 1 : 0;
            torn += whole_(bytes) ? 0 : 1;
            break;
        }
    }
}

void PollingReader::waitForReads(int count)
{
    const int target = reads_ + count;
    while (reads_ < target && failed_ == 0 && !done_)
        std::this_thread::yield();
}

void PollingReader::stop()
{
    done_ = true;
    if (thread_.joinable())
        thread_.join();
}

} // namespace support
