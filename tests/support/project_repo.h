#pragma once
// A small Git working tree that says how its files end: an .editorconfig, a
// .gitattributes at the top and one deeper, and a .gitignore, made with the
// real `git init` so it has a real .git folder. The same tree serves the
// window, pardwell-cli and Gorsemere.

#include <string>
#include <vector>

struct ProjectRepoFile {
    const char* rel;  // with "/" between folders
    std::string before;
    std::string after;  // after a conversion as the project says; "" when left as it was
    bool ignored;       // Git ignores it

    const std::string& Expected() const { return after.empty() ? before : after; }
};

// Every file the tree holds, rule files first, in the order a sorted walk
// of the top folder and then of docs/ finds them.
const std::vector<ProjectRepoFile>& ProjectRepoFiles();

// The folders below the top that hold files ("docs").
const std::vector<std::string>& ProjectRepoFolders();

// Makes the tree in folder, which exists and is empty: `git init` run
// natively (on Windows through Wine's start of a Unix program), then the
// files. False, with *why set, if any step failed.
bool MakeProjectRepo(const std::string& folder, std::string* why);

// folder and rel joined with the platform's separator.
std::string ProjectRepoPath(const std::string& folder, const std::string& rel);
