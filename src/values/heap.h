// Reference counting for every Logo value and object: the heap root and the Ref holder.
// Counts are not atomic: Logo code only runs under the global interpreter lock.
#pragma once

#include <cstdint>
#include <utility>

namespace qm {

class TheapObject {
public:
    int32_t referenceCount = 0;  // a fresh object has no holders
    bool pooled = false;         // a pre-made box of a value pool

    TheapObject() = default;
    TheapObject(const TheapObject&) = delete;
    TheapObject& operator=(const TheapObject&) = delete;
    virtual ~TheapObject() = default;

    // Frees the object, or hands it back to its pool.
    virtual void Dispose() { delete this; }
};

template <class T>
inline T* hold(T* v) {
    if (v) ++v->referenceCount;
    return v;
}

// Drops one hold; the object goes when nobody holds it any more.
inline void release(TheapObject* v) {
    if (v && --v->referenceCount < 1) v->Dispose();
}

// Drops a hold without disposing: the value passes to a taker as a fresh value.
inline void unhold(TheapObject* v) {
    if (v) --v->referenceCount;
}

template <class T>
inline void assign(T*& slot, T* v) {
    if (slot == v) return;
    hold(v);
    T* old = slot;
    slot = v;
    release(old);
}

// An owning reference: holds in the constructor, releases in the destructor.
template <class T>
class Ref {
public:
    Ref() = default;
    Ref(T* p) : m_p(hold(p)) {}  // NOLINT: implicit on purpose, like a raw pointer
    Ref(const Ref& o) : m_p(hold(o.m_p)) {}
    Ref(Ref&& o) noexcept : m_p(std::exchange(o.m_p, nullptr)) {}
    template <class U>
    Ref(const Ref<U>& o) : m_p(hold(o.get())) {}
    ~Ref() { release(m_p); }
    Ref& operator=(const Ref& o) {
        assign(m_p, o.m_p);
        return *this;
    }
    Ref& operator=(Ref&& o) noexcept {
        if (this != &o) {
            T* old = m_p;
            m_p = std::exchange(o.m_p, nullptr);
            release(old);
        }
        return *this;
    }
    Ref& operator=(T* p) {
        assign(m_p, p);
        return *this;
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // Gives up the hold without disposing; the caller takes the value as fresh.
    T* leakUnheld() {
        T* p = std::exchange(m_p, nullptr);
        unhold(p);
        return p;
    }
    // Gives up the object together with its hold.
    T* leakHeld() { return std::exchange(m_p, nullptr); }

private:
    T* m_p = nullptr;
};

} // namespace qm
