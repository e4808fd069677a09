#include "logRecord.h"

#include <algorithm>

namespace qsim {

void LogRecord::add(const std::string& line)
{
    const auto [entry, added] = ids_.try_emplace(line, static_cast<std::uint32_t>(texts_.size()));
    if (added)
        texts_.push_back(&entry->first); // keys of an unordered_map stay where they are
    unsearched_.push_back(entry->second);
    ++news_;
}

std::vector<const std::string*> LogRecord::news()
{
    std::vector<const std::string*> lines;
    for (auto id = unsearched_.end() - static_cast<std::ptrdiff_t>(news_); id != unsearched_.end(); ++id)
        lines.push_back(texts_[*id]);
    news_ = 0;
    return lines;
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
    news_ = std::min(news_, unsearched_.size());
    return true;
}

const std::string* LogRecord::atCursor() const
{
    return unsearched_.empty() ? nullptr : texts_[unsearched_.front()];
}

} // namespace qsim
