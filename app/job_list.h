#pragma once
// The job list's entries, without a window: what each file is, how it was
// marked, what its last read learnt, and the order it is shown in. The list
// view is virtual and asks this model for what it paints, so adding a
// hundred thousand files costs no more than storing them.

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "app/batch_run.h"
#include "core/converter.h"
#include "core/path_index.h"
#include "core/project_rules.h"

struct JobItem {
    // Folder and name joined as the columns show them: the key of the path
    // index, so an entry's index key goes with it.
    std::string path;
    size_t nameAt = 0;        // where the "File" column's text starts
    size_t folderLength = 0;  // the "Folder" column's text (empty when the shell cannot split it)
    int image = 0;            // in the system's small icons
    EntryMark mark = EntryMark::None;
    // Why the last conversion failed; None unless the entry is marked failed.
    ConvertFailure failure = ConvertFailure::None;
    // What the last read of the file learnt, kept across runs; whether that
    // read was a check; the "Line breaks" column's text made from it.
    ContentReport content;
    bool contentKnown = false;
    bool checked = false;
    std::string breaksText;
    // The project's rule for the file, in and after a run that followed the
    // project's rules only.
    ProjectRule rule;
    bool ruleKnown = false;

    const char* Name() const { return path.c_str() + nameAt; }
    std::string Folder() const { return path.substr(0, folderLength); }
};

// The comparison of two entries' sort keys: ascending (direction 1) or
// descending (2) by the multibyte string order of the code page (so
// capitals come first); equal for any other direction.
int CompareEntries(const char* key1, const char* key2, int direction);

class JobList {
public:
    // The icon of a path in the system's small icons; negative when unknown
    // (the entry then shows icon 0, and the next such path asks again).
    using IconLookup = std::function<int(const std::string& path, bool directory)>;

    explicit JobList(IconLookup icons = IconLookup()) : m_icons(std::move(icons)) {}

    // Adds folder\name (folder "" when the shell cannot split the path);
    // the index of the new entry, or -1 if the path is present already,
    // whatever its case where the platform ignores case.
    int Add(const std::string& folder, const std::string& name, bool directory);
    bool Contains(const std::string& path) const { return m_index.Contains(path); }
    int Count() const { return static_cast<int>(m_entries.size()); }
    const JobItem* At(int index) const;
    // "" for an index that does not exist: such a path fails to convert.
    std::string Path(int index) const;

    // Sets the entry's mark; true if it changed. The failure is kept with a
    // Failed mark only. The entry marked Converting becomes the current one;
    // changed() is called as the mark changes, before the current follows.
    bool Mark(int index, EntryMark mark, ConvertFailure failure,
              const std::function<void()>& changed = std::function<void()>());
    // Clears marks, reasons and rules of entries 0..count-1; changed(i) for
    // each entry that had a mark.
    void ClearMarks(int count, const std::function<void(int)>& changed);
    // The entry being converted, -1 when none is.
    int Current() const { return m_current; }
    // What the last read of the entry's file learnt, whether it was a check,
    // and the text the "Line breaks" column shows for it.
    bool KeepContent(int index, const ContentReport& content, bool checked, std::string breaksText);
    bool KeepRule(int index, const ProjectRule& rule);
    // False if the entry's file was never read.
    bool Content(int index, ContentReport* content) const;

    // Removes the entries at the given indices (any order, repeats
    // allowed); the smallest removed index, or -1 if none was.
    int Delete(const std::vector<int>& indices);
    void Clear();

    // Sorts by column (0 name, 1 folder, 2 line breaks) and direction as
    // CompareEntries takes it; equal keys keep their order. Returns the
    // entries' old positions in their new order.
    std::vector<size_t> Sort(int column, int direction);

    // The first entry from start on whose name is wanted (or starts with it
    // when partial), ignoring case; wrap goes on from the top. -1 if none.
    int FindByName(const std::string& wanted, int start, bool wrap, bool partial) const;

private:
    int IconIndex(const std::string& path, bool directory);

    std::vector<JobItem> m_entries;
    PathIndex m_index;
    int m_current = -1;
    IconLookup m_icons;
    // With SHGFI_USEFILEATTRIBUTES the icon depends on the extension only.
    std::unordered_map<std::string, int> m_iconCache;
};
