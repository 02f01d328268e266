// The floor of any one-file-per-message export: split a mailbox at its "From " lines and write each
// message into N.eml of a folder, with nothing else done (no parsing, no line-end rewrite, no log).
//     bare_split MAILBOX FOLDER      prints the number of files written
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: bare_split MAILBOX FOLDER\n");
        return 2;
    }
    int in = ::open(argv[1], O_RDONLY);
    struct stat st {};
    if (in < 0 || ::fstat(in, &st) != 0) return 1;
    const auto size = static_cast<std::size_t>(st.st_size);
    void* map = size ? ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, in, 0) : nullptr;
    if (map == MAP_FAILED) return 1;
    std::string_view text(static_cast<const char*>(map), size);
    const std::string folder = std::string(argv[2]) + "/";
    std::size_t start = 0, count = 0;
    while (start < text.size()) {
        std::size_t next = text.find("\nFrom ", start);
        next = next == std::string_view::npos ? text.size() : next + 1;
        std::string name = folder + std::to_string(++count) + ".eml";
        int out = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (out < 0 || ::write(out, text.data() + start, next - start) < 0 || ::close(out) != 0) return 1;
        start = next;
    }
    std::printf("%zu\n", count);
    return 0;
}
