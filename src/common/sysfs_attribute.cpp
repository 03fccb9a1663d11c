#include "common/sysfs_attribute.h"

#include <array>
#include <charconv>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace voltrane::sysfs {

std::optional<std::string_view> readAttribute(int folder, const char* name, std::span<char> buffer) {
    const int fd = ::openat(folder, name, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        return std::nullopt;
    }
    const ssize_t length = ::read(fd, buffer.data(), buffer.size());
    ::close(fd);
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
        return std::nullopt;
    }
    std::string_view text(buffer.data(), static_cast<std::size_t>(length));
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> readText(int folder, const char* name) {
    std::array<char, 256> buffer{};
    const auto text = readAttribute(folder, name, buffer);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

std::optional<std::int64_t> readInteger(int folder, const char* name) {
    std::array<char, 32> buffer{}; // 20 characters at most for any 64-bit value
    const auto text = readAttribute(folder, name, buffer);
    if (!text) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [stop, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    if (error != std::errc() || stop != text->data() + text->size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace voltrane::sysfs
