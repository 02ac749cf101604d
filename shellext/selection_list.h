#pragma once
// The paths the file manager handed to Initialize: owned, zero-terminated
// UTF-8 copies in a pointer array that grows in steps of 8.

#include <cstddef>

class CSelectionList {
public:
    static constexpr size_t kGrowth = 8;

    CSelectionList() = default;
    ~CSelectionList() { Clear(); }
    CSelectionList(const CSelectionList&) = delete;
    CSelectionList& operator=(const CSelectionList&) = delete;

    // Empties the list and makes room for `capacity` paths; false (list left
    // empty) when the memory cannot be had.
    bool Reset(size_t capacity);
    // Appends a copy of `path`; false when memory runs out (nothing changes).
    bool Append(const char* path);
    void Clear();

    size_t Count() const { return m_count; }
    size_t Capacity() const { return m_capacity; }
    const char* At(size_t i) const { return m_items[i]; }
    const char* const* Items() const { return m_items; }

private:
    char** m_items = nullptr;
    size_t m_capacity = 0;
    size_t m_count = 0;
};
