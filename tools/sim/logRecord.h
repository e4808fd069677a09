// Every line the plugin logged, as the checks read it: complete
// however many lines one statement logs, and small however long the session runs
// (each distinct text is kept once; lines before the last `expect log` match go).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <unordered_map>
#include <vector>

namespace qsim {

class LogRecord {
public:
    void add(const std::string& line);
    // Whether the line was ever logged.
    bool ever(const std::string& line) const { return ids_.contains(line); }
    // Finds the line from the cursor on and moves the cursor past it.
    bool findNext(const std::string& line);
    // The line at the cursor, or null when none was logged since.
    const std::string* atCursor() const;

private:
    std::unordered_map<std::string, std::uint32_t> ids_;
    std::vector<const std::string*> texts_; // by id
    std::deque<std::uint32_t> unsearched_;  // the lines from the cursor on
};

} // namespace qsim
