#include "base/signal.h"

#include <gtest/gtest.h>

#include <optional>

namespace qm {
namespace {

TEST(Signal, CallsHandlersInConnectionOrder) {
    Signal<int> signal;
    std::vector<int> seen;
    signal.Connect([&](int v) { seen.push_back(v); });
    signal.Connect([&](int v) { seen.push_back(v * 10); });
    signal(3);
    EXPECT_EQ(seen, (std::vector<int>{3, 30}));
}

TEST(Signal, SubscriptionEndsWithItsOwnerInEitherOrder) {
    int calls = 0;
    Signal<> signal;
    {
        Subscription subscription = signal.Subscribe([&] { ++calls; });
        signal();
    }
    signal();  // the subscriber is gone: not called, no dangling call
    EXPECT_EQ(calls, 1);

    std::optional<Signal<>> shortLived(std::in_place);
    Subscription outliving = shortLived->Subscribe([&] { ++calls; });
    shortLived.reset();  // the model goes first: the subscription stays harmless
    outliving.Reset();
    EXPECT_EQ(calls, 1);
}

TEST(Signal, HandlerMayUnsubscribeAnotherWhileRaised) {
    Signal<> signal;
    int later = 0;
    Subscription second;
    Subscription first = signal.Subscribe([&] { second.Reset(); });
    second = signal.Subscribe([&] { ++later; });
    signal();
    signal();
    EXPECT_EQ(later, 0);
}

}  // namespace
}  // namespace qm
