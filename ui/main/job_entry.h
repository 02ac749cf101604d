#pragma once
// The item data of a job-list entry: its path as the columns rebuild it (the
// key of the path index, so the index entry can be removed from the deletion
// notification alone) and why its last conversion failed.

#include <string>

#include "core/converter.h"

struct JobEntry {
    std::string path;
    ConvertFailure failure = ConvertFailure::None;
};
