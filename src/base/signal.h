#pragma once
// A minimal event: handlers connected in order, all called when the event is raised.
// Form models raise their events through it, as the controls they stand for do.
#include <functional>
#include <utility>
#include <vector>

namespace qm {

template <class... Args>
class Signal {
public:
    using Handler = std::function<void(Args...)>;

    void Connect(Handler handler) { handlers_.push_back(std::move(handler)); }
    void DisconnectAll() { handlers_.clear(); }

    void operator()(Args... args) const {
        // Copy first: a handler may connect further handlers while we run.
        auto handlers = handlers_;
        for (auto& handler : handlers) handler(args...);
    }

private:
    std::vector<Handler> handlers_;
};

}  // namespace qm
