// The words a run shows, in one place for the string table and for the
// command line, which has none: the "Line breaks" column and the summary.
#ifndef PARDWELL_RES_RUN_WORDS_H
#define PARDWELL_RES_RUN_WORDS_H

#define PARDWELL_WORD_BREAKS_CRLF "CR LF"
#define PARDWELL_WORD_BREAKS_LF "LF"
#define PARDWELL_WORD_BREAKS_CR "CR"
#define PARDWELL_WORD_BREAKS_NONE "None"
#define PARDWELL_WORD_BREAKS_MIXED "Mixed"
#define PARDWELL_WORD_BREAKS_BINARY "Binary"
#define PARDWELL_WORD_BREAKS_UTF16LE "UTF-16 LE"
#define PARDWELL_WORD_BREAKS_UTF16BE "UTF-16 BE"

// A file's breaks beside its project's target, and why a run after the
// project's rules left a file alone.
#define PARDWELL_FORMAT_PROJECT_TARGET "%s, project: %s"
#define PARDWELL_REASON_NO_RULE "no line-break rule in .editorconfig or .gitattributes"
#define PARDWELL_REASON_MARKED_BINARY "marked binary in .gitattributes"

#define PARDWELL_WORD_CONVERTED "Converted"
#define PARDWELL_WORD_ABORTED "Aborted"
#define PARDWELL_WORD_CHECKED "Checked"
#define PARDWELL_FORMAT_SUMMARY "%s: %d success, %d fail"
#define PARDWELL_FORMAT_SUMMARY_SKIPPED "%s: %d success, %d fail, %d skipped"
#define PARDWELL_FORMAT_CHECK_SUMMARY "%s: %d read, %d fail"

#endif
