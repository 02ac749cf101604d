#pragma once
// A case-insensitive set of full paths, so the job list's duplicate test
// costs O(1) on average instead of a walk over the whole list.

#include <string>
#include <unordered_set>

// The lowering used for comparing paths: the platform's own (CharLowerBuffW
// on Windows, tolower elsewhere), so every duplicate test agrees.
std::string LowerPath(const std::string& path);

class PathIndex {
public:
    // False if an equal path (ignoring case) is already present.
    bool Add(const std::string& path);
    // False if no such path was present.
    bool Remove(const std::string& path);
    bool Contains(const std::string& path) const;
    void Clear() { m_keys.clear(); }
    size_t Size() const { return m_keys.size(); }

private:
    std::unordered_set<std::string> m_keys;
};
