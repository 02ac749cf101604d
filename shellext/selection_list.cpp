#include "shellext/selection_list.h"

#include <cstring>
#include <new>

bool CSelectionList::Reset(size_t capacity)
{
    Clear();
    if (capacity == 0)
        return true;
    items_ = new (std::nothrow) char*[capacity];
    if (!items_)
        return false;
    capacity_ = capacity;
    return true;
}

bool CSelectionList::Append(const char* path)
{
    if (count_ == capacity_) {
        char** grown = new (std::nothrow) char*[capacity_ + kGrowth];
        if (!grown)
            return false;
        for (size_t i = 0; i < count_; ++i)
            grown[i] = items_[i];
        delete[] items_;
        items_ = grown;
        capacity_ += kGrowth;
    }
    const size_t len = std::strlen(path);
    char* copy = new (std::nothrow) char[len + 1];
    if (!copy)
        return false;
    std::memcpy(copy, path, len + 1);
    items_[count_++] = copy;
    return true;
}

void CSelectionList::Clear()
{
    for (size_t i = 0; i < count_; ++i)
        delete[] items_[i];
    delete[] items_;
    items_ = nullptr;
    capacity_ = 0;
    count_ = 0;
}
