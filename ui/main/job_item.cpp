#include "ui/main/job_item.h"

#include <mbstring.h>

#include <algorithm>

std::vector<size_t> SortedOrder(const std::vector<JobItem>& entries, const SortState& state) {
    std::vector<size_t> order(entries.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (state.direction != 1 && state.direction != 2) return order;
    // The keys are made once, not once per comparison.
    std::vector<std::string> keys;
    keys.reserve(entries.size());
    for (const JobItem& entry : entries)
        keys.push_back(state.column == 0   ? std::string(entry.Name())
                       : state.column == 1 ? entry.Folder()
                                           : entry.breaksText);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return CompareEntries(keys[a].c_str(), keys[b].c_str(), state) < 0;
    });
    return order;
}

int CompareEntries(const char* key1, const char* key2, const SortState& state) {
    const auto* a = reinterpret_cast<const unsigned char*>(key1);
    const auto* b = reinterpret_cast<const unsigned char*>(key2);
    if (state.direction == 1) return _mbscmp(a, b);
    if (state.direction == 2) return _mbscmp(b, a);
    return 0;
}
