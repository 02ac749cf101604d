#pragma once
// Each file's line-break rule as its project states it in .editorconfig and
// .gitattributes. Rule files are read once per folder and kept; one object
// may be asked from several threads at once.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/converter.h"
#include "core/platform/file_system.h"

enum class ProjectVerdict {
    NoRule,  // neither file gives this file a line-break target
    Target,  // convert to ProjectRule::target
    Binary,  // .gitattributes marks it binary or -text: never converted
};

struct ProjectRule {
    ProjectVerdict verdict = ProjectVerdict::NoRule;
    LineEndingFormat target = LineEndingFormat::Unix;  // with Target only
    // .editorconfig's insert_final_newline = true: a text file whose last
    // line has no break gets one of the target kind.
    bool insertFinalNewline = false;
};

class CProjectRules {
public:
    explicit CProjectRules(IFileSystem& fs);
    ~CProjectRules();
    CProjectRules(const CProjectRules&) = delete;
    CProjectRules& operator=(const CProjectRules&) = delete;

    // The rule for a file given by its full path. .gitattributes wins over
    // .editorconfig where both give a target.
    ProjectRule RuleFor(const std::string& fullPath);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Every .editorconfig property that applies to the file, lowercase names in
// the order each first appears in the files read (nearest file last), a
// later value replacing an earlier one in place. `configName` replaces
// ".editorconfig" as the name of the files read.
using EditorConfigProperties = std::vector<std::pair<std::string, std::string>>;
EditorConfigProperties ReadEditorConfig(IFileSystem& fs, const std::string& fullPath,
                                        const std::string& configName = ".editorconfig");
