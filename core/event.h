// Event<Args...>: a synchronous signal. Handlers run on the raising thread,
// in the order they were connected, before the raise returns. Arguments that
// the interface passes by reference are declared as references, so a
// handler may change them (as hosts may change a statistics record).
#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace veldrane {

template <class... Args>
class Event {
 public:
  using Handler = std::function<void(Args...)>;

  // Connects a handler; returns its id for disconnect.
  int connect(Handler handler) {
    handlers_.push_back({next_id_, std::move(handler)});
    return next_id_++;
  }
  void disconnect(int id) {
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
      if (it->first == id) {
        handlers_.erase(it);
        return;
      }
    }
  }
  bool empty() const { return handlers_.empty(); }

  // Raises the event.
  void operator()(Args... args) const {
    // A handler may connect or disconnect while we raise: walk a copy.
    auto snapshot = handlers_;
    for (auto& h : snapshot) h.second(args...);
  }

 private:
  std::vector<std::pair<int, Handler>> handlers_;
  int next_id_ = 1;
};

}  // namespace veldrane
