#pragma once

#include <QString>

namespace voltrane::buildinfo {

/// Text of a compiled-in definition, or "unknown" when it was not given or is empty.
QString textOrUnknown(const char* compiled);

/// The program's version and build number as configured in CMake, each "unknown" on its own
/// when missing.
QString appVersion();
QString build();

/// The processor architecture this program was compiled for ("x86_64", "arm64", "i386", "arm",
/// "riscv64", "ppc64le", "ppc64", "s390x", "loongarch64"; "unknown" for any other).
QString architecture();

/// The running operating system's version as "major.minor.patch".
QString osVersion();

/// Three dot-separated decimal components taken from the front of a version text such as a
/// kernel release ("6.1.0-18-amd64" → "6.1.0", "5.15" → "5.15.0", "6.8-rc1" → "6.8.0"). Missing
/// components are 0; leading zeros are dropped.
QString threeComponentVersion(const QString& release);

} // namespace voltrane::buildinfo
