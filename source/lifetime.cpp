#include "lifetime.h"

namespace {
constinit Lifetime* firstLive = nullptr;
constinit std::uint64_t lastTicket = 0;
} // namespace

Lifetime::Lifetime() : ticket_(++lastTicket), next_(firstLive)
{
    if (next_ != nullptr)
        next_->previous_ = this;
    firstLive = this;
}

Lifetime::~Lifetime()
{
    if (previous_ != nullptr)
        previous_->next_ = next_;
    else
        firstLive = next_;
    if (next_ != nullptr)
        next_->previous_ = previous_;
}

bool Lifetime::isLive(std::uint64_t ticket)
{
    for (const Lifetime* live = firstLive; live != nullptr; live = live->next_) {
        if (live->ticket_ == ticket)
            return true;
    }
    return false;
}
