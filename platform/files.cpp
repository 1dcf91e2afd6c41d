#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <filesystem>
#include <sys/file.h>
#include <csignal>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/console.h"
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

// Every signal whose default action ends the program, except those of a
// fault in the program itself (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT,
// SIGTRAP, SIGSYS), which the run cannot survive to clean up reliably.
constexpr int kCleanupSignals[] = {SIGINT,  SIGTERM,   SIGHUP,  SIGQUIT, SIGPIPE, SIGALRM,
                                   SIGUSR1, SIGUSR2,   SIGXCPU, SIGVTALRM, SIGPROF, SIGIO,
#ifdef SIGPWR
                                   SIGPWR,
#endif
#ifdef SIGSTKFLT
                                   SIGSTKFLT,
#endif
};

sigset_t cleanup_signal_set() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : kCleanupSignals) sigaddset(&set, sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) sigaddset(&set, sig);
    return set;
}

class CleanupSignalsBlocked {
public:
    CleanupSignalsBlocked() {
        const sigset_t set = cleanup_signal_set();
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
        if (e.owner != nullptr && e.path[0] != '\0') ::unlink(e.path);
    ::_exit(128 + sig);
}

// The name with its symbolic links followed, as far as they lead (also to a
// target that does not exist yet); the name itself when it is no link.
std::string follow_links(const std::string& path) {
    std::string current = path;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st {};
        if (::lstat(current.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return current;
        std::vector<char> buffer(PATH_MAX + 1);
        const ssize_t n = ::readlink(current.c_str(), buffer.data(), PATH_MAX);
        if (n <= 0) return current;
        std::string target(buffer.data(), static_cast<std::size_t>(n));
        if (target[0] != '/') {
            const std::size_t slash = current.find_last_of('/');
            if (slash != std::string::npos) target = current.substr(0, slash + 1) + target;
        }
        current = target;
    }
    return current;
}

enum class OutputKind { missing, regular, direct, unwritable };

OutputKind output_kind(const std::string& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return OutputKind::missing;
    if (S_ISREG(st.st_mode)) return OutputKind::regular;
    if (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode)) return OutputKind::direct;
    return OutputKind::unwritable;
}

// The directory of a name, for opening and access tests.
std::string directory_of(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
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

std::string describe_error(int error) {
    switch (error) {
        case 0: return "unbekannter Fehler";
        case kNotWritableKind: return "keine gewöhnliche Datei (Verzeichnis, Blockgerät oder Socket)";
        case ENOSPC: return "kein Platz mehr auf dem Datenträger";
        case EDQUOT: return "Speicherkontingent erschöpft";
        case EFBIG: return "Größengrenze für Dateien überschritten";
        case EACCES:
        case EPERM: return "keine Berechtigung";
        case EROFS: return "Dateisystem nur lesbar";
        case ENOENT: return "Verzeichnis existiert nicht";
        case ENOTDIR: return "ein Teil des Pfades ist kein Verzeichnis";
        case EISDIR: return "ist ein Verzeichnis";
        case ENAMETOOLONG: return "Name zu lang";
        case EIO: return "Ein-/Ausgabefehler des Geräts";
        case EPIPE: return "der Leser der FIFO hat sie geschlossen";
        case ELOOP: return "zu viele symbolische Verweise";
        case EMFILE:
        case ENFILE: return "zu viele offene Dateien";
        case EXDEV: return "Ziel auf einem anderen Dateisystem";
        default: return std::strerror(error);
    }
}

bool same_file(const std::string& a, const std::string& b) {
    struct stat sa {}, sb {};
    const bool a_exists = ::stat(a.c_str(), &sa) == 0, b_exists = ::stat(b.c_str(), &sb) == 0;
    if (a_exists && b_exists) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
    if (a_exists != b_exists) return false;
    namespace fs = std::filesystem;
    auto normal = [](const std::string& p) {
        std::error_code e;
        fs::path abs = fs::absolute(follow_links(p), e);
        return (e ? fs::path(p) : abs).lexically_normal();
    };
    return normal(a) == normal(b);
}

bool same_file_ignoring_case(const std::string& a, const std::string& b) {
    if (same_file(a, b)) return true;
    if (lower_ascii(file_name_part(a)) != lower_ascii(file_name_part(b))) return false;
    const std::string da(directory_part(a)), db(directory_part(b));
    return same_file(da.empty() ? "." : da, db.empty() ? "." : db);
}

int check_output_name(const std::string& path) {
    const std::string target = follow_links(path);
    switch (output_kind(target)) {
        case OutputKind::direct: return 0;
        case OutputKind::unwritable: return kNotWritableKind;
        default: break;
    }
    const std::string dir = directory_of(target);
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) return errno == ENOENT ? ENOENT : errno;
    if (!S_ISDIR(st.st_mode)) return ENOTDIR;
    if (::access(dir.c_str(), W_OK | X_OK) != 0) return errno;
    return 0;
}

OutputFile::~OutputFile() { discard(); }

bool OutputFile::fail(int error) {
    if (error_ == 0) error_ = error != 0 ? error : EIO;
    return false;
}

bool OutputFile::open(const std::string& final_path) {
    discard();
    final_path_ = final_path;
    target_path_ = follow_links(final_path);
    error_ = 0;
    direct_ = false;
    finished_ = false;
    const OutputKind kind = output_kind(target_path_);
    if (kind == OutputKind::unwritable) return fail(kNotWritableKind);
    if (kind == OutputKind::direct) {
        // A FIFO without a reader would refuse a non-blocking open: then the
        // run waits for its reader as any program writing into a FIFO does.
        int fd = ::open(target_path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
        if (fd < 0 && errno == ENXIO) {
            console().line(" Warte auf einen Leser der FIFO " + target_path_);
            fd = ::open(target_path_.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        }
        if (fd < 0) return fail(errno);
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
        file_ = ::fdopen(fd, "wb");
        if (!file_) {
            const int e = errno;
            ::close(fd);
            return fail(e);
        }
        direct_ = true;
        return true;
    }
    std::string pattern =
        std::string(directory_part(target_path_)) + "." + std::string(file_name_part(target_path_)) + ".XXXXXX";
    // No longer name could be opened anyway.
    if (pattern.size() >= PATH_MAX) return fail(ENAMETOOLONG);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    int fd = -1;
    {
        // A signal between creating and registering would leave the file behind.
        CleanupSignalsBlocked blocked;
        fd = ::mkstemp(buffer.data());
        if (fd < 0) return fail(errno);
        entry_ = register_temporary(this, buffer.data());
        if (entry_ < 0) {
            ::close(fd);
            ::unlink(buffer.data());
            return fail(EMFILE);
        }
    }
    // mkstemp creates the file for the owner only; a plot is an ordinary file,
    // and a file that is replaced keeps its permissions.
    mode_t mask = ::umask(0);
    ::umask(mask);
    mode_t mode = 0666 & ~mask;
    struct stat old {};
    if (kind == OutputKind::regular && ::stat(target_path_.c_str(), &old) == 0) mode = old.st_mode & 07777;
    ::fchmod(fd, mode);
    file_ = ::fdopen(fd, "wb");
    if (!file_) {
        const int e = errno;
        ::close(fd);
        CleanupSignalsBlocked blocked;
        ::unlink(buffer.data());
        release_temporary(entry_);
        return fail(e);
    }
    temp_path_ = buffer.data();
    return true;
}

bool OutputFile::write(std::string_view bytes) {
    if (!file_) return fail(EBADF);
    if (error_ != 0) return false;
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) return fail(errno);
    return true;
}

bool OutputFile::finish() {
    if (finished_) return error_ == 0;
    if (!file_) return fail(EBADF);
    bool ok = error_ == 0;
    if (ok && std::fflush(file_) != 0) ok = fail(errno);
    // A FIFO or a device has nothing to keep on disk.
    if (ok && !direct_ && ::fsync(::fileno(file_)) != 0) ok = fail(errno);
    if (std::fclose(file_) != 0 && ok) ok = fail(errno);
    file_ = nullptr;
    finished_ = true;
    return ok;
}

bool OutputFile::commit() {
    if (!file_ && !finished_) return fail(EBADF);
    bool ok = finish();
    if (direct_) {
        finished_ = false;
        return ok;
    }
    {
        CleanupSignalsBlocked blocked;
        if (ok && ::rename(temp_path_.c_str(), target_path_.c_str()) != 0) ok = fail(errno);
        if (!ok) ::unlink(temp_path_.c_str());
        release_temporary(entry_);
    }
    temp_path_.clear();
    finished_ = false;
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
    finished_ = false;
}

void discard_temporary_files() {
    for (TemporaryEntry& e : g_temporaries)
        if (e.owner != nullptr) e.owner->discard();
}

void remove_temporary_files_on_signals() {
    struct sigaction action {};
    action.sa_handler = remove_temporaries_and_exit;
    action.sa_mask = cleanup_signal_set();
    auto install = [&](int sig) {
        struct sigaction previous {};
        // A signal ignored from the start (nohup, a background job) stays ignored.
        if (::sigaction(sig, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN) return;
        ::sigaction(sig, &action, nullptr);
    };
    for (int sig : kCleanupSignals) install(sig);
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) install(sig);
    // Beyond the file-size limit a write then fails with EFBIG, which the
    // writer reports, instead of the program ending on the spot.
    ::signal(SIGXFSZ, SIG_IGN);
}

DirectoryLock::DirectoryLock(const std::string& path) {
    fd_ = ::open(directory_of(follow_links(path)).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno == EINTR) continue;
        ::close(fd_);
        fd_ = -1;
        return;
    }
}

DirectoryLock::~DirectoryLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

bool write_file_atomically(const std::string& path, std::string_view bytes, int* error) {
    OutputFile out;
    const bool ok = out.open(path) && out.write(bytes) && out.commit();
    if (error) *error = ok ? 0 : out.error();
    return ok;
}

bool append_to_file(const std::string& path, std::string_view block, int* error) {
    auto failed = [&](int e) {
        if (error) *error = e != 0 ? e : EIO;
        return false;
    };
    // Only to a regular file: a FIFO without a reader would block for ever.
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) return failed(errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0) return failed(errno);
    if (!S_ISREG(st.st_mode)) return failed(kNotWritableKind);
    // Runs appending at once take turns, so that each knows the length to
    // cut back to; a signal cannot end the run between write and cut.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    CleanupSignalsBlocked blocked;
    if (::fstat(fd, &st) != 0) return failed(errno);
    const off_t before = st.st_size;
    std::size_t done = 0;
    int write_error = 0;
    while (done < block.size()) {
        const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            write_error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (write_error == 0 && ::fsync(fd) != 0 && errno != EINVAL) write_error = errno;
    if (write_error != 0) {
        while (::ftruncate(fd, before) != 0 && errno == EINTR) {
        }
        return failed(write_error);
    }
    return true;
}

}  // namespace platform
