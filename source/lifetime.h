// Host callbacks keep a plain pointer to the plugin object and may be called
// after it is gone (the host still holds them while the module stays mapped).
// A PluginRef tells whether its object still lives without touching it.
#pragma once

#include <cstdint>

class Lifetime {
public:
    Lifetime();
    ~Lifetime();
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    std::uint64_t ticket() const { return ticket_; }
    // True while the object that drew this ticket exists.
    static bool isLive(std::uint64_t ticket);

private:
    std::uint64_t ticket_;
    // Live objects form a list whose head is a trivially destroyed module-level
    // pointer, so the check works even while the module's statics are torn down.
    Lifetime* previous_ = nullptr;
    Lifetime* next_ = nullptr;
};

template <class Plugin> struct PluginRef {
    Plugin* object;
    std::uint64_t ticket;

    // The object, or null once it has been destroyed.
    Plugin* get() const { return Lifetime::isLive(ticket) ? object : nullptr; }
};
