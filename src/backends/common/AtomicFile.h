#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace pelmora {

// The system calls a file's durability rests on, so that a test can watch
// them (was the folder synced after the rename?) or make them fail.
struct FileSystemCalls {
    int (*open)(const char* path, int flags, mode_t mode);
    int (*fsync)(int fd);
    int (*rename)(const char* from, const char* to);
    int (*close)(int fd);

    static const FileSystemCalls& system();
};

// A file written under a temporary name beside its final path and renamed
// over it only by commit(), so that an existing file of the final name stays
// as it was until the new one is complete, and a run that fails or is killed
// never leaves a partial file under the final name. The temporary file is
// removed unless committed.
//
// Temporary names carry a mark no one else makes: a leading dot, the final
// name, the process id and a counter, the purpose, and ".tmp-pelmora" at the
// end (".clip.mp4.4242-0.part.tmp-pelmora"). Only names with that mark are
// ever removed as leftovers.
class AtomicFile {
public:
    static constexpr std::string_view kMark = ".tmp-pelmora";
    // A leftover not touched for this long is written by no one any more: a
    // live writer (ffmpeg included) keeps changing it.
    static constexpr std::chrono::seconds kAbandonedAfter{60};

    // Makes the path absolute; creates nothing yet.
    explicit AtomicFile(const std::filesystem::path& finalPath, std::string purpose = "part",
                        const FileSystemCalls& calls = FileSystemCalls::system());
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Creates the temporary file, empty and new (never one that was there
    // already), and keeps it open for writing. False with error() saying why.
    bool create(mode_t mode = 0666);
    int fd() const { return fd_; }
    // Closes the descriptor, reporting a failed close as a write error.
    bool closeFile();
    // Puts the file's data on disk, closes it, renames it to the final path
    // and puts the folder's new entry on disk.
    bool commit();
    // Removes the temporary file, if any; nothing else is touched.
    void discard();

    const std::filesystem::path& finalPath() const { return final_; }
    const std::filesystem::path& temporaryPath() const { return temporary_; }
    const std::string& error() const { return error_; }

    // Whether `name` is one of our temporary names for a final name that
    // begins with `finalNameStart`.
    static bool isTemporaryName(std::string_view name, std::string_view finalNameStart);
    // Removes the regular files in `folder` that carry our mark for a final
    // name beginning with `finalNameStart` and have not changed for
    // kAbandonedAfter: what a killed run left.
    static void removeAbandoned(const std::filesystem::path& folder, std::string_view finalNameStart);
    // The same for the temporaries of one final path.
    static void removeAbandonedBeside(const std::filesystem::path& finalPath);

private:
    bool failWith(const std::string& what, int error);

    std::filesystem::path final_;
    std::string purpose_;
    const FileSystemCalls& calls_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool created_ = false;
    std::string error_;
};

}  // namespace pelmora
