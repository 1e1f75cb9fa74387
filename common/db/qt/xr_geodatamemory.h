// Memory accounting of the point index: one process-wide count of the bytes
// the library holds and one process-wide limit (0 = none).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

class CGeoDataMemory {
public:
    static void set_limit(std::uint32_t limit);
    // The limit minus the count, or 2147483647 without a limit.
    static std::uint64_t available();
    static std::uint64_t in_use();

    // Counted allocation; null on failure.
    static void* allocate(std::size_t size);
    static void free(void* block, std::size_t size);
};

// Base of the library's objects: their allocations are counted. Create them
// with new (std::nothrow).
class CGeoDataObject {
public:
    static void* operator new(std::size_t size, const std::nothrow_t&) noexcept
    {
        return CGeoDataMemory::allocate(size);
    }
    static void operator delete(void* block, std::size_t size) { CGeoDataMemory::free(block, size); }
    static void operator delete(void* block, const std::nothrow_t&) noexcept
    {
        // Only reached when a constructor throws, which none does.
        ::operator delete(block);
    }

protected:
    CGeoDataObject() = default;
    ~CGeoDataObject() = default;
};

// An owned, counted array of trivially copyable elements.
template <class T>
class CGeoDataBuffer {
public:
    CGeoDataBuffer() = default;
    ~CGeoDataBuffer() { reset(); }
    CGeoDataBuffer(const CGeoDataBuffer&) = delete;
    CGeoDataBuffer& operator=(const CGeoDataBuffer&) = delete;

    // Replaces the contents by count uninitialised elements; false when the
    // allocation fails (the buffer is then empty).
    bool allocate(std::size_t count)
    {
        reset();
        if (count == 0)
            return true;
        if (count > SIZE_MAX / sizeof(T))
            return false;
        m_data = static_cast<T*>(CGeoDataMemory::allocate(count * sizeof(T)));
        if (m_data == nullptr)
            return false;
        m_count = count;
        return true;
    }
    void reset()
    {
        if (m_data != nullptr)
            CGeoDataMemory::free(m_data, m_count * sizeof(T));
        m_data = nullptr;
        m_count = 0;
    }

    T* get() { return m_data; }
    const T* get() const { return m_data; }
    std::size_t count() const { return m_count; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }

private:
    T* m_data = nullptr;
    std::size_t m_count = 0;
};

// Bytes the library holds now (all builders, searchers and cursors).
std::uint64_t geo_data_memory_in_use();
