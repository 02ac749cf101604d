#include "core/project_rules.h"

// Placeholder until the readers land: no file has a rule.
struct CProjectRules::Impl {
    IFileSystem& fs;
};

CProjectRules::CProjectRules(IFileSystem& fs) : m_impl(new Impl{fs}) {}
CProjectRules::~CProjectRules() = default;

ProjectRule CProjectRules::RuleFor(const std::string&) { return ProjectRule{}; }

EditorConfigProperties ReadEditorConfig(IFileSystem&, const std::string&, const std::string&) { return {}; }
