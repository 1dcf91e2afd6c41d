#include "atlas/records.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "atlas/plan.h"
#include "platform/files.h"

namespace atlas {

namespace {

constexpr char kRecordHeader[] = "mural-atlas-record 1";

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;

// One lane of a multiply-rotate hash over 8-byte words: fast enough to hash
// result files of some hundred megabytes, and a change of any byte changes it.
class Hasher {
public:
    void add(const unsigned char* data, std::size_t n) {
        length_ += n;
        std::size_t k = 0;
        if (pending_ > 0) {
            while (pending_ < 8 && k < n) tail_[pending_++] = data[k++];
            if (pending_ < 8) return;
            word(load(tail_));
            pending_ = 0;
        }
        for (; k + 8 <= n; k += 8) word(load(data + k));
        while (k < n) tail_[pending_++] = data[k++];
    }
    std::uint64_t finish() {
        std::uint64_t h = state_ ^ (length_ * kPrime3);
        for (std::size_t k = 0; k < pending_; ++k) h = std::rotl(h ^ (tail_[k] * kPrime3), 11) * kPrime1;
        h ^= h >> 33;
        h *= kPrime2;
        h ^= h >> 29;
        h *= kPrime3;
        return h ^ (h >> 32);
    }

private:
    static std::uint64_t load(const unsigned char* p) {
        std::uint64_t w = 0;
        for (int b = 7; b >= 0; --b) w = (w << 8) | p[b];
        return w;
    }
    void word(std::uint64_t w) {
        state_ ^= std::rotl(w * kPrime2, 31) * kPrime1;
        state_ = std::rotl(state_, 27) * kPrime1 + kPrime3;
    }
    std::uint64_t state_ = kPrime1;
    std::uint64_t length_ = 0;
    unsigned char tail_[8] = {};
    std::size_t pending_ = 0;
};

std::string hex(std::uint64_t v) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(v));
    return text;
}

// Record fields are one line each.
std::string one_line(std::string text) {
    for (char& c : text)
        if (c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

bool regular_file(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::uint64_t> hash_file(const std::string& path) {
    std::uint64_t size = 0;
    int fd = platform::open_regular_file(path, size);
    if (fd < 0) return std::nullopt;
    Hasher h;
    std::vector<unsigned char> buffer(1 << 20);
    for (;;) {
        ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            ::close(fd);
            return std::nullopt;
        }
        if (n == 0) break;
        h.add(buffer.data(), static_cast<std::size_t>(n));
    }
    ::close(fd);
    return h.finish();
}

Stamps::Entry& Stamps::entry(const std::string& name) {
    auto [it, fresh] = entries_.try_emplace(name);
    Entry& e = it->second;
    if (!fresh) return e;
    std::optional<std::string> path = platform::find_file(name);
    struct stat st {};
    if (path && ::stat(path->c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        e.path = *path;
        e.stamp.exists = true;
        e.stamp.size = static_cast<std::uint64_t>(st.st_size);
        e.stamp.mtime_ns = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return e;
}

FileStamp Stamps::current(const std::string& name) {
    Entry& e = entry(name);
    if (e.stamp.exists && !e.hashed) {
        // A file that cannot be read gets a hash no content has; mural's own message follows.
        e.stamp.hash = hash_file(e.path).value_or(0);
        e.hashed = true;
    }
    return e.stamp;
}

bool Stamps::unchanged(const std::string& name, const FileStamp& recorded) {
    Entry& e = entry(name);
    if (e.stamp.exists != recorded.exists) return false;
    if (!e.stamp.exists) return true;
    if (e.stamp.size != recorded.size) return false;
    if (e.stamp.mtime_ns == recorded.mtime_ns) return true;
    return current(name).hash == recorded.hash;
}

std::string record_path(const std::string& dir, const std::string& name) {
    return dir + "/.mural-atlas/" + name + ".rec";
}

std::optional<Record> read_record(const std::string& path) {
    std::optional<std::string> text;
    try {
        text = platform::read_text_file(path, "ATLAS");
    } catch (const std::exception&) {
        // A record that cannot be read is no record: the picture is drawn again.
        return std::nullopt;
    }
    if (!text || !text->starts_with(kRecordHeader)) return std::nullopt;
    Record r;
    std::istringstream in(*text);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        const std::size_t blank = line.find(' ');
        const std::string key = line.substr(0, blank);
        const std::string value = blank == std::string::npos ? std::string() : line.substr(blank + 1);
        if (key == "status") r.ok = value == "ok";
        else if (key == "line") r.line = std::atoi(value.c_str());
        else if (key == "seconds") r.seconds = std::atof(value.c_str());
        else if (key == "finished") r.finished = value;
        else if (key == "definition") r.definition = value;
        else if (key == "message") r.message = value;
        else if (key == "output") r.outputs.push_back(value);
        else if (key == "input") {
            std::istringstream fields(value);
            int exists = 0;
            unsigned long long size = 0;
            long long mtime = 0;
            std::string hash, name;
            fields >> exists >> size >> mtime >> hash;
            std::getline(fields >> std::ws, name);
            FileStamp s;
            s.exists = exists != 0;
            s.size = size;
            s.mtime_ns = mtime;
            s.hash = std::strtoull(hash.c_str(), nullptr, 16);
            if (!name.empty()) r.inputs.emplace_back(name, s);
        }
    }
    return r;
}

bool write_record(const std::string& path, const Record& r) {
    std::ostringstream out;
    out << kRecordHeader << "\n";
    out << "status " << (r.ok ? "ok" : "failed") << "\n";
    out << "line " << r.line << "\n";
    out << "seconds " << r.seconds << "\n";
    out << "finished " << one_line(r.finished) << "\n";
    out << "definition " << one_line(r.definition) << "\n";
    if (!r.message.empty()) out << "message " << one_line(r.message) << "\n";
    for (const auto& [name, s] : r.inputs)
        out << "input " << (s.exists ? 1 : 0) << " " << s.size << " " << s.mtime_ns << " " << hex(s.hash) << " "
            << one_line(name) << "\n";
    for (const std::string& o : r.outputs) out << "output " << o << "\n";
    return platform::write_file_atomically(path, out.str());
}

std::string redraw_reason(const Picture& picture, const std::optional<Record>& record, Stamps& stamps,
                          const std::string& dir) {
    if (!record) return "neu";
    if (!record->ok) return "zuvor fehlgeschlagen";
    if (record->definition != picture.definition) return "Zeile geändert";
    for (const std::string& output : record->outputs)
        if (!regular_file(dir + "/" + output)) return output + " fehlt";
    for (const std::string& input : picture.inputs) {
        auto it = std::find_if(record->inputs.begin(), record->inputs.end(),
                               [&](const auto& entry) { return entry.first == input; });
        if (it == record->inputs.end() || !stamps.unchanged(input, it->second)) return input + " geändert";
    }
    return {};
}

}  // namespace atlas
