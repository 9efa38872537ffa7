// A first-in first-out queue that one thread fills while another empties it;
// every operation takes the queue's own lock for its whole duration.
#pragma once

#include <list>
#include <mutex>
#include <utility>

namespace threadsafe {

template <typename T>
class CSafePipe {
  public:
    CSafePipe() = default;
    CSafePipe(const CSafePipe&) = delete;
    CSafePipe& operator=(const CSafePipe&) = delete;
    virtual ~CSafePipe() = default;

    // Inserts the item at the back when atBack is true, else at the front.
    void Push(T item, bool atBack = true) {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        if (atBack) {
            items_.push_back(std::move(item));
        } else {
            items_.push_front(std::move(item));
        }
    }

    // Removes and returns the front item; a default T when the queue is empty.
    T Pop() {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        if (items_.empty()) return T();
        T item = std::move(items_.front());
        items_.pop_front();
        return item;
    }

    int GetCount() const {
        std::lock_guard<std::recursive_mutex> guard(lock_);
        return static_cast<int>(items_.size());
    }

  private:
    std::list<T> items_;
    mutable std::recursive_mutex lock_;
};

}  // namespace threadsafe
