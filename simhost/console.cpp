// The console: variables, notifiers, executed commands and the log.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <utility>

#include "host.h"

namespace simhost {
namespace {

// The number a value text starts with; 0 when it starts with none. The getters
// and the bounds both read a value this way, so the bounds hold for what a
// plugin reads ("5junk" is 5).
double numberOf(const std::string& text)
{
    const char* begin = text.c_str();
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    return end == begin ? 0.0 : value;
}

// Values are held within the variable's bounds, as a real console does; a value
// that reads as no number at all (nan) takes the lower bound.
std::string withinBounds(const ConsoleVariable& variable, const std::string& text)
{
    const double number = numberOf(text);
    if (variable.hasMin && !(number >= variable.min))
        return shortest(variable.min);
    if (variable.hasMax && !(number <= variable.max))
        return shortest(variable.max);
    return text;
}

} // namespace

ConsoleVariable* Host::findVariable(std::string_view name)
{
    auto found = variablesByName_.find(name);
    return found == variablesByName_.end() ? nullptr : &found->second;
}

// A default outside the bounds is held within them, as every value is.
ConsoleVariable& Host::registerVariable(ConsoleVariable variable)
{
    registered("registerCvar " + variable.name);
    if (ConsoleVariable* existing = findVariable(variable.name))
        return *existing; // a reload keeps the value the player set
    variable.value = withinBounds(variable, variable.defaultValue);
    auto [slot, inserted] = variablesByName_.emplace(variable.name, std::move(variable));
    variableOrder_.push_back(&slot->second);
    return slot->second;
}

void Host::setVariable(ConsoleVariable& variable, const std::string& text)
{
    std::string next = withinBounds(variable, text);
    if (next == variable.value)
        return;
    std::string old = std::exchange(variable.value, std::move(next));
    for (std::size_t i = 0; i < variable.listeners.size(); ++i) {
        auto listener = variable.listeners[i];
        callPlugin(listener.owner, {"value-changed callback of", &variable.name},
                   [&] { listener.callback(old, CVarWrapper(this, &variable)); });
    }
}

void Host::addListener(ConsoleVariable& variable, std::function<void(std::string, CVarWrapper)> callback)
{
    registered("addOnValueChanged " + variable.name);
    variable.listeners.push_back({owner_, std::move(callback)});
}

void Host::addNotifier(Notifier notifier)
{
    registered("registerNotifier " + notifier.name);
    notifier.owner = owner_;
    for (Notifier& existing : notifiers_) {
        if (existing.name == notifier.name) {
            existing = std::move(notifier);
            return;
        }
    }
    notifiers_.push_back(std::move(notifier));
}

// A command names a plugin's own command or variable, and then runs as a console
// line would, or is the host's own, which is recorded only. A plugin that keeps
// running itself this way is stopped at a depth no plugin needs.
void Host::recordExecute(const std::string& command, bool log)
{
    std::vector<std::string> words;
    for (std::size_t at = 0; at < command.size();) {
        const std::size_t start = command.find_first_not_of(" \t", at);
        if (start == std::string::npos)
            break;
        at = std::min(command.find_first_of(" \t", start), command.size());
        words.push_back(command.substr(start, at - start));
    }
    const bool ownName =
        !words.empty() && (findVariable(words.front()) != nullptr ||
                           std::any_of(notifiers_.begin(), notifiers_.end(),
                                       [&](const Notifier& n) { return n.name == words.front(); }));
    constexpr int deepest = 32;
    const bool carriedOut = ownName && executing_ < deepest;
    if (executed_.size() == logScrollback)
        executed_.pop_front();
    executed_.push_back({command, log, carriedOut});
    if (commandListener_)
        commandListener_(executed_.back());
    if (!carriedOut)
        return;
    ++executing_;
    console(words);
    --executing_;
}

void Host::recordLog(const std::string& text)
{
    if (log_.size() == logScrollback)
        log_.pop_front();
    log_.push_back(text);
    ++logged_;
    if (logListener_)
        logListener_(text);
}

ConsoleResult Host::console(const std::vector<std::string>& words)
{
    if (words.empty())
        return {false, "empty console line"};
    const std::string& name = words.front();
    for (Notifier& notifier : notifiers_) {
        if (notifier.name == name) {
            auto callback = notifier.callback;
            callPlugin(notifier.owner, {"command", &notifier.name}, [&] { callback(words); });
            return {true, ""};
        }
    }
    ConsoleVariable* variable = findVariable(name);
    if (variable == nullptr)
        return {false, "unknown command or variable"};
    if (words.size() == 1)
        return {true, name + " = " + variable->value};
    if (words.size() > 2)
        return {false, "a variable takes one value"};
    setVariable(*variable, words[1]);
    return {true, name + " = " + variable->value};
}

} // namespace simhost

using simhost::ConsoleVariable;

int CVarWrapper::getIntValue()
{
    if (variable_ == nullptr)
        return 0;
    double value = std::trunc(simhost::numberOf(variable_->value));
    if (std::isnan(value))
        return 0;
    if (value <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (value >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

float CVarWrapper::getFloatValue()
{
    return variable_ == nullptr ? 0.0f : static_cast<float>(simhost::numberOf(variable_->value));
}

bool CVarWrapper::getBoolValue() { return getIntValue() != 0; }

std::string CVarWrapper::getStringValue() { return variable_ == nullptr ? "" : variable_->value; }

void CVarWrapper::setValue(const std::string& value)
{
    if (variable_ != nullptr)
        host_->setVariable(*variable_, value);
}

void CVarWrapper::addOnValueChanged(std::function<void(std::string, CVarWrapper)> callback)
{
    if (variable_ != nullptr)
        host_->addListener(*variable_, std::move(callback));
}

CVarWrapper CVarManagerWrapper::registerCvar(const std::string& name, const std::string& defaultValue,
                                             const std::string& description, bool searchable, bool hasMin,
                                             float min, bool hasMax, float max, bool saveToConfig)
{
    ConsoleVariable variable;
    variable.name = name;
    variable.defaultValue = defaultValue;
    variable.description = description;
    variable.searchable = searchable;
    variable.hasMin = hasMin;
    variable.min = min;
    variable.hasMax = hasMax;
    variable.max = max;
    variable.saveToConfig = saveToConfig;
    return CVarWrapper(host_, &host_->registerVariable(std::move(variable)));
}

CVarWrapper CVarManagerWrapper::getCvar(const std::string& name)
{
    return CVarWrapper(host_, host_->findVariable(name));
}

void CVarManagerWrapper::registerNotifier(const std::string& name,
                                          std::function<void(std::vector<std::string>)> callback,
                                          const std::string& description, std::uint8_t permissions)
{
    host_->addNotifier({name, description, permissions, 0, std::move(callback)});
}

void CVarManagerWrapper::executeCommand(const std::string& command, bool log)
{
    host_->recordExecute(command, log);
}

void CVarManagerWrapper::log(const std::string& text) { host_->recordLog(text); }
