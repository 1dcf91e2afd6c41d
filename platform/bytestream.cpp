#include "platform/bytestream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <limits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "platform/fatal.h"
#include "platform/files.h"

namespace platform {

namespace {

static_assert(sizeof(float) == 4 && std::numeric_limits<float>::is_iec559);

template <typename T>
T byteswap_value(T v) {
    auto bytes = std::bit_cast<std::array<unsigned char, sizeof(T)>>(v);
    std::reverse(bytes.begin(), bytes.end());
    return std::bit_cast<T>(bytes);
}

template <typename T>
T from_little(T v) {
    if constexpr (std::endian::native == std::endian::big) return byteswap_value(v);
    return v;
}

}  // namespace

ByteReader::~ByteReader() { close(); }

bool ByteReader::open(const std::string& path) {
    close();
    path_ = path;
    std::uint64_t size = 0;
    int fd = open_regular_file(path, size);
    if (fd < 0) return false;
    file_ = ::fdopen(fd, "rb");
    if (!file_) {
        ::close(fd);
        return false;
    }
    size_ = size;
    position_ = 0;
    return true;
}

void ByteReader::close() {
    if (file_) std::fclose(file_);
    file_ = nullptr;
    size_ = 0;
    position_ = 0;
}

int ByteReader::duplicate_descriptor() const { return file_ ? ::fcntl(::fileno(file_), F_DUPFD_CLOEXEC, 0) : -1; }

void ByteReader::seek(std::uint64_t position) {
    if (!file_ || position > size_ || fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0)
        fatal(routine_, "Datei " + path_ + ": Positionierung auf Byte " + std::to_string(position) + " misslungen");
    position_ = position;
}

void ByteReader::require(std::uint64_t bytes, std::string_view what) {
    if (!file_) fatal(routine_, "Datei " + path_ + " ist nicht geöffnet");
    if (bytes > remaining()) {
        fatal(routine_, "Datei " + path_ + " ist zu kurz: " + std::string(what) + " braucht " + std::to_string(bytes) +
                            " Bytes ab Byte " + std::to_string(position_) + ", die Datei hat nur noch " +
                            std::to_string(remaining()));
    }
}

void ByteReader::read_bytes(void* data, std::size_t n, std::string_view what) {
    require(n, what);
    if (n == 0) return;
    if (std::fread(data, 1, n, file_) != n)
        fatal(routine_, "Datei " + path_ + ": Lesefehler bei Byte " + std::to_string(position_));
    position_ += n;
}

std::int32_t ByteReader::read_i32() {
    std::int32_t v;
    read_bytes(&v, 4, "eine Ganzzahl");
    return from_little(v);
}

std::int16_t ByteReader::read_i16() {
    std::int16_t v;
    read_bytes(&v, 2, "eine 16-bit-Ganzzahl");
    return from_little(v);
}

float ByteReader::read_f32() {
    std::uint32_t v;
    read_bytes(&v, 4, "eine Gleitkommazahl");
    return std::bit_cast<float>(from_little(v));
}

bool ByteReader::read_logical() { return read_i32() != 0; }

std::string ByteReader::read_text(std::size_t n) {
    std::string text(n, ' ');
    read_bytes(text.data(), n, "ein Text");
    return text;
}

void ByteReader::read_f32s(std::span<float> values) {
    read_bytes(values.data(), values.size_bytes(), std::to_string(values.size()) + " Gleitkommazahlen");
    if constexpr (std::endian::native == std::endian::big)
        for (float& v : values) v = std::bit_cast<float>(byteswap_value(std::bit_cast<std::uint32_t>(v)));
}

void ByteReader::read_i16s(std::span<std::int16_t> values) {
    read_bytes(values.data(), values.size_bytes(), std::to_string(values.size()) + " 16-bit-Ganzzahlen");
    if constexpr (std::endian::native == std::endian::big)
        for (auto& v : values) v = byteswap_value(v);
}

namespace {

template <typename T>
void put_raw(std::string& bytes, T v) {
    if constexpr (std::endian::native == std::endian::big) v = byteswap_value(v);
    char raw[sizeof(T)];
    std::memcpy(raw, &v, sizeof(T));
    bytes.append(raw, sizeof(T));
}

}  // namespace

void ByteWriter::put_i32(std::int32_t v) { put_raw(bytes_, v); }
void ByteWriter::put_i16(std::int16_t v) { put_raw(bytes_, v); }
void ByteWriter::put_f32(float v) { put_raw(bytes_, std::bit_cast<std::uint32_t>(v)); }
void ByteWriter::put_logical(bool v) { put_i32(v ? 1 : 0); }

void ByteWriter::put_text(std::string_view text, std::size_t n) {
    std::string field(text.substr(0, n));
    field.resize(n, ' ');
    bytes_ += field;
}

void ByteWriter::put_f32s(std::span<const float> values) {
    if constexpr (std::endian::native == std::endian::little) {
        bytes_.append(reinterpret_cast<const char*>(values.data()), values.size_bytes());
    } else {
        for (float v : values) put_f32(v);
    }
}

void ByteWriter::put_i16s(std::span<const std::int16_t> values) {
    for (auto v : values) put_i16(v);
}

}  // namespace platform
