// SPDX-License-Identifier: MIT
#include "platform/platform.h"
#include "platform/procnetudp.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace Platform {

namespace {

int openLockFile(const std::string &path)
{
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
        && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

std::string baseName(const std::string &path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string processFileName(const std::string &procDir)
{
    char target[4096];
    const ssize_t n = ::readlink((procDir + "/exe").c_str(), target, sizeof target - 1);
    if (n > 0) {
        std::string path(target, static_cast<size_t>(n));
        constexpr std::string_view deleted = " (deleted)";
        if (path.size() > deleted.size()
            && path.compare(path.size() - deleted.size(), deleted.size(), deleted) == 0)
            path.resize(path.size() - deleted.size());
        return baseName(path);
    }
    // Where the link cannot be read, the kernel still tells the command name.
    std::ifstream comm(procDir + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Alive (not a zombie) and started by this user (its real uid): the fields of its status.
bool isLiveProcessOfThisUser(const std::string &procDir)
{
    std::ifstream status(procDir + "/status");
    bool live = false;
    bool ours = false;
    for (std::string line; std::getline(status, line);) {
        if (line.compare(0, 6, "State:") == 0) {
            const auto state = line.find_first_not_of(" \t", 6);
            live = state != std::string::npos && line[state] != 'Z';
        } else if (line.compare(0, 4, "Uid:") == 0) {
            ours = std::strtoul(line.c_str() + 4, nullptr, 10) == ::getuid();
        }
    }
    return live && ours; // a process gone meanwhile has neither
}

bool isRunning(const std::string &procDir, const std::string &fileName)
{
    return isLiveProcessOfThisUser(procDir)
        && equalsIgnoringCase(processFileName(procDir), fileName);
}

} // namespace

InstanceGuard acquireInstanceGuard(const char *name)
{
    int fd = -1;
    if (const char *runtimeDir = std::getenv("XDG_RUNTIME_DIR"); runtimeDir && *runtimeDir)
        fd = openLockFile(std::string(runtimeDir) + '/' + name + ".lock");
    if (fd < 0) {
        const char *tmp = std::getenv("TMPDIR");
        const std::string dir = tmp && *tmp ? tmp : "/tmp";
        fd = openLockFile(dir + '/' + name + '-' + std::to_string(::getuid()) + ".lock");
    }
    if (fd < 0)
        return InstanceGuard::Unavailable;

    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return held ? InstanceGuard::AlreadyRunning : InstanceGuard::Unavailable;
    }
    // The descriptor stays open on purpose: the kernel drops the lock when the process ends.
    return InstanceGuard::Acquired;
}

std::string executableFileName(const std::string &baseName)
{
    return baseName;
}

bool isProcessRunning(const std::string &fileName)
{
    DIR *proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    while (!found) {
        const dirent *entry = ::readdir(proc);
        if (!entry)
            break;
        const std::string_view pid = entry->d_name;
        if (pid.empty() || !std::all_of(pid.begin(), pid.end(), ::isdigit))
            continue;
        found = isRunning("/proc/" + std::string(pid), fileName);
    }
    ::closedir(proc);
    return found;
}

bool isProcessRunning(long pid, const std::string &fileName)
{
    return pid > 0 && isRunning("/proc/" + std::to_string(pid), fileName);
}

long parentProcessId()
{
    return static_cast<long>(::getppid());
}

std::string programPath(const std::string &dir, const std::string &fileName)
{
    return dir + '/' + fileName;
}

SocketOwner udpSocketOwner(const UdpEndpoint &endpoint)
{
    // Where there is no /proc/net (not Linux), nothing can be told: Unknown.
    std::string tables;
    for (const char *path : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream table(path);
        tables.append(std::istreambuf_iterator<char>(table), std::istreambuf_iterator<char>());
        tables += '\n';
    }
    // A socket's uid is the file system uid of the process that made it: the effective one.
    return udpSocketOwnerIn(tables, endpoint, ::geteuid());
}

} // namespace Platform
