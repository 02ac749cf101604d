#pragma once
// A new, empty folder under the system's temporary folder for one test, and
// removed with everything in it (read-only files too) when it goes.

#include <string>

class ScratchDir {
public:
    // The folder's name starts with prefix and goes on with the process id
    // and a serial number, so that parallel test programs never share one.
    explicit ScratchDir(const std::string& prefix = "pardwell-");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    // Empty if the folder could not be made.
    const std::string& path() const { return m_path; }
    // name inside the folder, joined with the platform's separator.
    std::string Path(const std::string& name) const;

private:
    std::string m_path;
};
