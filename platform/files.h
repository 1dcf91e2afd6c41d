// File names on Linux for a program designed on a case-insensitive DOS file
// system: lookup with a case-insensitive fallback, DOS paths stored inside data
// files, the "." rules that look at the file-name part only, VELIN's data
// directory, and output files that replace their final name only when complete.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

bool file_exists(const std::string& path);

// The name as given when it exists, else a case-insensitive match of its last
// component in the same directory (the first in sorted order), else nothing.
std::optional<std::string> find_file(const std::string& path);
// find_file, or the name as given when nothing matches (so that the open that
// follows fails with the name the user knows).
std::string lookup_file(const std::string& path);

// A name stored in a data file ('C:\RUN\HAUS.DAT'): backslashes become "/", a
// drive letter is dropped; when that path does not exist, the bare file name
// is looked for beside `beside_file`, then in the working directory.
std::string resolve_stored_name(std::string_view stored, const std::string& beside_file);

// The part after the last "/" or "\".
std::string_view file_name_part(std::string_view path);
// The part up to and including the last "/" or "\" (empty when none).
std::string_view directory_part(std::string_view path);
// Whether the file-name part holds a ".".
bool has_extension(std::string_view path);
// The extension of the file-name part, with its ".", or empty.
std::string_view extension_of(std::string_view path);
// The path with the extension of its file-name part replaced (or added).
std::string with_extension(std::string_view path, std::string_view extension);

// Opens a file for reading when it is a regular file, else returns -1: a
// directory, FIFO, device or socket counts as missing. The open never blocks
// (a FIFO without a writer), and the kind is checked on the opened file, so it
// cannot change between check and open. `size` gets the size of the file.
int open_regular_file(const std::string& path, std::uint64_t& size);

// Text files are read whole; anything larger is no text file of MURAL's.
constexpr std::uint64_t kMaxTextFileBytes = 64u << 20;

// The content of a regular file; nothing when there is none by that name (see
// open_regular_file). A file larger than kMaxTextFileBytes or a read error
// ends the run with a fatal message of `routine`.
std::optional<std::string> read_text_file(const std::string& path, std::string_view routine);

// The directory that stands for "C:\VELIN\": $VELIN_DIR; else, for a program
// run from the build tree, the source tree's data directory; else the
// installed data directory.
std::string velin_dir();
// A name in VELIN's directory: "C:\VELIN\VELIN.PAL" or a bare "SIMPLX.STY" is
// looked up there; any other path is resolved like a stored name.
std::string velin_file(std::string_view name);

// The system's reason for a failed file operation, in words: the text of an
// errno value ("kein Platz mehr auf dem Datenträger"), or of kNotWritableKind.
std::string describe_error(int error);
// The error of an output name that is a directory, block device or socket.
constexpr int kNotWritableKind = -1;

// Whether two names stand for one file: the same file by two names (links,
// "./"), or, where they do not exist, the same name once made absolute.
bool same_file(const std::string& a, const std::string& b);
// Also the same name in the same directory but for the case of its letters:
// the names that MURAL derives itself are looked up without regard to case,
// so such a file would stand in for the other at the next run.
bool same_file_ignoring_case(const std::string& a, const std::string& b);

// Where an output of that name goes: a symbolic link is followed to its
// target (so that the target is replaced and the link kept). 0 when a file
// can be written there, else the error (kNotWritableKind, ENOENT for a
// missing directory, EACCES, ...).
int check_output_name(const std::string& path);

// An output file written under a temporary name in its final directory and
// renamed over the final name by commit(). Until then an existing file of the
// final name stays untouched; a file that is never committed is removed, also
// when the run ends with a fatal error (see discard_temporary_files) and when
// the program returns from main with the file still open.
// Special names stay what they are: a FIFO or character device (a plotter
// port) is written directly, and a symbolic link keeps its link while its
// target is replaced.
class OutputFile {
public:
    OutputFile() = default;
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False when the file cannot be created (also when 16 output files are
    // open already); error() tells why.
    bool open(const std::string& final_path);
    bool is_open() const { return file_ != nullptr; }
    // False on a write error.
    bool write(std::string_view bytes);
    // Flushes and closes the file; the final name is given by commit().
    bool finish();
    // Finishes and renames; false (and the temporary removed) on failure.
    bool commit();
    // Closes and removes the temporary file.
    void discard();
    // The errno of the first failure (0 when none).
    int error() const { return error_; }
    // Written straight into a FIFO or device, without a temporary file.
    bool direct() const { return direct_; }
    const std::string& final_path() const { return final_path_; }
    const std::string& temporary_path() const { return temp_path_; }

private:
    bool fail(int error);

    std::FILE* file_ = nullptr;
    std::string final_path_;
    std::string target_path_;  // the final name with its links followed
    std::string temp_path_;
    int error_ = 0;
    bool direct_ = false;
    bool finished_ = false;
    int entry_ = -1;  // in the table of temporary files
};

// Removes the temporary files of every output file still open; main calls it
// when a run stops.
void discard_temporary_files();

// Installs handlers of every signal that ends a program (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE, SIGALRM, SIGUSR1, ...) that remove the temporary
// files of the open output files and end the program with status 128 + the
// signal number. SIGXFSZ is ignored: a write beyond the file-size limit then
// fails and is reported like a full disk. main calls it first.
void remove_temporary_files_on_signals();

// Holds an exclusive lock of the directory of `path` while it lives, so that
// runs finishing at once in one directory rename their files one after the
// other (a plot and its pictures stay of one run). Without lock support the
// lock is simply not taken.
class DirectoryLock {
public:
    explicit DirectoryLock(const std::string& path);
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int fd_ = -1;
};

// Writes a whole file through an OutputFile; false on failure, with the
// errno in `error` when given.
bool write_file_atomically(const std::string& path, std::string_view bytes, int* error = nullptr);

// Appends one block to a log file in a single write. The log is whole or
// untouched: on any failure (a full disk, the file-size limit) it is cut back
// to its length before. False on failure, with the errno in `error`.
bool append_to_file(const std::string& path, std::string_view block, int* error = nullptr);

}  // namespace platform
