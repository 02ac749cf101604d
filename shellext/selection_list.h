#pragma once
// The paths the file manager handed to Initialize: owned, zero-terminated
// ANSI copies in a pointer array that grows in steps of 8.

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

    size_t Count() const { return count_; }
    size_t Capacity() const { return capacity_; }
    const char* At(size_t i) const { return items_[i]; }
    const char* const* Items() const { return items_; }

private:
    char** items_ = nullptr;
    size_t capacity_ = 0;
    size_t count_ = 0;
};
