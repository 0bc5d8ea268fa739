#include "diskfaults.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <dlfcn.h>
#include <mutex>
#include <unistd.h>

namespace {

std::atomic<bool> g_armed{false};
std::atomic<bool> g_readOnly{false};
std::atomic<bool> g_dying{false};
std::atomic<int> g_calls{0};
int g_nth = 0;
using diskfaults::Fault;
Fault g_fault = Fault::Once;
std::atomic<int> g_cutShort{-1}; // the file whose write was cut short
char g_part[PATH_MAX] = {};
std::mutex g_failedLock;
char g_failed[PATH_MAX] = {};

// Whether fd's path holds the part (path: that path).
bool matches(int fd, char (&path)[PATH_MAX])
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, path, sizeof path - 1);
    if (length < 0)
        return false;
    path[length] = '\0';
    return std::strstr(path, g_part) != nullptr;
}

// Whether the call on fd is one to fail; counts it when its path matches.
bool failsHere(int fd)
{
    char path[PATH_MAX];
    if (!g_armed.load(std::memory_order_acquire) || !matches(fd, path))
        return false;
    const int call = ++g_calls;
    if (g_nth <= 0 || call < g_nth || (call > g_nth && (g_fault == Fault::Once || g_fault == Fault::CutShort)))
        return false;
    g_readOnly = g_readOnly || g_fault == Fault::ReadOnly || g_fault == Fault::Dying;
    g_dying = g_dying || g_fault == Fault::Dying;
    std::lock_guard<std::mutex> lock(g_failedLock);
    if (!g_failed[0])
        std::strcpy(g_failed, path);
    return true;
}

// Whether a name at path may not change (errno then says so).
bool refused(const char* path)
{
    const bool readOnly = g_readOnly.load(std::memory_order_acquire) && std::strstr(path, g_part);
    if (readOnly)
        errno = g_dying ? EIO : EACCES;
    return readOnly;
}

// Whether a read or a listing of fd fails (errno then says so).
bool deadAt(int fd)
{
    char path[PATH_MAX];
    const bool dead = g_dying && matches(fd, path);
    errno = dead ? EIO : errno;
    return dead;
}

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" ssize_t write(int fd, const void* data, size_t size)
{
    static const auto real = next<ssize_t (*)(int, const void*, size_t)>("write");
    int cut = fd;
    const bool rest = g_cutShort.compare_exchange_strong(cut, -1); // of a write cut short
    if (rest || failsHere(fd)) {
        if (!rest && g_fault == Fault::CutShort && size > 1) {
            g_cutShort = fd;
            return real(fd, data, size / 2);
        }
        errno = g_dying ? EIO : ENOSPC;
        return -1;
    }
    return real(fd, data, size);
}

extern "C" ssize_t read(int fd, void* data, size_t size)
{
    static const auto real = next<ssize_t (*)(int, void*, size_t)>("read");
    return deadAt(fd) ? -1 : real(fd, data, size);
}

extern "C" struct dirent* readdir(DIR* dir)
{
    static const auto real = next<struct dirent* (*)(DIR*)>("readdir");
    return deadAt(::dirfd(dir)) ? nullptr : real(dir);
}

extern "C" int fsync(int fd)
{
    static const auto real = next<int (*)(int)>("fsync");
    if (failsHere(fd)) {
        errno = g_dying ? EIO : ENOSPC;
        return -1;
    }
    return real(fd);
}

// Read-only: names are neither renamed nor removed.
extern "C" int rename(const char* from, const char* to)
{
    static const auto real = next<int (*)(const char*, const char*)>("rename");
    return refused(from) || refused(to) ? -1 : real(from, to);
}

extern "C" int unlink(const char* path)
{
    static const auto real = next<int (*)(const char*)>("unlink");
    return refused(path) ? -1 : real(path);
}

namespace diskfaults {

void arm(const QByteArray& part, int nth, Fault fault)
{
    disarm();
    std::strncpy(g_part, part.constData(), sizeof g_part - 1);
    g_nth = nth;
    g_fault = fault;
    g_calls = 0;
    g_failed[0] = '\0';
    g_armed.store(true, std::memory_order_release);
}

void makeReadOnly(const QByteArray& part)
{
    disarm();
    std::strncpy(g_part, part.constData(), sizeof g_part - 1);
    g_readOnly.store(true, std::memory_order_release);
}

void disarm()
{
    g_armed.store(false, std::memory_order_release);
    g_readOnly.store(false, std::memory_order_release);
    g_dying.store(false, std::memory_order_release);
    g_cutShort = -1;
}

int calls()
{
    return g_calls;
}

QString failedPath()
{
    std::lock_guard<std::mutex> lock(g_failedLock);
    return QString::fromLocal8Bit(g_failed);
}

} // namespace diskfaults
