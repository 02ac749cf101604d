#pragma once
// One file of the job list. Each list entry owns its JobItem through its item
// data: made when the entry is inserted, freed on the entry's deletion
// notification. The path is as the columns rebuild it (the key of the path
// index, so the index entry can be removed from that notification alone).

#include <windows.h>

#include <memory>
#include <string>

#include "core/converter.h"

struct JobItem {
    std::string path;
    // Why the last conversion failed; None unless the entry is marked failed.
    ConvertFailure failure = ConvertFailure::None;
    // What the last read of the file learnt, kept across runs; whether that
    // read was a check; the "Line breaks" column's text made from it.
    ContentReport content;
    bool contentKnown = false;
    bool checked = false;
    std::string breaksText;

    // The only ways into and out of an entry's item data.
    static LPARAM ToItemData(std::unique_ptr<JobItem> item) {
        return reinterpret_cast<LPARAM>(item.release());
    }
    static std::unique_ptr<JobItem> TakeFromItemData(LPARAM data) {
        return std::unique_ptr<JobItem>(reinterpret_cast<JobItem*>(data));
    }
    static JobItem* FromItemData(LPARAM data) { return reinterpret_cast<JobItem*>(data); }
};
