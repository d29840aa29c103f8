// The value stack of a process: inputs travel on it and every call leaves one item.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <new>

#include "value.h"

namespace qm {

class tLogoStack {
public:
    explicit tLogoStack(int32_t capacity = 1000, int32_t growth = 1000) : m_growth(growth) { reserve(capacity); }
    tLogoStack(const tLogoStack&) = delete;
    ~tLogoStack() {
        truncate(0);
        std::free(m_items);
    }

    int32_t count() const { return m_count; }

    void push(tlogoobject* v) {
        if (m_count == m_capacity) reserve(m_capacity + m_growth);
        m_items[m_count++] = hold(v);
    }
    // Pushes a value whose hold the caller hands over.
    void pushHeld(tlogoobject* v) {
        if (m_count == m_capacity) reserve(m_capacity + m_growth);
        m_items[m_count++] = v;
    }
    tlogoobject* top() const {
        if (m_count < 1) throw eLogoException(erStackTop);
        return m_items[m_count - 1];
    }
    tlogoobject* pick(int32_t n) const {
        if (n < 0 || n >= m_count) throw eLogoException(erStackLookstack);
        return m_items[m_count - 1 - n];
    }
    // Unchecked access for callers that know the depth: item n places below the top.
    tlogoobject* at(int32_t n) const { return m_items[m_count - 1 - n]; }
    void popAndRelease() {
        if (m_count < 1) throw eLogoException(erStackDeletetop);
        release(m_items[--m_count]);
    }
    void popInto(tlogoobject*& slot) {
        if (m_count < 1) throw eLogoException(erStackPop);
        tlogoobject* old = slot;
        slot = m_items[--m_count];
        release(old);
    }
    // Removes the top and hands its hold to the caller.
    tlogoobject* popTransfer() {
        if (m_count < 1) throw eLogoException(erStackPop1);
        return m_items[--m_count];
    }
    // Removes the top; the caller takes it as a fresh (unheld) value.
    tlogoobject* popUnheld() {
        if (m_count < 1) throw eLogoException(erStackPopdec);
        tlogoobject* v = m_items[--m_count];
        unhold(v);
        return v;
    }
    void removeSecond() {
        if (m_count < 2) throw eLogoException(erStackShiftTop);
        release(m_items[m_count - 2]);
        m_items[m_count - 2] = m_items[m_count - 1];
        --m_count;
    }
    void removeAt(int32_t n) {
        if (n < 0 || n >= m_count) throw eLogoException(erStackShift);
        int32_t i = m_count - 1 - n;
        release(m_items[i]);
        for (; i < m_count - 1; ++i) m_items[i] = m_items[i + 1];
        --m_count;
    }
    // Replaces the two top items by v (held): an operation's inputs by its result.
    void replaceTopTwo(tlogoobject* v) {
        if (m_count < 2) throw eLogoException(erStackShiftTop);
        tlogoobject* first = m_items[m_count - 2];
        tlogoobject* second = m_items[m_count - 1];
        m_items[m_count - 2] = hold(v);
        --m_count;
        release(second);
        release(first);
    }
    void truncate(int32_t level) {
        while (m_count > level) release(m_items[--m_count]);
    }
    void discard(int32_t n) {
        while (n-- > 0 && m_count > 0) release(m_items[--m_count]);
    }
    // Removes a nil top; a value there is something nobody uses.
    void expectNoValue() {
        if (m_count < 1) throw eLogoException(erStackPopnil);
        tlogoobject* v = m_items[m_count - 1];
        if (v) throw eLogoException(erWhatToDo, v);
        --m_count;
    }

private:
    void reserve(int32_t cap) {
        void* p = std::realloc(m_items, sizeof(tlogoobject*) * static_cast<size_t>(cap));
        if (!p) throw std::bad_alloc();
        m_items = static_cast<tlogoobject**>(p);
        m_capacity = cap;
    }

    tlogoobject** m_items = nullptr;
    int32_t m_count = 0;
    int32_t m_capacity = 0;
    int32_t m_growth;
};

} // namespace qm
