#include "tests/cli/run_program.h"

#include "tests/support/file_io.h"
#include "tests/support/scratch_dir.h"

#ifdef _WIN32
#include <windows.h>

#include <filesystem>

namespace {

std::wstring Wide(const std::string& utf8) {
    return std::filesystem::u8path(utf8).wstring();
}

HANDLE Inheritable(const std::string& path) {
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    return CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &sa, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& cwd) {
    ProgramRun run;
    ScratchDir io("pwcli-io");
    std::wstring line;
    for (const std::string& arg : args) {
        // No argument here ends in a backslash or holds a quote.
        if (!line.empty()) line += L' ';
        line += L'"' + Wide(arg) + L'"';
    }
    const HANDLE out = Inheritable(io.Path("out"));
    const HANDLE err = Inheritable(io.Path("err"));
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = out;
    si.hStdError = err;
    PROCESS_INFORMATION pi{};
    const std::wstring dir = Wide(cwd);
    if (CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                       cwd.empty() ? nullptr : dir.c_str(), &si, &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        run.status = static_cast<int>(code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(out);
    CloseHandle(err);
    run.out = ReadWholeFile(io.Path("out"));
    run.err = ReadWholeFile(io.Path("err"));
    return run;
}

#else
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

ProgramRun RunProgram(const std::vector<std::string>& args, const std::string& cwd) {
    ProgramRun run;
    ScratchDir io("pwcli-io");
    const std::string outPath = io.Path("out");
    const std::string errPath = io.Path("err");
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int in = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || in < 0 || (!cwd.empty() && chdir(cwd.c_str()) != 0)) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = ReadWholeFile(outPath);
    run.err = ReadWholeFile(errPath);
    return run;
}
#endif
