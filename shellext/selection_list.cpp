#include "shellext/selection_list.h"

#include <cstring>
#include <new>

bool CSelectionList::Reset(size_t capacity) {
    Clear();
    if (capacity == 0) return true;
    m_items = new (std::nothrow) char*[capacity];
    if (!m_items) return false;
    m_capacity = capacity;
    return true;
}

bool CSelectionList::Append(const char* path) {
    if (m_count == m_capacity) {
        char** grown = new (std::nothrow) char*[m_capacity + kGrowth];
        if (!grown) return false;
        for (size_t i = 0; i < m_count; ++i) grown[i] = m_items[i];
        delete[] m_items;
        m_items = grown;
        m_capacity += kGrowth;
    }
    const size_t len = std::strlen(path);
    char* copy = new (std::nothrow) char[len + 1];
    if (!copy) return false;
    std::memcpy(copy, path, len + 1);
    m_items[m_count++] = copy;
    return true;
}

void CSelectionList::Clear() {
    for (size_t i = 0; i < m_count; ++i) delete[] m_items[i];
    delete[] m_items;
    m_items = nullptr;
    m_capacity = 0;
    m_count = 0;
}
