#pragma once
// A minimal event: handlers called in the order they were connected when the event is
// raised. Form models raise their events through it, as the controls they stand for do.
//
// Connect adds a handler for the signal's whole life (the program's own wiring).
// Subscribe adds one that lives as long as the returned Subscription, for windows that
// may be destroyed before the model they show; either may outlive the other safely.
#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace qm {

class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::shared_ptr<void> slot) : slot_(std::move(slot)) {}
    void Reset() { slot_.reset(); }

private:
    std::shared_ptr<void> slot_;
};

template <class... Args>
class Signal {
public:
    using Handler = std::function<void(Args...)>;

    void Connect(Handler handler) {
        auto slot = std::make_shared<Handler>(std::move(handler));
        slots_.push_back(slot);
        owned_.push_back(std::move(slot));
    }

    [[nodiscard]] Subscription Subscribe(Handler handler) {
        auto slot = std::make_shared<Handler>(std::move(handler));
        slots_.push_back(slot);
        return Subscription(std::move(slot));
    }

    void operator()(Args... args) {
        // Work on a copy: a handler may connect or unsubscribe others while we run.
        const auto slots = slots_;
        for (const auto& weak : slots)
            if (const auto handler = weak.lock()) (*handler)(args...);
        std::erase_if(slots_, [](const auto& weak) { return weak.expired(); });
    }

private:
    std::vector<std::weak_ptr<Handler>> slots_;
    std::vector<std::shared_ptr<Handler>> owned_;
};

}  // namespace qm
