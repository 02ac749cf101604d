#pragma once
// Which files Git ignores, decided here with Git's own rules so that it
// works where Git is not installed: .gitignore at every level of a working
// tree, the repository's info/exclude and the user's global excludes file.
// Each folder's rules are read once and kept for the object's life.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "core/platform/file_system.h"

// Where the user's own Git configuration lives.
struct GitUserPlaces {
    std::string home;           // HOME, or on Windows USERPROFILE where HOME is not set
    std::string xdgConfigHome;  // XDG_CONFIG_HOME; empty: home/.config
    static GitUserPlaces FromEnvironment();
};

// One line of an ignore file.
struct IgnorePattern {
    // Literal: no glob at all. Suffix: '*' then a literal. Tail: '*' then a
    // glob without '*', which can only match the name's last `length` bytes.
    enum class Kind { Literal, Suffix, Tail, Glob };
    std::string text;  // without '!', the trailing '/' and a leading '/'; Suffix and Tail: after the '*'
    Kind kind = Kind::Glob;
    int length = -1;  // Tail, and a Glob without '*': the length of every text it matches
    bool negative = false;
    bool directoryOnly = false;
    bool nameOnly = false;  // no '/' in it: matched against the last name at any depth
};

// The lines of one ignore file, in file order.
std::vector<IgnorePattern> ParseIgnorePatterns(const std::string& text);

struct GitRepository;
struct IgnoreLevel;
// The rules that apply to the entries of one folder; null outside every
// working tree.
using IgnoreScope = std::shared_ptr<const IgnoreLevel>;

class CGitIgnore {
public:
    explicit CGitIgnore(IFileSystem& fs, GitUserPlaces places = GitUserPlaces::FromEnvironment());
    ~CGitIgnore();
    CGitIgnore(const CGitIgnore&) = delete;
    CGitIgnore& operator=(const CGitIgnore&) = delete;

    // The scope of the entries of folder (absolute), found by looking upwards
    // for the working tree's ".git". *ignored is set when folder itself, or a
    // folder between it and the working tree's top, is ignored.
    IgnoreScope ScopeOf(const std::string& folder, bool* ignored);
    // The scope inside the subfolder `name` at `path` of a folder whose scope
    // is parent, from that subfolder's own listing: a ".git" there starts a
    // working tree of its own, a ".gitignore" adds its rules.
    IgnoreScope Descend(const IgnoreScope& parent, const std::string& path, const std::string& name,
                        const std::vector<DirEntry>& entries);
    // Whether the entry `name` of a folder with this scope is ignored. A
    // working tree's ".git" always is.
    static bool Ignored(const IgnoreScope& scope, const std::string& name, bool directory);

    // One path on its own, as `git check-ignore` answers it.
    bool IsIgnored(const std::string& path, bool directory);

private:
    std::shared_ptr<const GitRepository> Repository(const std::string& top);
    IgnoreScope Child(const IgnoreScope& parent, const std::string& path, const std::string& name,
                      bool hasIgnoreFile);
    std::vector<IgnorePattern> ReadPatterns(const std::string& path);
    std::string ReadText(const std::string& path);

    IFileSystem& m_fs;
    GitUserPlaces m_places;
    struct UserConfig;
    std::unique_ptr<UserConfig> m_user;
    std::map<std::string, std::shared_ptr<const GitRepository>> m_repositories;
    std::map<std::string, std::shared_ptr<const std::vector<IgnorePattern>>> m_excludesFiles;
    struct Known {
        IgnoreScope scope;
        bool ignored = false;
    };
    std::map<std::string, Known> m_folders;
};
