#pragma once
// One file of the job list. The list is virtual: the dialog keeps its
// entries in a vector and the list view asks for what it shows, so adding a
// hundred thousand files costs no more than storing them.

#include <cstddef>
#include <string>
#include <vector>

#include "app/batch_run.h"
#include "core/converter.h"
#include "ui/controls/list_ctrl_ex.h"

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

    const char* Name() const { return path.c_str() + nameAt; }
    std::string Folder() const { return path.substr(0, folderLength); }
};

// The comparison of two entries' sort keys by the sort state: ascending or
// descending by the multibyte string order of the code page (so capitals
// come first); equal for an unsorted state.
int CompareEntries(const char* key1, const char* key2, const SortState& state);

// The entries' order by the column of the sort state (the name, the folder,
// or the line breaks last read), as positions in entries; equal keys keep
// their order. Unsorted: as they are.
std::vector<size_t> SortedOrder(const std::vector<JobItem>& entries, const SortState& state);
