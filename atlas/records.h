// What the atlas remembers of each picture, in DIR/.mural-atlas/<name>.rec:
// how its last drawing ended, the part of the list it came from, and the
// state of every input at the time, so that a later run redraws only the
// pictures whose inputs changed. One small file per picture, so that parts
// of an atlas on several machines never write the same file.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace atlas {

struct Picture;

// An input as it was: size and modification time, and a hash of the content,
// so that a file touched or copied without a change redraws nothing.
struct FileStamp {
    bool exists = false;
    std::uint64_t size = 0;
    std::int64_t mtime_ns = 0;
    std::uint64_t hash = 0;
    bool operator==(const FileStamp&) const = default;
};

// Whether the path names a regular file (following links); never throws.
bool regular_file(const std::string& path);

// A 64-bit hash of a file's content; nothing when it cannot be read.
std::optional<std::uint64_t> hash_file(const std::string& path);

// The current stamps of inputs, each file hashed at most once per run.
class Stamps {
public:
    // The input looked up as mural looks it up; a name that does not exist
    // has a stamp too (its appearing is a change).
    FileStamp current(const std::string& name);
    // Whether the input is as recorded: same size and time, or same content.
    bool unchanged(const std::string& name, const FileStamp& recorded);

private:
    struct Entry {
        FileStamp stamp;
        bool hashed = false;
        std::string path;
    };
    Entry& entry(const std::string& name);
    std::map<std::string, Entry> entries_;
};

struct Record {
    bool ok = false;
    int line = 0;
    std::string definition;
    std::string message;    // of a failed picture: the last message of its transcript
    std::string finished;   // local time, "2024-05-17 14:03:27"
    double seconds = 0.0;
    std::vector<std::pair<std::string, FileStamp>> inputs;
    std::vector<std::string> outputs;  // file names in DIR
};

std::string record_path(const std::string& dir, const std::string& name);
std::optional<Record> read_record(const std::string& path);
// Written under a temporary name and renamed; false on failure.
bool write_record(const std::string& path, const Record& record);

// Why the picture must be drawn again ("neu", "Zeile geändert", "MURAL.RAS
// geändert", ...); empty when its plot in `dir` is up to date.
std::string redraw_reason(const Picture& picture, const std::optional<Record>& record, Stamps& stamps,
                          const std::string& dir);

}  // namespace atlas
