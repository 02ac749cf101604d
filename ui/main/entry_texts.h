#pragma once
// The words the job list shows about an entry: its "Line breaks" column and
// the infotip that says why it is marked as it is. All from the string table.

#include <string>

#include "app/batch_run.h"

// What the file had when last read: "CR LF", "LF", "CR", "None", "Mixed"
// with the counts of each kind, "Binary"; UTF-16 files name their byte
// order first.
// With a rule that gives a target other than what the file has, the target
// beside it: "CR LF, project: LF".
std::string LineBreaksText(const ContentReport& content, const ProjectRule* rule = nullptr);

// Why an entry carries its mark; "" for an unmarked or busy one. checked:
// the mark came from a check, which changes nothing; rule: the project's,
// in a run that followed the project's rules.
std::string EntryReasonText(EntryMark mark, ConvertFailure failure, const ContentReport& content,
                            bool checked, const ProjectRule* rule = nullptr);
