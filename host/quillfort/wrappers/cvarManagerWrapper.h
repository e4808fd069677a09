// The host console: variables, commands and the log.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "quillfort/api.h"

class PLUGINSDK_API CVarWrapper {
public:
    explicit CVarWrapper(simhost::Host* host = nullptr, simhost::ConsoleVariable* variable = nullptr)
        : host_(host), variable_(variable)
    {
    }
    bool IsNull() const { return variable_ == nullptr; }

    int getIntValue();
    float getFloatValue();
    bool getBoolValue();
    std::string getStringValue();
    void setValue(const std::string& value);
    // Runs the callback after each change of the value, with the old text and this variable.
    void addOnValueChanged(std::function<void(std::string, CVarWrapper)> callback);

private:
    simhost::Host* host_;
    simhost::ConsoleVariable* variable_;
};

class PLUGINSDK_API CVarManagerWrapper {
public:
    explicit CVarManagerWrapper(simhost::Host* host = nullptr) : host_(host) {}

    // Registers a variable, or returns the one already registered under the name.
    CVarWrapper registerCvar(const std::string& name, const std::string& defaultValue,
                             const std::string& description = "", bool searchable = true, bool hasMin = false,
                             float min = 0.0f, bool hasMax = false, float max = 0.0f,
                             bool saveToConfig = true);
    // The named variable; a null wrapper when there is none.
    CVarWrapper getCvar(const std::string& name);
    void registerNotifier(const std::string& name, std::function<void(std::vector<std::string>)> callback,
                          const std::string& description, std::uint8_t permissions);
    void executeCommand(const std::string& command, bool log = true);
    void log(const std::string& text);

private:
    simhost::Host* host_;
};
