#include "core/path_index.h"

bool PathIndex::Add(const std::string& path) {
    return keys_.insert(LowerPath(path)).second;
}

bool PathIndex::Remove(const std::string& path) {
    return keys_.erase(LowerPath(path)) != 0;
}

bool PathIndex::Contains(const std::string& path) const {
    return keys_.count(LowerPath(path)) != 0;
}
