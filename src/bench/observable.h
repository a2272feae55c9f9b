#pragma once
// Values that tell their listeners when they change, and the listener lists behind them. A
// face subscribes once and redraws from what it is told; a set to the value already held tells
// nobody, which is what ends the exchange between two views of one value.
#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

namespace kv4410::bench {

// What subscribe() returns, for unsubscribe(); never 0.
using SubscriptionId = std::uint64_t;

template <typename T>
class ListenerList {
 public:
  using Listener = std::function<void(const T&)>;

  SubscriptionId subscribe(Listener listener) {
    listeners_.emplace_back(++lastId_, std::move(listener));
    return lastId_;
  }
  // False when `id` is not subscribed (any more).
  bool unsubscribe(SubscriptionId id) {
    const auto found = std::find_if(listeners_.begin(), listeners_.end(),
                                    [id](const auto& entry) { return entry.first == id; });
    if (found == listeners_.end()) {
      return false;
    }
    listeners_.erase(found);
    return true;
  }
  // Calls every listener once, in the order they subscribed. A listener may subscribe or
  // unsubscribe others (or itself) while it is called: one that left before its turn is not
  // called, one that joined is called from the next notification on.
  void notify(const T& value) const {
    std::vector<SubscriptionId> ids;
    ids.reserve(listeners_.size());
    for (const auto& entry : listeners_) {
      ids.push_back(entry.first);
    }
    for (const SubscriptionId id : ids) {
      const auto found = std::find_if(listeners_.begin(), listeners_.end(),
                                      [id](const auto& entry) { return entry.first == id; });
      if (found != listeners_.end()) {
        const Listener listener = found->second;  // the list may change while it runs
        listener(value);
      }
    }
  }
  std::size_t size() const { return listeners_.size(); }

 private:
  std::vector<std::pair<SubscriptionId, Listener>> listeners_;
  SubscriptionId lastId_ = 0;
};

// A value with change notification. Faces get it by const reference: they read it and
// subscribe to it, and only its owner sets it.
template <typename T>
class Observable {
 public:
  using Listener = typename ListenerList<T>::Listener;

  explicit Observable(T initial) : value_(std::move(initial)) {}

  const T& value() const { return value_; }
  SubscriptionId subscribe(Listener listener) const {
    return listeners_.subscribe(std::move(listener));
  }
  bool unsubscribe(SubscriptionId id) const { return listeners_.unsubscribe(id); }

  // Each listener hears the value held once more: a view that shows something else (a list on
  // an item that is no value of the setting) comes back to it.
  void tellAgain() { listeners_.notify(value_); }

  // Stores `value`; when it differs from the value held, each listener hears the new value
  // once. Returns whether it changed.
  bool set(T value) {
    if (value == value_) {
      return false;
    }
    value_ = std::move(value);
    const T now = value_;  // a listener that sets again must not change what the rest hear
    listeners_.notify(now);
    return true;
  }

 private:
  T value_;
  mutable ListenerList<T> listeners_;
};

}  // namespace kv4410::bench
