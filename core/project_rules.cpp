#include "core/project_rules.h"

#include "core/editorconfig.h"
#include "core/git_attributes.h"

struct CProjectRules::Impl {
    explicit Impl(IFileSystem& fs) : editorConfig(fs), gitAttributes(fs) {}
    CEditorConfigReader editorConfig;
    CGitAttributes gitAttributes;
};

CProjectRules::CProjectRules(IFileSystem& fs) : m_impl(new Impl(fs)) {}
CProjectRules::~CProjectRules() = default;

ProjectRule CProjectRules::RuleFor(const std::string& fullPath) {
    ProjectRule rule;
    bool finalNewline = false;
    for (const auto& property : m_impl->editorConfig.Properties(fullPath)) {
        if (property.first == "insert_final_newline") finalNewline = property.second == "true";
        if (property.first != "end_of_line") continue;
        rule.verdict = ProjectVerdict::Target;
        if (property.second == "lf")
            rule.target = LineEndingFormat::Unix;
        else if (property.second == "crlf")
            rule.target = LineEndingFormat::Windows;
        else if (property.second == "cr")
            rule.target = LineEndingFormat::Macintosh;
        else
            rule.verdict = ProjectVerdict::NoRule;
    }
    // .gitattributes wins: it is what Git writes on checkout. "-text" (and
    // "binary", which sets it) keeps Git from touching the file at all.
    const std::vector<GitAttrValue> git = m_impl->gitAttributes.Lookup(fullPath, {"text", "eol"});
    if (git[0].state == GitAttrState::Unset) {
        rule.verdict = ProjectVerdict::Binary;
    } else if (git[1].state == GitAttrState::Value && (git[1].value == "lf" || git[1].value == "crlf")) {
        rule.verdict = ProjectVerdict::Target;
        rule.target = git[1].value == "lf" ? LineEndingFormat::Unix : LineEndingFormat::Windows;
    }
    rule.insertFinalNewline = rule.verdict == ProjectVerdict::Target && finalNewline;
    if (rule.verdict != ProjectVerdict::Target) rule.target = LineEndingFormat::Unix;
    return rule;
}

EditorConfigProperties ReadEditorConfig(IFileSystem& fs, const std::string& fullPath,
                                        const std::string& configName) {
    return CEditorConfigReader(fs, configName).Properties(fullPath);
}
