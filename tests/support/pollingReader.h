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

    // Returns once the reader has tried `count` more times, so that work started
    // after it meets the reader at work.
    void waitForReads(int count);
    int reads() const { return reads_; }
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
    std::thread thread_;
};

} // namespace support
