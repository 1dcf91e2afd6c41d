#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/fatal.h"

namespace platform {

namespace {

std::string lower_ascii(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool is_separator(char c) { return c == '/' || c == '\\'; }

// The temporary files of the open output files. A plain array that is never
// destroyed: an output file that is itself a static object (VELIN's plot file)
// may be destroyed after every other static object at the end of a program,
// and must still find its entry. Fixed buffers, so that the signal handler can
// read the entries without allocating; they change only while the signals are
// blocked, so the handler never sees an entry half written.
constexpr std::size_t kMaxOpenOutputFiles = 16;
struct TemporaryEntry {
    OutputFile* owner;
    char path[PATH_MAX];
};
constinit TemporaryEntry g_temporaries[kMaxOpenOutputFiles] = {};

// The index of a free entry holding `path`, or -1 when none is free.
int register_temporary(OutputFile* owner, const char* path) {
    for (std::size_t k = 0; k < kMaxOpenOutputFiles; ++k) {
        TemporaryEntry& e = g_temporaries[k];
        if (e.owner != nullptr) continue;
        std::memcpy(e.path, path, std::strlen(path) + 1);
        e.owner = owner;
        return static_cast<int>(k);
    }
    return -1;
}

void release_temporary(int& entry) {
    if (entry < 0) return;
    TemporaryEntry& e = g_temporaries[entry];
    e.owner = nullptr;
    e.path[0] = '\0';
    entry = -1;
}

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP};

class CleanupSignalsBlocked {
public:
    CleanupSignalsBlocked() {
        sigset_t set;
        sigemptyset(&set);
        for (int sig : kCleanupSignals) sigaddset(&set, sig);
        pthread_sigmask(SIG_BLOCK, &set, &previous_);
    }
    ~CleanupSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    CleanupSignalsBlocked(const CleanupSignalsBlocked&) = delete;
    CleanupSignalsBlocked& operator=(const CleanupSignalsBlocked&) = delete;

private:
    sigset_t previous_;
};

// Only async-signal-safe calls: unlink and _exit.
void remove_temporaries_and_exit(int sig) {
    for (const TemporaryEntry& e : g_temporaries)
        if (e.owner != nullptr) ::unlink(e.path);
    ::_exit(128 + sig);
}

}  // namespace

bool file_exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::string> find_file(const std::string& path) {
    if (path.empty()) return std::nullopt;
    if (file_exists(path)) return path;
    std::string dir(directory_part(path));
    std::string wanted = lower_ascii(file_name_part(path));
    if (wanted.empty()) return std::nullopt;
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return std::nullopt;
    std::vector<std::string> matches;
    while (dirent* entry = ::readdir(d)) {
        if (lower_ascii(entry->d_name) == wanted && file_exists(dir + entry->d_name)) matches.push_back(dir + entry->d_name);
    }
    ::closedir(d);
    if (matches.empty()) return std::nullopt;
    std::sort(matches.begin(), matches.end());
    return matches.front();
}

std::string lookup_file(const std::string& path) { return find_file(path).value_or(path); }

std::string resolve_stored_name(std::string_view stored, const std::string& beside_file) {
    std::string name(stored);
    std::replace(name.begin(), name.end(), '\\', '/');
    if (name.size() >= 2 && name[1] == ':' &&
        ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z')))
        name.erase(0, 2);
    if (auto found = find_file(name)) return *found;
    std::string bare(file_name_part(name));
    if (bare.empty()) return name;
    std::string beside = std::string(directory_part(beside_file)) + bare;
    if (auto found = find_file(beside)) return *found;
    if (auto found = find_file(bare)) return *found;
    return name;
}

int open_regular_file(const std::string& path, std::uint64_t& size) {
    if (path.empty()) return -1;
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    size = static_cast<std::uint64_t>(st.st_size);
    return fd;
}

std::optional<std::string> read_text_file(const std::string& path, std::string_view routine) {
    std::uint64_t size = 0;
    const int fd = open_regular_file(path, size);
    if (fd < 0) return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    auto too_large = [&] {
        fatal(routine, "Datei " + path + " ist zu groß für eine Textdatei (mehr als " +
                           std::to_string(kMaxTextFileBytes >> 20) + " MB)");
    };
    if (size > kMaxTextFileBytes) too_large();
    std::string text;
    text.reserve(static_cast<std::size_t>(size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            fatal(routine, "Lesefehler in Datei " + path);
        }
        // Also a file that grows while it is read.
        if (text.size() + static_cast<std::size_t>(n) > kMaxTextFileBytes) too_large();
        text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
}

std::string_view file_name_part(std::string_view path) {
    auto pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? path : path.substr(pos + 1);
}

std::string_view directory_part(std::string_view path) {
    auto pos = path.find_last_of("/\\");
    return pos == std::string_view::npos ? std::string_view() : path.substr(0, pos + 1);
}

bool has_extension(std::string_view path) { return file_name_part(path).find('.') != std::string_view::npos; }

std::string_view extension_of(std::string_view path) {
    std::string_view name = file_name_part(path);
    auto pos = name.find_last_of('.');
    return pos == std::string_view::npos ? std::string_view() : name.substr(pos);
}

std::string with_extension(std::string_view path, std::string_view extension) {
    std::string_view ext = extension_of(path);
    std::string out(path.substr(0, path.size() - ext.size()));
    out += extension;
    return out;
}

namespace {

bool is_directory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The directory of the running program, resolved; empty when unknown.
std::string program_directory() {
    char buffer[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return std::string();
    return std::string(directory_part(std::string_view(buffer, static_cast<std::size_t>(n))));
}

// The path with links and "." or ".." resolved; empty when it does not exist.
std::string resolved(const std::string& path) {
    char buffer[PATH_MAX];
    return ::realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

}  // namespace

std::string velin_dir() {
    if (const char* env = std::getenv("VELIN_DIR"); env && *env) return env;
    // A program of the build tree uses the source tree's files; an installed
    // one never looks there, only in its data directory: the one beside its
    // prefix (an installation moved with --prefix), else the configured one.
    const std::string program = program_directory();
    if (program.empty()) return MURAL_INSTALLED_VELIN_DIR;
    const std::string build = resolved(MURAL_BUILD_DIR);
    if (!build.empty() && program.starts_with(build + '/')) return MURAL_SOURCE_VELIN_DIR;
    const std::string beside = resolved(program + MURAL_RELATIVE_VELIN_DIR);
    if (!beside.empty() && is_directory(beside)) return beside;
    return MURAL_INSTALLED_VELIN_DIR;
}

std::string velin_file(std::string_view name) {
    std::string dir = velin_dir();
    if (!dir.empty() && !is_separator(dir.back())) dir += '/';
    std::string lower = lower_ascii(name);
    if (lower.size() > 9 && lower.starts_with("c:") && is_separator(lower[2]) && lower.substr(3, 5) == "velin" &&
        is_separator(lower[8]))
        return lookup_file(dir + std::string(name.substr(9)));
    if (directory_part(name).empty()) return lookup_file(dir + std::string(name));
    return resolve_stored_name(name, std::string());
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::open(const std::string& final_path) {
    discard();
    final_path_ = final_path;
    failed_ = false;
    std::string pattern = std::string(directory_part(final_path)) + "." + std::string(file_name_part(final_path)) +
                          ".XXXXXX";
    // No longer name could be opened anyway.
    if (pattern.size() >= PATH_MAX) return false;
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = -1;
    {
        // A signal between creating and registering would leave the file behind.
        CleanupSignalsBlocked blocked;
        fd = ::mkstemp(buffer.data());
        if (fd < 0) return false;
        entry_ = register_temporary(this, buffer.data());
        if (entry_ < 0) {
            ::close(fd);
            ::unlink(buffer.data());
            return false;
        }
    }
    // mkstemp creates the file for the owner only; a plot is an ordinary file.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        ::close(fd);
        CleanupSignalsBlocked blocked;
        ::unlink(buffer.data());
        release_temporary(entry_);
        return false;
    }
    temp_path_ = buffer.data();
    return true;
}

bool OutputFile::write(std::string_view bytes) {
    if (!file_) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) failed_ = true;
    return !failed_;
}

bool OutputFile::commit() {
    if (!file_) return false;
    bool ok = !failed_ && std::fflush(file_) == 0 && ::fsync(::fileno(file_)) == 0;
    ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    {
        CleanupSignalsBlocked blocked;
        ok = ok && ::rename(temp_path_.c_str(), final_path_.c_str()) == 0;
        if (!ok) ::unlink(temp_path_.c_str());
        release_temporary(entry_);
    }
    temp_path_.clear();
    return ok;
}

void OutputFile::discard() {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
    if (entry_ >= 0) {
        CleanupSignalsBlocked blocked;
        ::unlink(temp_path_.c_str());
        release_temporary(entry_);
    }
    temp_path_.clear();
}

void discard_temporary_files() {
    for (TemporaryEntry& e : g_temporaries)
        if (e.owner != nullptr) e.owner->discard();
}

void remove_temporary_files_on_signals() {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_exit;
    sigemptyset(&action.sa_mask);
    for (int sig : kCleanupSignals) sigaddset(&action.sa_mask, sig);
    for (int sig : kCleanupSignals) {
        struct sigaction previous {};
        // A signal ignored from the start (nohup, a background job) stays ignored.
        if (::sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) continue;
        ::sigaction(sig, &action, nullptr);
    }
}

bool write_file_atomically(const std::string& path, std::string_view bytes) {
    OutputFile out;
    return out.open(path) && out.write(bytes) && out.commit();
}

bool append_to_file(const std::string& path, std::string_view block) {
    // One write call, so that two runs appending at once do not interleave.
    // Only to a regular file: a FIFO without a reader would block for ever.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    std::size_t done = 0;
    while (done < block.size()) {
        ssize_t n = ::write(fd, block.data() + done, block.size() - done);
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    return ::close(fd) == 0 && done == block.size();
}

}  // namespace platform
