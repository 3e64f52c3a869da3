#include "portusers.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "commsutil.h"

namespace wendrel {

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

bool isNumber(const char* name)
{
    if (!*name)
        return false;
    for (const char* c = name; *c; ++c)
        if (!std::isdigit(static_cast<unsigned char>(*c)))
            return false;
    return true;
}

// Whether any descriptor of the process is the character device rdev. Only
// descriptors that name something under /dev are looked at closely.
bool holds(const std::string& pid, dev_t rdev)
{
    const std::string fds = "/proc/" + pid + "/fd";
    Dir dir(::opendir(fds.c_str()));
    if (!dir)
        return false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!isNumber(entry->d_name))
            continue;
        const std::string fd = fds + "/" + entry->d_name;
        char target[64];
        const ssize_t n = ::readlink(fd.c_str(), target, sizeof target - 1);
        if (n < 5 || std::strncmp(target, "/dev/", 5) != 0)
            continue;
        struct stat st {};
        if (::stat(fd.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == rdev)
            return true;
    }
    return false;
}

std::string nameOf(const std::string& pid)
{
    char name[64] = {};
    std::FILE* file = std::fopen(("/proc/" + pid + "/comm").c_str(), "r");
    if (!file)
        return "?";
    if (!std::fgets(name, sizeof name, file))
        name[0] = '\0';
    std::fclose(file);
    name[std::strcspn(name, "\n")] = '\0';
    return name[0] ? name : "?";
}

} // namespace

std::string otherUsersOf(const std::string& device)
{
    struct stat st {};
    if (device.empty() || ::stat(device.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return {};
    Dir proc(::opendir("/proc"));
    if (!proc)
        return {};
    const std::string self = format("%ld", static_cast<long>(::getpid()));
    std::string users;
    int count = 0;
    while (const dirent* entry = ::readdir(proc.get())) {
        if (!isNumber(entry->d_name) || self == entry->d_name || !holds(entry->d_name, st.st_rdev))
            continue;
        // A few names are enough to act on; the rest would only crowd the box.
        if (++count > 3) {
            users += ", ...";
            break;
        }
        if (!users.empty())
            users += ", ";
        users += nameOf(entry->d_name) + " (pid " + entry->d_name + ")";
    }
    return users;
}

} // namespace wendrel
