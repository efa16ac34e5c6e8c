#include "platform/linux/posix_temp_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace cvk {

namespace {

class PosixTempFile final : public ITempFile {
public:
    explicit PosixTempFile(std::string path) : path_(std::move(path)) {}
    ~PosixTempFile() override { ::unlink(path_.c_str()); }
    const std::string& path() const override { return path_; }

private:
    std::string path_;
};

}  // namespace

PosixTempFiles::PosixTempFiles(std::string folder) : folder_(std::move(folder))
{
    if (folder_.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        folder_ = tmp && tmp[0] == '/' ? tmp : "/tmp";
    }
}

std::unique_ptr<ITempFile> PosixTempFiles::create(std::span<const uint8_t> content, std::string* error)
{
    std::string name = folder_ + "/cvkeys-image-XXXXXX.hex";
    std::vector<char> path(name.begin(), name.end());
    path.push_back('\0');
    int fd = ::mkstemps(path.data(), 4);
    if (fd < 0) {
        if (error)
            *error =
                std::string("cannot create a temporary file in ") + folder_ + ": " + std::strerror(errno);
        return nullptr;
    }
    auto file = std::make_unique<PosixTempFile>(path.data());
    std::size_t done = 0;
    while (done < content.size()) {
        ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (error)
                *error = std::string("cannot write ") + file->path() + ": " + std::strerror(errno);
            ::close(fd);
            return nullptr;  // removes the partial file
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        if (error)
            *error = std::string("cannot write ") + file->path() + ": " + std::strerror(errno);
        return nullptr;
    }
    return file;
}

}  // namespace cvk
