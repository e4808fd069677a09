// A program that polls a file on a thread of its own, as a streaming overlay
// does: opens it, reads it whole, closes it, again and again.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

namespace support {

class PollingReader {
public:
    // What the reader lets other programs do with the file while it holds it, on
    // Windows: the C runtime's fopen shares reading and writing.
    enum class Shares { ReadWrite, ReadWriteDelete };
    // `whole` tells a complete content from a torn one.
    PollingReader(
        std::filesystem::path file, Shares shares,
        std::function<bool(std::string_view)> whole = [](std::string_view) { return true; });
    ~PollingReader();
    PollingReader(const PollingReader&) = delete;
    PollingReader& operator=(const PollingReader&) = delete;

    // Returns once the reader has read the file `count` more times, so that work
    // started after it meets the reader at work; or at once when a read has failed.
    void waitForReads(int count);
    // The reads that got the file's bytes.
    int reads() const { return reads_; }
    // Opens or reads that failed for another reason than a sharing violation.
    int failed() const { return failed_; }
    // Whether the reader has read the file `count` times since it had read it
    // `since` times, or has failed: how long work goes on beside it.
    bool hasRead(int since, int count) const { return reads_ >= since + count || failed_ > 0; }
    // Stops the reader; the counts are final then.
    void stop();

    int refused = 0; // opens turned away by another handle (a sharing violation)
    int empty = 0;   // reads of an empty file
    int zeros = 0;   // reads that found a zero byte
    int torn = 0;    // reads that were not whole

private:
    void run();

    std::filesystem::path file_;
    Shares shares_;
    std::function<bool(std::string_view)> whole_;
    std::atomic<bool> done_{false};
    std::atomic<int> reads_{0};
    std::atomic<int> failed_{0};
    std::thread thread_;
};

} // namespace support
