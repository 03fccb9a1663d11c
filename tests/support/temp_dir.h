#pragma once

#include <filesystem>
#include <string_view>

namespace voltrane::testing {

/// A fresh folder under the system's temporary directory, removed with everything in it
/// when the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }

    /// Writes `contents` to `relative` (creating folders on the way) and returns its path.
    std::filesystem::path write(const std::filesystem::path& relative, std::string_view contents) const;

private:
    std::filesystem::path path_;
};

} // namespace voltrane::testing
