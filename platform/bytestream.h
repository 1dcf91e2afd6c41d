// Checked little-endian byte streams. The model files are untrusted: every read
// is checked against the bytes that are left, and a short file ends the run
// with a fatal message that names the routine and the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace platform {

class ByteReader {
public:
    ByteReader() = default;
    ~ByteReader();
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    // False when the file cannot be opened for reading.
    bool open(const std::string& path);
    void close();
    bool is_open() const { return file_ != nullptr; }
    const std::string& path() const { return path_; }

    // A descriptor of the open file of its own (close-on-exec; -1 when none),
    // for reads at any offset after this reader is closed.
    int duplicate_descriptor() const;

    std::uint64_t size() const { return size_; }
    std::uint64_t position() const { return position_; }
    std::uint64_t remaining() const { return size_ - position_; }
    void seek(std::uint64_t position);

    // The routine that is named in the messages of the following reads.
    void set_routine(std::string_view routine) { routine_ = routine; }

    // Fatal unless at least `bytes` are left; `what` says what was to be read.
    void require(std::uint64_t bytes, std::string_view what);

    std::int32_t read_i32();
    std::int16_t read_i16();
    float read_f32();
    bool read_logical();
    // Exactly n bytes, as stored (blank-padded single-byte text).
    std::string read_text(std::size_t n);
    // Contiguous arrays go straight from the file into the caller's memory.
    void read_f32s(std::span<float> values);
    void read_i16s(std::span<std::int16_t> values);

private:
    void read_bytes(void* data, std::size_t n, std::string_view what);

    std::FILE* file_ = nullptr;
    std::string path_;
    std::string routine_ = "MURAL";
    std::uint64_t size_ = 0;
    std::uint64_t position_ = 0;
};

// Builds a little-endian byte image in memory.
class ByteWriter {
public:
    void put_i32(std::int32_t v);
    void put_i16(std::int16_t v);
    void put_f32(float v);
    void put_logical(bool v);
    // The text cut or blank-padded to n bytes.
    void put_text(std::string_view text, std::size_t n);
    void put_f32s(std::span<const float> values);
    void put_i16s(std::span<const std::int16_t> values);

    const std::string& bytes() const { return bytes_; }
    std::string& bytes() { return bytes_; }

private:
    std::string bytes_;
};

}  // namespace platform
