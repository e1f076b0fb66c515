#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

// A first-in first-out queue of bounded size between one producer and
// several consumers. Push waits while the queue is full (until it is half
// empty); Pop waits while it is empty. After Close, Push refuses and Pop
// drains what is left. Nobody is woken who does not wait.
template <class T> class CBoundedQueue {
public:
    explicit CBoundedQueue(size_t capacity) : m_nCapacity(capacity ? capacity : 1) {}

    bool Push(T item) {
        std::unique_lock lock(m_mutex);
        if (!m_bClosed && m_items.size() >= m_nCapacity) {
            // A full queue waits until it is half empty, so that the producer
            // wakes once per half a queue rather than once per item.
            m_bProducerWaits = true;
            m_notFull.wait(lock, [&] { return m_bClosed || m_items.size() <= m_nCapacity / 2; });
            m_bProducerWaits = false;
        }
        if (m_bClosed)
            return false;
        m_items.push_back(std::move(item));
        if (m_nConsumersWaiting > 0)
            m_notEmpty.notify_one();
        return true;
    }

    bool Pop(T& item) {
        std::unique_lock lock(m_mutex);
        if (!m_bClosed && m_items.empty()) {
            ++m_nConsumersWaiting;
            m_notEmpty.wait(lock, [&] { return m_bClosed || !m_items.empty(); });
            --m_nConsumersWaiting;
        }
        if (m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        if (m_bProducerWaits && m_items.size() <= m_nCapacity / 2)
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
    bool m_bProducerWaits = false;
    size_t m_nConsumersWaiting = 0;
};
