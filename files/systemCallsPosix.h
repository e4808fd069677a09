// The POSIX calls the file helper makes, in one table: systemFilePosix.cpp calls
// only through it, so a test can make any of them fail.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>

namespace files::os {

struct SystemCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*close)(int file);
    int (*lstat)(const char* path, struct stat* status);
    int (*stat)(const char* path, struct stat* status);
    int (*fstat)(int file, struct stat* status);
    ssize_t (*readlink)(const char* path, char* buffer, std::size_t size);
    int (*fchmod)(int file, mode_t mode);
    ssize_t (*read)(int file, void* buffer, std::size_t size);
    ssize_t (*write)(int file, const void* buffer, std::size_t size);
    off_t (*lseek)(int file, off_t offset, int whence);
    int (*ftruncate)(int file, off_t length);
    int (*fsync)(int file);
    int (*rename)(const char* from, const char* to);
    int (*unlink)(const char* path);
    int (*flock)(int file, int operation);
    int (*dup)(int file); // with close-on-exec
    int (*mkdir)(const char* path, mode_t mode);
    int (*rmdir)(const char* path);
    DIR* (*opendir)(const char* path);
    struct dirent* (*readdir)(DIR* folder);
    int (*closedir)(DIR* folder);
};

} // namespace files::os
