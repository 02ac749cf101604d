#include "core/path_index.h"

bool PathIndex::Add(const std::string& path) {
    return m_keys.insert(LowerPath(path)).second;
}

bool PathIndex::Remove(const std::string& path) {
    return m_keys.erase(LowerPath(path)) != 0;
}

bool PathIndex::Contains(const std::string& path) const {
    return m_keys.count(LowerPath(path)) != 0;
}
