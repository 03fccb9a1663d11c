#include "analytics/build_info.h"
#include "analytics/telemetry_payload.h"

#include <gtest/gtest.h>
#include <sys/utsname.h>

namespace voltrane {
namespace {

TEST(TelemetryPayloadTest, EncodesSixStringsCompactlyWithTheConfiguredBuildAndKernelRelease) {
    const TelemetryPayload odd{QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"),
                               TelemetryEvent::heartbeat,
                               QStringLiteral("1.0/beta \"q\""),
                               QString::fromUtf8("构建\n7"),
                               QStringLiteral("14.5.0"),
                               QStringLiteral("x86_64")};
    EXPECT_EQ(odd.encoded(), QByteArray(R"({"app_version":"1.0/beta \"q\"","architecture":"x86_64",)"
                                        R"("build":"构建\n7","event":"heartbeat","install_id":)"
                                        R"("0f8fad5b-d9cb-469f-a165-70867728950e","os_version":"14.5.0"})"));
    const auto payload = TelemetryPayload::forThisMachine(TelemetryEvent::appLaunch, QStringLiteral("id"));
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(payload, (TelemetryPayload{QStringLiteral("id"), TelemetryEvent::appLaunch,
                                         QStringLiteral(EXPECTED_APP_VERSION), QStringLiteral(EXPECTED_BUILD),
                                         buildinfo::threeComponentVersion(QString::fromLatin1(names.release)),
                                         payload.architecture}));
    for (const auto& [release, version] : {std::pair{"6.1.0-18-amd64", "6.1.0"},
                                           {"6.8-rc1", "6.8.0"},
                                           {"4.19.0.3", "4.19.0"},
                                           {"unknown", "0.0.0"}}) {
        EXPECT_EQ(buildinfo::threeComponentVersion(QString::fromLatin1(release)),
                  QString::fromLatin1(version));
    }
}

} // namespace
} // namespace voltrane
