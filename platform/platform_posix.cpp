// SPDX-License-Identifier: MIT
#include "platform/platform.h"
#include "platform/procnetudp.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifdef __linux__
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

namespace Platform {

namespace {

int heldGuard = -1; // the guard's lock file, open for the life of the process

// The lock file at path, never through a link, and only a regular file of this user: a file
// another user planted (or holds the lock on) must not keep this user's copy from starting.
// -1 with why otherwise.
int openLockFile(const std::string &path, std::string &why)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        why = errno == ELOOP ? "a symbolic link" : std::strerror(errno);
        return -1;
    }
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        why = "not a regular file of this user";
        return -1;
    }
    return fd;
}

// $XDG_CACHE_HOME/Orvane (made 0700), where the guard goes when the temp folder's cannot be
// used; empty when it is no folder of this user's.
std::string privateLockFolder()
{
    const char *cache = std::getenv("XDG_CACHE_HOME");
    const char *home = std::getenv("HOME");
    if ((!cache || *cache != '/') && (!home || !*home))
        return {};
    const std::string base =
        cache && *cache == '/' ? std::string(cache) : std::string(home) + "/.cache";
    ::mkdir(base.c_str(), 0700);
    const std::string dir = base + "/Orvane";
    ::mkdir(dir.c_str(), 0700);
    struct stat st = {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid())
        return {};
    return dir;
}

#ifdef __linux__
// The UDP sockets of one address family through the kernel's socket diagnostics, a tenth of
// the cost of reading /proc/net/udp as text (5 against 40 to 80 ms with 10,000 sockets here);
// false where they cannot be had.
bool appendDiagSockets(unsigned char family, UdpSockets &sockets)
{
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0)
        return false;
    struct
    {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } message{};
    message.header.nlmsg_len = sizeof message;
    message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    message.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    message.request.sdiag_family = family;
    message.request.sdiag_protocol = IPPROTO_UDP;
    message.request.idiag_states = ~0U;
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    bool done = ::sendto(fd, &message, sizeof message, 0, reinterpret_cast<sockaddr *>(&kernel),
                         sizeof kernel)
        != sizeof message;
    bool ok = !done;
    const uid_t uid = ::geteuid();
    alignas(nlmsghdr) char buffer[65536];
    while (!done) {
        ssize_t size = ::recv(fd, buffer, sizeof buffer, 0);
        if (size <= 0) {
            ok = false;
            break;
        }
        for (auto *header = reinterpret_cast<nlmsghdr *>(buffer); NLMSG_OK(header, size);
             header = NLMSG_NEXT(header, size)) {
            if (header->nlmsg_type == NLMSG_DONE || header->nlmsg_type == NLMSG_ERROR) {
                ok = header->nlmsg_type == NLMSG_DONE;
                done = true;
                break;
            }
            if (header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg)))
                continue;
            const auto *found = static_cast<const inet_diag_msg *>(NLMSG_DATA(header));
            UdpSocket socket;
            socket.local.port = ntohs(found->id.idiag_sport);
            if (found->idiag_family == AF_INET) {
                socket.local.address[10] = socket.local.address[11] = 0xff;
                std::memcpy(socket.local.address.data() + 12, found->id.idiag_src, 4);
            } else {
                std::memcpy(socket.local.address.data(), found->id.idiag_src, 16);
            }
            socket.ours = found->idiag_uid == uid;
            sockets.push_back(socket);
        }
    }
    ::close(fd);
    return ok;
}
#endif

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

InstanceGuard acquireInstanceGuard(const char *name, std::string *note)
{
    std::string why;
    int fd = -1;
    if (const char *runtimeDir = std::getenv("XDG_RUNTIME_DIR"); runtimeDir && *runtimeDir)
        fd = openLockFile(std::string(runtimeDir) + '/' + name + ".lock", why);
    if (fd < 0) {
        // Shared by every user: a file there may have been planted.
        const char *tmp = std::getenv("TMPDIR");
        const std::string dir = tmp && *tmp ? tmp : "/tmp";
        const std::string path = dir + '/' + name + '-' + std::to_string(::getuid()) + ".lock";
        fd = openLockFile(path, why);
        if (fd < 0) {
            const std::string own = privateLockFolder();
            std::fprintf(stderr, "single instance: %s cannot be used (%s) - %s\n", path.c_str(),
                         why.c_str(),
                         own.empty() ? "and there is no cache folder of this user's"
                                     : ("the lock is taken in " + own).c_str());
            if (!own.empty())
                fd = openLockFile(own + '/' + name + ".lock", why);
        }
    }
    if (fd < 0)
        return InstanceGuard::Unavailable;

    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        if (held && note) {
            char text[256];
            const ssize_t size = ::pread(fd, text, sizeof text, 0);
            note->assign(text, static_cast<size_t>(std::max<ssize_t>(size, 0)));
        }
        ::close(fd);
        return held ? InstanceGuard::AlreadyRunning : InstanceGuard::Unavailable;
    }
    // The descriptor stays open on purpose: the kernel drops the lock when the process ends.
    heldGuard = fd;
    return InstanceGuard::Acquired;
}

bool setInstanceGuardNote(const std::string &note)
{
    return heldGuard >= 0 && ::ftruncate(heldGuard, 0) == 0
        && ::pwrite(heldGuard, note.data(), note.size(), 0) == static_cast<ssize_t>(note.size());
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

UdpSockets udpSockets()
{
    UdpSockets sockets;
#ifdef __linux__
    if (appendDiagSockets(AF_INET, sockets) && appendDiagSockets(AF_INET6, sockets))
        return sockets;
    sockets.clear();
#endif
    // Where there is no /proc/net either (not Linux), nothing can be told.
    std::string tables;
    for (const char *path : {"/proc/net/udp", "/proc/net/udp6"}) {
        std::ifstream table(path);
        tables.append(std::istreambuf_iterator<char>(table), std::istreambuf_iterator<char>());
        tables += '\n';
    }
    // A socket's uid is the file system uid of the process that made it: the effective one.
    return parseProcNetUdp(tables, ::geteuid());
}

RenameResult renameNoReplace(const std::string &from, const std::string &to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return RenameResult::Renamed;
    if (errno == EEXIST)
        return RenameResult::TargetExists;
    if (errno != EINVAL && errno != ENOSYS)
        return RenameResult::Failed;
    // A file system without the flag: a second name for the file, which fails where one
    // exists, then the first name taken away.
    if (::link(from.c_str(), to.c_str()) != 0)
        return errno == EEXIST ? RenameResult::TargetExists : RenameResult::Failed;
    ::unlink(from.c_str());
    return RenameResult::Renamed;
}

namespace {

mode_t startingMask = 022;

} // namespace

void keepNewFilesPrivate()
{
    startingMask = ::umask(077);
}

unsigned sharedFileMode()
{
    return 0666 & ~unsigned(startingMask);
}

SharedFileMask::SharedFileMask()
    : m_mask(::umask(startingMask))
{
}

SharedFileMask::~SharedFileMask()
{
    ::umask(mode_t(m_mask));
}

bool sandboxCanRun()
{
    if (::geteuid() == 0)
        return false;
    // Asked of a throwaway child: the namespaces are the child's alone and end with it.
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0)
        ::_exit(::unshare(CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET) == 0 ? 0 : 1);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace Platform
