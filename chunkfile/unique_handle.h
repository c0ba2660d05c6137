#pragma once

#include <utility>

// Owns one handle of the kind its traits describe and closes it exactly once. Move-only,
// so that no two owners can close one handle. Traits give the handle's type, the value
// that means "none", and how to close one:
//   struct Traits { using Type = ...; static Type invalid(); static void close(Type); };
template <typename Traits> class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() : value(Traits::invalid()) {}
    explicit UniqueHandle(Type handle) : value(handle) {}
    ~UniqueHandle() { reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : value(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type get() const { return value; }
    bool valid() const { return value != Traits::invalid(); }
    explicit operator bool() const { return valid(); }

    Type release() { return std::exchange(value, Traits::invalid()); }
    void reset(Type handle = Traits::invalid()) {
        if (valid())
            Traits::close(value);
        value = handle;
    }

private:
    Type value;
};
