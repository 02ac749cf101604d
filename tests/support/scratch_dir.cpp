#include "tests/support/scratch_dir.h"

#include <filesystem>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

ScratchDir::ScratchDir(const std::string& prefix) {
    static int serial = 0;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return;
    // A folder left by an earlier process with the same id is not ours.
    for (int tries = 0; tries < 100; ++tries) {
        const fs::path dir =
            base / (prefix + std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(++serial));
        if (fs::create_directory(dir, ec)) {
            m_path = dir.string();
            return;
        }
    }
}

ScratchDir::~ScratchDir() {
    if (m_path.empty()) return;
    std::error_code ec;
    // Read-only files (and, on POSIX, folders without write permission)
    // would stop the removal.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code ignored;
        if (!it->is_symlink(ignored))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(m_path, ec);
}

std::string ScratchDir::Path(const std::string& name) const {
#ifdef _WIN32
    return m_path + "\\" + name;
#else
    return m_path + "/" + name;
#endif
}
