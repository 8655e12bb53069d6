#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "AtomicFile.h"

namespace pelmora::testing {

// System calls that note, in order, each fsync (of a file or of a folder)
// and each rename, for tests of what a save puts on disk and when.
class FileCallLog {
public:
    static std::vector<std::string>& calls() {
        static std::vector<std::string> log;
        return log;
    }

    static const FileSystemCalls& logged() {
        static const FileSystemCalls calls{FileSystemCalls::system().open, fsync, rename,
                                           FileSystemCalls::system().close};
        return calls;
    }

private:
    static int fsync(int fd) {
        struct stat info {};
        ::fstat(fd, &info);
        calls().push_back(S_ISDIR(info.st_mode) ? "fsync folder" : "fsync file");
        return ::fsync(fd);
    }

    static int rename(const char* from, const char* to) {
        calls().push_back("rename");
        return std::rename(from, to);
    }
};

}  // namespace pelmora::testing
