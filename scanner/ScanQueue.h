#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

// A first-in first-out queue of bounded size between one producer and
// several consumers. Push waits while the queue is full; Pop waits while it
// is empty. After Close, Push refuses and Pop drains what is left.
template <class T> class CBoundedQueue {
public:
    explicit CBoundedQueue(size_t capacity) : m_nCapacity(capacity ? capacity : 1) {}

    bool Push(T item) {
        std::unique_lock lock(m_mutex);
        m_notFull.wait(lock, [&] { return m_bClosed || m_items.size() < m_nCapacity; });
        if (m_bClosed)
            return false;
        m_items.push_back(std::move(item));
        m_notEmpty.notify_one();
        return true;
    }

    bool Pop(T& item) {
        std::unique_lock lock(m_mutex);
        m_notEmpty.wait(lock, [&] { return m_bClosed || !m_items.empty(); });
        if (m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        m_notFull.notify_one();
        return true;
    }

    void Close() {
        std::lock_guard lock(m_mutex);
        m_bClosed = true;
        m_notEmpty.notify_all();
        m_notFull.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_notFull;
    std::condition_variable m_notEmpty;
    std::deque<T> m_items;
    size_t m_nCapacity;
    bool m_bClosed = false;
};
