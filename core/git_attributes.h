#pragma once
// Git's attributes of files in a working tree, read the way Git reads them:
// the .gitattributes files from the working tree's root down to the file's
// folder, then .git/info/attributes; later lines and deeper files win, and
// "[attr]" macros (the built-in "binary" among them) set what they stand
// for. Each file is read once and kept; one object may be asked from
// several threads at once.

#include <memory>
#include <string>
#include <vector>

#include "core/platform/file_system.h"

enum class GitAttrState { Unspecified, Set, Unset, Value };

struct GitAttrValue {
    GitAttrState state = GitAttrState::Unspecified;
    std::string value;  // with Value only
};

class CGitAttributes {
public:
    explicit CGitAttributes(IFileSystem& fs);
    ~CGitAttributes();
    CGitAttributes(const CGitAttributes&) = delete;
    CGitAttributes& operator=(const CGitAttributes&) = delete;

    // The attributes names of the file at fullPath, in the order asked;
    // all Unspecified outside a working tree.
    std::vector<GitAttrValue> Lookup(const std::string& fullPath, const std::vector<std::string>& names);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
