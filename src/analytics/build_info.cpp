#include "analytics/build_info.h"

#include <QOperatingSystemVersion>
#include <QStringList>
#include <QSysInfo>

#ifndef VOLTRANE_VERSION
#define VOLTRANE_VERSION ""
#endif
#ifndef VOLTRANE_BUILD
#define VOLTRANE_BUILD ""
#endif

namespace voltrane::buildinfo {

namespace {

constexpr const char* compiledArchitecture() {
#if defined(__x86_64__) || defined(_M_X64)
    return "x86_64";
#elif defined(__aarch64__) || defined(_M_ARM64)
    // The name the original platform uses for 64-bit ARM.
    return "arm64";
#elif defined(__i386__) || defined(_M_IX86)
    return "i386";
#elif defined(__arm__)
    return "arm";
#elif defined(__riscv) && __riscv_xlen == 64
    return "riscv64";
#elif defined(__powerpc64__) && defined(__LITTLE_ENDIAN__)
    return "ppc64le";
#elif defined(__powerpc64__)
    return "ppc64";
#elif defined(__s390x__)
    return "s390x";
#elif defined(__loongarch64)
    return "loongarch64";
#else
    return "unknown";
#endif
}

} // namespace

QString textOrUnknown(const char* compiled) {
    if (compiled == nullptr || *compiled == '\0') {
        return QStringLiteral("unknown");
    }
    return QString::fromUtf8(compiled);
}

QString appVersion() {
    return textOrUnknown(VOLTRANE_VERSION);
}

QString build() {
    return textOrUnknown(VOLTRANE_BUILD);
}

QString architecture() {
    return QString::fromLatin1(compiledArchitecture());
}

QString osVersion() {
#if defined(Q_OS_LINUX)
    return threeComponentVersion(QSysInfo::kernelVersion());
#else
    const auto current = QOperatingSystemVersion::current();
    return QStringLiteral("%1.%2.%3")
        .arg(qMax(current.majorVersion(), 0))
        .arg(qMax(current.minorVersion(), 0))
        .arg(qMax(current.microVersion(), 0));
#endif
}

QString threeComponentVersion(const QString& release) {
    QStringList parts;
    qsizetype at = 0;
    while (parts.size() < 3) {
        qsizetype end = at;
        while (end < release.size() && release.at(end).isDigit() && release.at(end).unicode() < 128) {
            ++end;
        }
        if (end == at) {
            break;
        }
        bool ok = false;
        const qulonglong number = release.mid(at, end - at).toULongLong(&ok);
        if (!ok) {
            break; // too many digits to be a version component
        }
        parts.append(QString::number(number));
        if (end >= release.size() || release.at(end) != QLatin1Char('.')) {
            break;
        }
        at = end + 1;
    }
    while (parts.size() < 3) {
        parts.append(QStringLiteral("0"));
    }
    return parts.join(QLatin1Char('.'));
}

} // namespace voltrane::buildinfo
