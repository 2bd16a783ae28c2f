#pragma once
// The ordered, optionally keyed collection behind every record collection: 1-based positions in
// insertion order, keys compared by the file system's path rule (callers key by PathKey), and
// errors the callers can catch.

#include "platform/Paths.h"

#include <QHash>
#include <QString>
#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

class CollectionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class DuplicateKeyError : public CollectionError {
public:
    using CollectionError::CollectionError;
};
class BadIndexError : public CollectionError {
public:
    using CollectionError::CollectionError;
};

template <class T> class Collection {
public:
    using Ptr = std::shared_ptr<T>;

    Ptr Item(int index) const {
        checkIndex(index);
        return m_items[slot(index)].item;
    }
    Ptr Item(const QString& key) const {
        auto it = m_byKey.find(Paths::PathKey(key));
        if (key.isEmpty() || it == m_byKey.end())
            throw BadIndexError("no element with this key");
        return it.value();
    }
    bool contains(const QString& key) const {
        return !key.isEmpty() && m_byKey.contains(Paths::PathKey(key));
    }
    int Count() const { return int(m_items.size()); }
    // Rises with every element added or removed (and every change a collection reports itself),
    // so a reader can tell that what it worked out from the collection is out of date.
    quint64 changeCount() const { return m_changes; }

    void Remove(int index) {
        checkIndex(index);
        const Entry& e = m_items[slot(index)];
        if (!e.key.isEmpty())
            m_byKey.remove(e.key);
        m_items.erase(m_items.begin() + (index - 1));
        ++m_changes;
        afterRemove();
    }
    void Remove(const QString& key) { Remove(positionOf(key)); }
    // Removes every element in one step (the removal side effects run once).
    void Clear() {
        removeIf([](const T&) { return true; });
    }

    // Removes every element that `doomed` selects in one pass; the others keep their order.
    // Returns how many went. A single pass keeps large prunes linear instead of shifting the
    // vector once per removed element.
    template <class Predicate> int removeIf(Predicate doomed) {
        const auto firstDoomed = std::stable_partition(
            m_items.begin(), m_items.end(), [&](const Entry& e) { return !doomed(*e.item); });
        const int removed = int(m_items.end() - firstDoomed);
        for (auto it = firstDoomed; it != m_items.end(); ++it)
            if (!it->key.isEmpty())
                m_byKey.remove(it->key);
        m_items.erase(firstDoomed, m_items.end());
        if (removed > 0) {
            ++m_changes;
            afterRemove();
        }
        return removed;
    }

    // 1-based position of the element with `key`; throws when absent.
    int positionOf(const QString& key) const {
        const Ptr item = Item(key);
        for (int i = 0; i < Count(); ++i)
            if (m_items[std::size_t(i)].item == item)
                return i + 1;
        throw BadIndexError("no element with this key");
    }

private:
    // The vector slot of a checked 1-based position.
    static std::size_t slot(int index) { return std::size_t(index - 1); }

    // Declared ahead of the iterator, which names it.
    struct Entry {
        Ptr item;
        QString key;
    };

public:
    // Iteration in order (the collection's NewEnum).
    class const_iterator {
    public:
        using Inner = typename std::vector<Entry>::const_iterator;
        explicit const_iterator(Inner it) : m_it(it) {}
        const Ptr& operator*() const { return m_it->item; }
        const_iterator& operator++() {
            ++m_it;
            return *this;
        }
        bool operator!=(const const_iterator& o) const { return m_it != o.m_it; }
        bool operator==(const const_iterator& o) const { return m_it == o.m_it; }

    private:
        Inner m_it;
    };
    const_iterator begin() const { return const_iterator(m_items.begin()); }
    const_iterator end() const { return const_iterator(m_items.end()); }

    virtual ~Collection() = default;

protected:
    // Appends `item` under `key` (no key when empty). Throws DuplicateKeyError, adding nothing,
    // when another element already has the key.
    Ptr append(Ptr item, const QString& key) {
        QString k = key.isEmpty() ? QString() : Paths::PathKey(key);
        if (!k.isEmpty() && m_byKey.contains(k))
            throw DuplicateKeyError("duplicate key");
        m_items.push_back(Entry{item, k});
        ++m_changes;
        if (!k.isEmpty())
            m_byKey.insert(k, item);
        return item;
    }
    virtual void afterRemove() {}
    void noteChange() { ++m_changes; }

private:
    void checkIndex(int index) const {
        if (index < 1 || index > Count())
            throw BadIndexError("position out of range");
    }
    std::vector<Entry> m_items;
    QHash<QString, Ptr> m_byKey;
    quint64 m_changes = 0;
};
