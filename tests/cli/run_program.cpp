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
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/capability.h>
#include <sys/prctl.h>
#endif

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

ProgramRun RunAttached(const std::vector<std::string>& args, Attach out, Attach err, int columns) {
    ProgramRun run;
    ScratchDir io("pwcli-io");
    int master = -1, terminal = -1;
    if (out == Attach::Terminal || err == Attach::Terminal) {
        winsize size{};
        size.ws_row = 24;
        size.ws_col = static_cast<unsigned short>(columns);
        if (openpty(&master, &terminal, nullptr, nullptr, &size) != 0) return run;
    }
    int pipes[2][2] = {{-1, -1}, {-1, -1}};
    const Attach attach[2] = {out, err};
    for (int i = 0; i < 2; ++i)
        if (attach[i] == Attach::Pipe && pipe(pipes[i]) != 0) return run;
    const std::string files[2] = {io.Path("out"), io.Path("err")};
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
#ifdef __linux__
        // Root reads any file otherwise; only the bounding set outlives exec.
        prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0);
        prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0);
#endif
        const int in = open("/dev/null", O_RDONLY);
        if (in < 0) _exit(127);
        dup2(in, 0);
        for (int i = 0; i < 2; ++i) {
            int fd = attach[i] == Attach::Terminal ? terminal
                     : attach[i] == Attach::Pipe   ? pipes[i][1]
                                                 : open(files[i].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || dup2(fd, i + 1) < 0) _exit(127);
        }
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (terminal >= 0) close(terminal);
    // Read every pipe and the terminal to their ends while the program
    // runs, so that it never blocks on a full one.
    std::string caught[2];
    std::vector<pollfd> polled;
    std::vector<std::string*> into;
    for (int i = 0; i < 2; ++i)
        if (attach[i] == Attach::Pipe) {
            close(pipes[i][1]);
            polled.push_back({pipes[i][0], POLLIN, 0});
            into.push_back(&caught[i]);
        }
    if (master >= 0) {
        polled.push_back({master, POLLIN, 0});
        into.push_back(&caught[out == Attach::Terminal ? 0 : 1]);
    }
    while (pid > 0 && !polled.empty()) {
        if (poll(polled.data(), polled.size(), -1) < 0) break;
        for (size_t i = polled.size(); i-- > 0;) {
            if (polled[i].revents == 0) continue;
            char buffer[4096];
            const ssize_t got = read(polled[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                into[i]->append(buffer, static_cast<size_t>(got));
                continue;
            }
            // The end of a pipe, or EIO once the terminal's last user left.
            close(polled[i].fd);
            polled.erase(polled.begin() + static_cast<long>(i));
            into.erase(into.begin() + static_cast<long>(i));
        }
    }
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.status = WEXITSTATUS(status);
    run.out = out == Attach::File ? ReadWholeFile(files[0]) : caught[0];
    run.err = err == Attach::File ? ReadWholeFile(files[1]) : caught[1];
    return run;
}
#endif
