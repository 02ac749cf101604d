#include "app/job_list.h"

#include <algorithm>

#include "core/folder_walk.h"
#include "core/platform/text_order.h"

namespace {
// The extension as the shell finds it: from the last dot of the name, unless
// a space or a separator follows that dot.
std::string Extension(const std::string& path) {
    size_t dot = std::string::npos;
    for (size_t i = 0; i < path.size(); ++i) {
        if (path[i] == ' ' || path[i] == '\\' || path[i] == '/')
            dot = std::string::npos;
        else if (path[i] == '.')
            dot = i;
    }
    return dot == std::string::npos ? std::string() : path.substr(dot);
}
}  // namespace

int CompareEntries(const char* key1, const char* key2, int direction) {
    if (direction == 1) return CompareNames(key1, key2);
    if (direction == 2) return CompareNames(key2, key1);
    return 0;
}

int JobList::IconIndex(const std::string& path, bool directory) {
    // Only a cache key: ASCII lowering serves, a miss merely asks again.
    std::string key = directory ? std::string("<dir>") : Extension(path);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    auto found = m_iconCache.find(key);
    if (found != m_iconCache.end()) return found->second;
    const int image = m_icons ? m_icons(path, directory) : -1;
    if (image < 0) return 0;
    m_iconCache[key] = image;
    return image;
}

int JobList::Add(const std::string& folder, const std::string& name, bool directory) {
    JobItem entry;
    entry.path = JoinPath(folder, name);
    // One lowering per path: the index answers and takes the key at once.
    if (!m_index.Add(entry.path)) return -1;
    entry.nameAt = entry.path.size() - name.size();
    entry.folderLength = folder.size();
    entry.image = IconIndex(entry.path, directory);
    m_entries.push_back(std::move(entry));
    return Count() - 1;
}

const JobItem* JobList::At(int index) const {
    return index >= 0 && index < Count() ? &m_entries[static_cast<size_t>(index)] : nullptr;
}

std::string JobList::Path(int index) const {
    const JobItem* entry = At(index);
    return entry ? entry->path : std::string();
}

bool JobList::Mark(int index, EntryMark mark, ConvertFailure failure, const std::function<void()>& changed) {
    if (index < 0 || index >= Count()) return false;
    JobItem& entry = m_entries[static_cast<size_t>(index)];
    const bool differs = entry.mark != mark;
    entry.mark = mark;
    entry.failure = mark == EntryMark::Failed ? failure : ConvertFailure::None;
    if (differs && changed) changed();
    m_current = mark == EntryMark::Converting ? index : -1;
    return differs;
}

void JobList::ClearMarks(int count, const std::function<void(int)>& changed) {
    count = std::min(count, Count());
    for (int i = 0; i < count; ++i) {
        JobItem& entry = m_entries[static_cast<size_t>(i)];
        entry.failure = ConvertFailure::None;
        entry.ruleKnown = false;
        if (entry.mark == EntryMark::None) continue;
        entry.mark = EntryMark::None;
        if (changed) changed(i);
    }
    m_current = -1;
}

bool JobList::KeepContent(int index, const ContentReport& content, bool checked, std::string breaksText) {
    if (index < 0 || index >= Count()) return false;
    JobItem& entry = m_entries[static_cast<size_t>(index)];
    entry.content = content;
    entry.contentKnown = true;
    entry.checked = checked;
    entry.breaksText = std::move(breaksText);
    return true;
}

bool JobList::KeepRule(int index, const ProjectRule& rule) {
    if (index < 0 || index >= Count()) return false;
    JobItem& entry = m_entries[static_cast<size_t>(index)];
    entry.rule = rule;
    entry.ruleKnown = true;
    return true;
}

bool JobList::Content(int index, ContentReport* content) const {
    const JobItem* entry = At(index);
    if (!entry || !entry->contentKnown) return false;
    if (content) *content = entry->content;
    return true;
}

int JobList::Delete(const std::vector<int>& indices) {
    std::vector<char> doomed(m_entries.size(), 0);
    int first = -1;
    for (int i : indices) {
        if (i < 0 || i >= Count()) continue;
        doomed[static_cast<size_t>(i)] = 1;
        if (first < 0 || i < first) first = i;
    }
    if (first < 0) return -1;
    size_t kept = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (doomed[i])
            m_index.Remove(m_entries[i].path);
        else
            m_entries[kept++] = std::move(m_entries[i]);
    }
    m_entries.resize(kept);
    m_current = -1;
    return first;
}

void JobList::Clear() {
    m_entries.clear();
    m_index.Clear();
    m_current = -1;
}

std::vector<size_t> JobList::Sort(int column, int direction) {
    std::vector<size_t> order(m_entries.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    if (direction != 1 && direction != 2) return order;
    // The keys are made once, not once per comparison.
    std::vector<std::string> keys;
    keys.reserve(m_entries.size());
    for (const JobItem& entry : m_entries)
        keys.push_back(column == 0   ? std::string(entry.Name())
                       : column == 1 ? entry.Folder()
                                     : entry.breaksText);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        return CompareEntries(keys[a].c_str(), keys[b].c_str(), direction) < 0;
    });
    std::vector<JobItem> sorted;
    sorted.reserve(m_entries.size());
    for (size_t from : order) sorted.push_back(std::move(m_entries[from]));
    m_entries.swap(sorted);
    return order;
}

int JobList::FindByName(const std::string& wanted, int start, bool wrap, bool partial) const {
    const int count = Count();
    if (wanted.empty() || count == 0) return -1;
    if (start < 0 || start >= count) start = 0;
    const int steps = wrap ? count : count - start;
    for (int k = 0; k < steps; ++k) {
        const int i = (start + k) % count;
        const JobItem& entry = m_entries[static_cast<size_t>(i)];
        const size_t length = entry.path.size() - entry.nameAt;
        if (partial && length < wanted.size()) continue;
        const size_t compared = partial ? wanted.size() : length;
        if (NamesEqualIgnoringCase(entry.Name(), compared, wanted.c_str(), wanted.size())) return i;
    }
    return -1;
}
