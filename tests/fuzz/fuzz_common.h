#pragma once
// Helpers shared by the fuzz targets.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace cvk::fuzz {

// A file on tmpfs for inputs that the program reads from a file: one per
// process and target, reused for every input, removed at exit.
class ScratchFile {
public:
    explicit ScratchFile(const char* tag)
        : path_(std::string(access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp") + "/cvkeys-fuzz-" + tag +
                "-" + std::to_string(getpid()))
    {}
    ~ScratchFile() { std::remove(path_.c_str()); }
    const std::string& path() const { return path_; }
    // Replaces the file's contents; false when it could not be written.
    bool write(const uint8_t* data, size_t size) const
    {
        std::FILE* f = std::fopen(path_.c_str(), "wb");
        if (!f)
            return false;
        const bool ok = std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) != 0 || !ok)
            return false;
        // A time stamp of its own for every input: QSettings reuses its
        // parse of a file whose size and time stamp (in milliseconds) are
        // unchanged, and two inputs of one size can come within a
        // millisecond.
        ++writes_;
        const timespec times[2] = {{writes_, 0}, {writes_, 0}};
        return utimensat(AT_FDCWD, path_.c_str(), times, 0) == 0;
    }

private:
    std::string path_;
    mutable time_t writes_ = 0;
};

}  // namespace cvk::fuzz
