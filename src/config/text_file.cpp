#include "text_file.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "encoding.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace vexilo {

std::vector<std::string> split_text_lines(const std::string& text) {
    // A text without any LF (a raw capture of instrument replies) ends its lines with CR.
    // Otherwise LF ends a line and a CR before it goes with it; any other CR stays in its
    // line, to be judged where it matters (a command line), not here.
    const char end_of_line = text.find('\n') == std::string::npos ? '\r' : '\n';
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(end_of_line, start);
        const bool last = end == std::string::npos;
        if (last) end = text.size();
        std::size_t stop = end;
        if (end_of_line == '\n' && stop > start && text[stop - 1] == '\r') --stop;
        lines.emplace_back(text, start, stop - start);
        start = last ? text.size() : end + 1;
    }
    return lines;
}

std::string cannot_open_message(const std::string& path, const std::string& problem) {
    return "Cannot open file " + path_to_program_text(path) +
           (problem.empty() ? "" : " (" + problem + ")");
}

std::optional<std::vector<std::string>> read_text_lines(const std::string& path,
                                                        std::string* problem) {
    const auto refuse = [problem](const char* why) {
        if (problem != nullptr) *problem = why;
        return std::nullopt;
    };
    if (problem != nullptr) problem->clear();
    if (path.empty()) return std::nullopt;
    static const std::string too_large =
        "larger than " + std::to_string(MAX_TEXT_FILE_SIZE >> 20) + " MiB";
#if defined(_WIN32)
    std::error_code error;
    if (!std::filesystem::exists(path, error)) return std::nullopt;
    if (!std::filesystem::is_regular_file(path, error)) return refuse("not a regular file");
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > MAX_TEXT_FILE_SIZE) return refuse(too_large.c_str());
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
#else
    // Opened without waiting, so that a FIFO without a writer cannot hang the program.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    // A pipe is read when the operator names it (standard input, "<(...)", a FIFO): up to
    // its end, as a file. A device or a socket might never end.
    const bool known = ::fstat(fd, &info) == 0;
    const bool pipe = known && S_ISFIFO(info.st_mode);
    if (!known || (!pipe && !S_ISREG(info.st_mode))) {
        ::close(fd);
        return refuse("not a regular file");
    }
    if (pipe) {
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
            ::close(fd);
            return std::nullopt;
        }
    }
    if (static_cast<unsigned long long>(info.st_size) > MAX_TEXT_FILE_SIZE) {
        ::close(fd);
        return refuse(too_large.c_str());
    }
    std::string text;
    text.resize(static_cast<std::size_t>(info.st_size) + 1);
    std::size_t done = 0;
    bool ok = true;
    // The file may grow while it is read: the limit holds all the same.
    while (done <= MAX_TEXT_FILE_SIZE) {
        if (done == text.size()) text.resize(std::min(text.size() * 2, MAX_TEXT_FILE_SIZE + 1));
        const ssize_t n = ::read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    text.resize(done);
#endif
    if (text.size() > MAX_TEXT_FILE_SIZE) return refuse(too_large.c_str());
    return split_text_lines(text);
}

namespace {

std::string temporary_name(const std::string& path) {
    static std::mt19937_64 random{std::random_device{}()};
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".%016llx.tmp", static_cast<unsigned long long>(random()));
    return path + suffix;
}

bool is_hex_digit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// The temporary files that earlier saves of the target left when they were killed: the
// target's name, "." and 16 hex digits, ".tmp". One scan of the folder per save.
void remove_stale_temporaries(const std::string& target) {
    const std::filesystem::path file(target);
    const std::string name = file.filename().string();
    const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) return;
    const std::size_t length = name.size() + 1 + 16 + 4;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) return;
        const std::string other = it->path().filename().string();
        if (other.size() != length || other.compare(0, name.size(), name) != 0 ||
            other[name.size()] != '.' || other.compare(length - 4, 4, ".tmp") != 0) {
            continue;
        }
        if (!std::all_of(other.begin() + static_cast<long>(name.size()) + 1, other.end() - 4,
                         is_hex_digit)) {
            continue;
        }
        std::error_code ignored;
        std::filesystem::remove(it->path(), ignored);
    }
}

#if defined(_WIN32)
bool write_and_sync(const std::string& name, const std::string& bytes) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 20));
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    ok = ok && FlushFileBuffers(file);
    CloseHandle(file);
    return ok;
}

bool replace_file(const std::string& from, const std::string& to) {
    return MoveFileExA(from.c_str(), to.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
#else
// Every byte, or false; a write cut short by a signal goes on where it stopped.
bool write_all(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool write_and_sync(const std::string& name, const std::string& bytes, const struct stat* old) {
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    // The new file takes the place of the old one, so it keeps the old one's permissions.
    bool ok = old == nullptr || ::fchmod(fd, old->st_mode & 07777) == 0;
    ok = ok && write_all(fd, bytes);
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    return ok;
}

// A FIFO or a character device takes the bytes in place; a FIFO nobody reads from is
// refused rather than waited on.
bool write_in_place(const std::string& path, const std::string& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    const int flags = ::fcntl(fd, F_GETFL);
    bool ok = flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
    ok = ok && write_all(fd, bytes);
    ok = (::close(fd) == 0) && ok;
    return ok;
}

// The number N of a path /dev/fd/N or /proc/self/fd/N (also under the program's own pid), or
// -1.
int descriptor_number(const std::filesystem::path& path) {
    static const std::string own = "/proc/" + std::to_string(::getpid()) + "/fd/";
    const std::string text = path.lexically_normal().string();
    for (const std::string& prefix :
         {std::string("/dev/fd/"), std::string("/proc/self/fd/"), own}) {
        if (text.size() <= prefix.size() || text.compare(0, prefix.size(), prefix) != 0) continue;
        int fd = -1;
        const auto [end, error] =
            std::from_chars(text.c_str() + prefix.size(), text.c_str() + text.size(), fd);
        if (error == std::errc() && end == text.c_str() + text.size()) return fd;
    }
    return -1;
}

struct Resolved {
    std::string file;     // empty for a loop of links
    int descriptor = -1;  // the program's own open file the way leads through, if any
};

// The file a path finally names: symbolic links are followed (a link to a missing file names
// the file to create). A way through /dev/stdout, /dev/fd/N or /proc/self/fd/N ends at the
// program's descriptor N: reopened, the file behind it would be written from its start
// (though the shell appends to it), and renamed over, replaced.
Resolved resolve_links(const std::string& path) {
    std::filesystem::path current(path);
    for (int hops = 0; hops < 40; ++hops) {
        if (const int fd = descriptor_number(current); fd >= 0) return {current.string(), fd};
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return {current.string()};
        }
        std::error_code error;
        const std::filesystem::path next = std::filesystem::read_symlink(current, error);
        if (error) return {};
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return {};
}

bool replace_file(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) return false;
    // Make the rename itself durable; the file is complete either way.
    const std::filesystem::path folder = std::filesystem::path(to).parent_path();
    const int fd =
        ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
    return true;
}
#endif

}  // namespace

std::string temporary_file_name(const std::string& path) {
    return temporary_name(path);
}

bool write_file_atomically(const std::string& path, const std::string& bytes) {
    if (path.empty()) return false;
    std::error_code error;
#if defined(_WIN32)
    const std::string& target = path;
    if (std::filesystem::is_directory(target, error)) return false;
    remove_stale_temporaries(target);
    const std::string temporary = temporary_name(target);
    // A read-only file stays protected. MoveFileEx refuses to replace one on Windows itself,
    // but not everywhere the program runs (wine replaces it), so it is asked first.
    const DWORD attributes = GetFileAttributesA(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        return false;
    }
    const bool written = write_and_sync(temporary, bytes);
#else
    // The program's own output (/dev/stdout appended to a log) takes the bytes where it
    // stands, whatever it is.
    const Resolved resolved = resolve_links(path);
    if (resolved.descriptor >= 0) return write_all(resolved.descriptor, bytes);
    // A link may also lead to a pipe or a device: written in place, never renamed over.
    struct stat old {};
    if (::stat(path.c_str(), &old) == 0 && (S_ISFIFO(old.st_mode) || S_ISCHR(old.st_mode))) {
        return write_in_place(path, bytes);
    }
    const std::string& target = resolved.file;
    if (target.empty()) return false;
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) return false;
    // A file the user may not write (by the effective rights, as for writing it) stays
    // protected, as it was when files were written in place: renaming over it would
    // otherwise replace it.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) return false;
    remove_stale_temporaries(target);
    const std::string temporary = temporary_name(target);
    const bool written = write_and_sync(temporary, bytes, exists ? &old : nullptr);
#endif
    if (!written || !replace_file(temporary, target)) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

bool write_text_lines(const std::string& path, const std::vector<std::string>& lines) {
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    std::string bytes;
    bytes.reserve(size);
    for (const std::string& line : lines) {
        bytes += line;
        bytes += "\r\n";
    }
    return write_file_atomically(path, bytes);
}

}  // namespace vexilo
