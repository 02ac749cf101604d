#pragma once
// The words the job list shows about an entry: its "Line breaks" column and
// the infotip that says why it is marked as it is. All from the string table.

#include <string>

#include "app/batch_run.h"

// What the file had when last read: "CR LF", "LF", "CR", "None", "Mixed"
// with the counts of each kind, "Binary"; UTF-16 files name their byte
// order first.
std::string LineBreaksText(const ContentReport& content);

// Why an entry carries its mark; "" for an unmarked or busy one. checked:
// the mark came from a check, which changes nothing.
std::string EntryReasonText(EntryMark mark, ConvertFailure failure, const ContentReport& content,
                            bool checked);
