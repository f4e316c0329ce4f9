// fuzz_input.h: hands a fuzz input to code that only opens files by path.
//
// The scene loaders and the MP3 decoder take a path. InputFile keeps one
// anonymous in-memory file (memfd) for the life of the fuzzer and rewrites it
// for every input; path() names it through /proc/self/fd, so every open sees
// exactly the current input and nothing touches the disk.
#pragma once

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace marrowfuzz {

class InputFile {
public:
    InputFile() {
        fd_ = memfd_create("marrow-fuzz-input", 0);
        if (fd_ < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        path_ = "/proc/self/fd/" + std::to_string(fd_);
    }

    // Replaces the file's contents with the input.
    const std::string& write(const uint8_t* data, size_t size) {
        if (ftruncate(fd_, 0) != 0) std::abort();
        size_t done = 0;
        while (done < size) {
            ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) std::abort();
            done += static_cast<size_t>(n);
        }
        return path_;
    }

private:
    int fd_ = -1;
    std::string path_;
};

}  // namespace marrowfuzz
