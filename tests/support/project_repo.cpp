#include "tests/support/project_repo.h"

#include "tests/support/file_io.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

const std::vector<ProjectRepoFile>& ProjectRepoFiles() {
    static const std::vector<ProjectRepoFile> files = {
        {".editorconfig",
         "root = true\n\n[*.c]\nend_of_line = lf\ninsert_final_newline = true\n\n[*.bat]\nend_of_line = "
         "crlf\n\n"
         "[*.txt]\nend_of_line = cr\n",
         "", false},
        {".gitattributes", "*.txt text eol=crlf\n*.sh eol=lf\n*.dat binary\n", "", false},
        {".gitignore", "*.log\n", "", false},
        // .editorconfig alone: LF, and a break after the last line.
        {"main.c", "int a;\r\nint b;", "int a;\nint b;\n", false},
        {"lib.c", "x\ny", "x\ny\n", false},
        {"run.bat", "echo a\necho b\n", "echo a\r\necho b\r\n", false},
        // Both speak; .gitattributes wins.
        {"notes.txt", "one\ntwo\n", "one\r\ntwo\r\n", false},
        // .gitattributes alone.
        {"build.sh", "x\r\ny\r\n", "x\ny\n", false},
        // Marked binary: never converted, text or not.
        {"data.dat", "a\r\nb\n", "", false},
        // No rule in either file.
        {"readme.md", "a\r\nb\n", "", false},
        {"debug.log", "l\r\nm\n", "", true},
        // A deeper .gitattributes wins over the top one.
        {"docs/.gitattributes", "*.txt eol=lf\n", "", false},
        {"docs/guide.txt", "g\r\nh", "g\nh", false},
    };
    return files;
}

const std::vector<std::string>& ProjectRepoFolders() {
    static const std::vector<std::string> folders = {"docs"};
    return folders;
}

std::string ProjectRepoPath(const std::string& folder, const std::string& rel) {
    std::string path = folder + "/" + rel;
#ifdef _WIN32
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

namespace {

bool MakeFolder(const std::string& path) {
#ifdef _WIN32
    return CreateDirectoryA(path.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
#else
    return mkdir(path.c_str(), 0777) == 0 || errno == EEXIST;
#endif
}

// `git init -q` in folder; the exit status, or -1 if git could not start.
int GitInit(const std::string& folder) {
#ifdef _WIN32
    // Wine starts a Unix program given by its Unix path, in the Unix form
    // of the current folder handed to it. The handle it gives back does not
    // carry the program's end or status, so the repository's HEAD tells.
    std::string line = "/usr/bin/git init -q";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi))
        return -1;
    CloseHandle(pi.hProcess);
    CloseHandle(pi.hThread);
    const std::string head = folder + "\\.git\\HEAD";
    for (DWORD start = GetTickCount(); GetTickCount() - start < 30000; Sleep(50)) {
        if (GetFileAttributesA(head.c_str()) != INVALID_FILE_ATTRIBUTES) {
            Sleep(200);  // the rest of what git init writes
            return 0;
        }
    }
    return 1;
#else
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (chdir(folder.c_str()) != 0) _exit(126);
        execlp("git", "git", "init", "-q", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
#endif
}

}  // namespace

bool MakeProjectRepo(const std::string& folder, std::string* why) {
    const int status = GitInit(folder);
    if (status != 0) {
        *why = "git init in " + folder + " ended with " + std::to_string(status);
        return false;
    }
    for (const std::string& sub : ProjectRepoFolders()) {
        if (!MakeFolder(ProjectRepoPath(folder, sub))) {
            *why = "cannot make " + sub;
            return false;
        }
    }
    for (const ProjectRepoFile& file : ProjectRepoFiles()) {
        if (!WriteWholeFile(ProjectRepoPath(folder, file.rel), file.before)) {
            *why = std::string("cannot write ") + file.rel;
            return false;
        }
    }
    return true;
}
