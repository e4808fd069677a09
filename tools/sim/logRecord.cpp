#include "logRecord.h"

#include <algorithm>

namespace qsim {

void LogRecord::add(const std::string& line)
{
    const auto [entry, added] = ids_.try_emplace(line, static_cast<std::uint32_t>(texts_.size()));
    if (added)
        texts_.push_back(&entry->first); // keys of an unordered_map stay where they are
    unsearched_.push_back(entry->second);
}

bool LogRecord::findNext(const std::string& line)
{
    const auto known = ids_.find(line);
    if (known == ids_.end())
        return false;
    const auto found = std::find(unsearched_.begin(), unsearched_.end(), known->second);
    if (found == unsearched_.end())
        return false;
    unsearched_.erase(unsearched_.begin(), found + 1);
    return true;
}

const std::string* LogRecord::atCursor() const
{
    return unsearched_.empty() ? nullptr : texts_[unsearched_.front()];
}

} // namespace qsim
