#include "analytics/build_info.h"
#include "analytics/telemetry_payload.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <sys/utsname.h>

namespace voltrane {
namespace {

const TelemetryPayload kSample{QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"),
                               TelemetryEvent::heartbeat,
                               QStringLiteral("1.2"),
                               QStringLiteral("34"),
                               QStringLiteral("14.5.0"),
                               QStringLiteral("x86_64")};

TEST(TelemetryPayloadTest, EncodesSixStringsCompactlyAndDecodesThemBack) {
    EXPECT_EQ(kSample.encoded(),
              QByteArrayLiteral(R"({"app_version":"1.2","architecture":"x86_64","build":"34",)"
                                R"("event":"heartbeat","install_id":"0f8fad5b-d9cb-469f-a165-)"
                                R"(70867728950e","os_version":"14.5.0"})"));
    TelemetryPayload odd = kSample;
    odd.appVersion = QStringLiteral("1.0/beta \"q\"");
    odd.build = QString::fromUtf8("构建\n7");
    EXPECT_TRUE(odd.encoded().contains(QByteArray(R"("app_version":"1.0/beta \"q\"","architecture":"x86_64",)"
                                                  R"("build":"构建\n7")")));
    for (const TelemetryEvent event : allTelemetryEvents) {
        odd.event = event;
        EXPECT_EQ(TelemetryPayload::decoded(odd.encoded()), odd) << rawValue(event);
    }
}

TEST(TelemetryPayloadTest, DecodesOnlyAnObjectWithAllSixStrings) {
    const QJsonObject sample = QJsonDocument::fromJson(kSample.encoded()).object();
    const auto decodedWith = [&](const char* member, QJsonValue value) { // undefined: member removed
        QJsonObject object = sample;
        object.remove(QLatin1String(member));
        if (!value.isUndefined()) {
            object.insert(QLatin1String(member), value);
        }
        return TelemetryPayload::decoded(QJsonDocument(object).toJson());
    };
    EXPECT_EQ(decodedWith("extra", 1), kSample);
    for (const char* member : {"install_id", "event", "app_version", "build", "os_version", "architecture"}) {
        EXPECT_EQ(decodedWith(member, QJsonValue::Undefined), std::nullopt) << member;
        EXPECT_EQ(decodedWith(member, 34), std::nullopt) << member;
    }
    EXPECT_EQ(decodedWith("event", QStringLiteral("dashboardOpen")), std::nullopt);
    for (const QByteArray& body : {QByteArray(), QByteArrayLiteral("[]"), kSample.encoded().chopped(1)}) {
        EXPECT_EQ(TelemetryPayload::decoded(body), std::nullopt) << body.constData();
    }
}

TEST(TelemetryPayloadTest, ForThisMachineCarriesTheConfiguredBuildAndKernelRelease) {
    const TelemetryPayload payload =
        TelemetryPayload::forThisMachine(TelemetryEvent::appLaunch, QStringLiteral("id"));
    EXPECT_EQ(payload, (TelemetryPayload{QStringLiteral("id"), TelemetryEvent::appLaunch,
                                         QStringLiteral(EXPECTED_APP_VERSION), QStringLiteral(EXPECTED_BUILD),
                                         payload.osVersion, payload.architecture}));
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(payload.osVersion, buildinfo::threeComponentVersion(QString::fromLatin1(names.release)));
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
