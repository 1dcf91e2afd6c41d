// A NetCDF file through the library's C interface: the handle closed with
// the object, inquiries that answer "not there" instead of an error code,
// and every other failure a fatal message naming the routine and the file.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace resultfile {

class NcFile {
public:
    explicit NcFile(std::string_view routine) : routine_(routine) {}
    ~NcFile();
    NcFile(const NcFile&) = delete;
    NcFile& operator=(const NcFile&) = delete;

    // The library's status (0 when the file is open).
    int open(const std::string& path);
    // A file made in memory, named `name` in messages; close_to_memory hands
    // over its bytes, which the caller writes as it writes any file (the
    // library's own failures on a full disk are not safe to recover from).
    int create_in_memory(const std::string& name, int mode, std::size_t initial_size);
    struct Image {
        std::unique_ptr<void, void (*)(void*)> bytes{nullptr, &std::free};
        std::size_t size = 0;
    };
    int close_to_memory(Image& image);
    // Closes the file. An object destroyed with its file open abandons it.
    int close();
    bool is_open() const { return id_ >= 0; }
    int id() const { return id_; }
    const std::string& path() const { return path_; }
    const std::string& routine() const { return routine_; }

    // Fatal unless status is 0: "ROUTINE-F-Datei PATH: what: <library text>".
    void check(int status, std::string_view what) const;
    [[noreturn]] void fail(std::string_view text) const;

    std::optional<int> variable(const char* name) const;
    std::optional<std::size_t> dimension(const char* name) const;
    struct Dimension {
        std::string name;
        std::size_t length;
    };
    std::vector<Dimension> dimensions_of(int varid) const;
    int type_of(int varid) const;
    // A text attribute (of the file with NC_GLOBAL); nothing when it is not
    // there, is no text or is longer than any text of a run.
    std::optional<std::string> text_attribute(int varid, const char* name) const;
    // The first value of a numeric attribute.
    std::optional<double> number_attribute(int varid, const char* name) const;

    void put_text(int varid, const char* name, std::string_view text);
    void put_number(int varid, const char* name, int type, std::initializer_list<double> values);

private:
    std::string routine_;
    std::string path_;
    int id_ = -1;
};

}  // namespace resultfile
