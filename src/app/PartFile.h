#pragma once

#include <filesystem>
#include <string>

namespace pelmora {

// A file written under a hidden temporary name beside its final path and
// renamed over it only by commit(), so that an existing file of the final
// name stays as it was until the new one is complete, and a run that fails
// or is killed never leaves a partial file under the final name. The
// temporary file is removed unless committed.
class PartFile {
public:
    // Makes the path absolute; creates nothing yet.
    explicit PartFile(const std::filesystem::path& finalPath, std::string suffix = "part");
    ~PartFile();
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    // Creates the temporary file, empty, under a name no other file has, and
    // keeps it open for writing. False with error() saying why.
    bool create();
    int fd() const { return fd_; }
    // Closes the descriptor, reporting a failed close as a write error.
    bool closeFile();
    // Closes the file and renames it to the final path.
    bool commit();
    // Removes the temporary file, if any; nothing else is touched.
    void discard();

    const std::filesystem::path& finalPath() const { return final_; }
    const std::filesystem::path& temporaryPath() const { return temporary_; }
    const std::string& error() const { return error_; }

private:
    std::filesystem::path final_;
    std::string suffix_;
    std::filesystem::path temporary_;
    int fd_ = -1;
    bool created_ = false;
    std::string error_;
};

}  // namespace pelmora
