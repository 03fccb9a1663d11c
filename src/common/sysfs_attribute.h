#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace voltrane::sysfs {

/// Reads one small attribute file (`name` relative to the open folder `folder`, or an absolute
/// path with AT_FDCWD) into `buffer` and returns its text without trailing white space. Nothing
/// when the file is missing, unreadable, empty or fills the buffer (no attribute the kernel
/// writes is that long). Never blocks: a FIFO or other special file in its place reads as
/// nothing. Allocates nothing.
std::optional<std::string_view> readAttribute(int folder, const char* name, std::span<char> buffer);

/// The same, copied out, for attributes of up to 255 bytes.
std::optional<std::string> readText(int folder, const char* name);

/// A whole decimal integer attribute ("-1230000\n"); garbage reads as nothing. Allocates nothing.
std::optional<std::int64_t> readInteger(int folder, const char* name);

} // namespace voltrane::sysfs
