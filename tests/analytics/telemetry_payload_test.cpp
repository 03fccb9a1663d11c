#include "analytics/build_info.h"
#include "analytics/telemetry_payload.h"
#include "support/param_name.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
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

QJsonObject sampleObject() {
    return QJsonDocument::fromJson(kSample.encoded()).object();
}

TEST(TelemetryPayloadTest, EncodesSixStringMembersCompactlyEscapingOnlyWhatJsonRequires) {
    EXPECT_EQ(kSample.encoded(),
              QByteArrayLiteral(R"({"app_version":"1.2","architecture":"x86_64","build":"34",)"
                                R"("event":"heartbeat","install_id":"0f8fad5b-d9cb-469f-a165-)"
                                R"(70867728950e","os_version":"14.5.0"})"));
    TelemetryPayload odd = kSample;
    odd.appVersion = QStringLiteral("1.0/beta \"q\"");
    odd.build = QString::fromUtf8("构建\n7");
    const QByteArray body = odd.encoded();
    EXPECT_TRUE(body.contains(R"("app_version":"1.0/beta \"q\"")")) << body.constData();
    EXPECT_TRUE(body.contains(QByteArray(R"("build":"构建\n7")"))) << body.constData();
    EXPECT_EQ(TelemetryPayload::decoded(body), odd);
}

TEST(TelemetryPayloadTest, DecodesWhatItEncodesForEveryEventIgnoringExtraMembers) {
    for (const TelemetryEvent event : allTelemetryEvents) {
        TelemetryPayload payload = kSample;
        payload.event = event;
        EXPECT_EQ(TelemetryPayload::decoded(payload.encoded()), payload) << rawValue(event);
    }
    QJsonObject object = sampleObject();
    object.insert(QStringLiteral("extra"), 1);
    EXPECT_EQ(TelemetryPayload::decoded(QJsonDocument(object).toJson()), kSample);
}

struct BadBodyRow {
    const char* name;
    const char* member;
    QJsonValue value; ///< undefined = remove the member
};

class TelemetryPayloadRejects : public ::testing::TestWithParam<BadBodyRow> {};

TEST_P(TelemetryPayloadRejects, BodyWithoutAllSixStrings) {
    QJsonObject object = sampleObject();
    const QString member = QString::fromLatin1(GetParam().member);
    ASSERT_TRUE(object.contains(member));
    object.remove(member);
    if (!GetParam().value.isUndefined()) {
        object.insert(member, GetParam().value);
    }
    EXPECT_EQ(TelemetryPayload::decoded(QJsonDocument(object).toJson()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, TelemetryPayloadRejects,
    ::testing::Values(BadBodyRow{"missingInstallID", "install_id", QJsonValue::Undefined},
                      BadBodyRow{"missingArchitecture", "architecture", QJsonValue::Undefined},
                      BadBodyRow{"unknownEvent", "event", QStringLiteral("app_quit")},
                      BadBodyRow{"eventCaseName", "event", QStringLiteral("dashboardOpen")},
                      BadBodyRow{"numericBuild", "build", 34},
                      BadBodyRow{"nullVersion", "app_version", QJsonValue::Null}),
    testing::ParamName{});

TEST(TelemetryPayloadTest, RejectsBodiesThatAreNotAnObject) {
    for (const QByteArray& body : {QByteArray(), QByteArrayLiteral("[]"), kSample.encoded().chopped(1)}) {
        EXPECT_EQ(TelemetryPayload::decoded(body), std::nullopt) << body.constData();
    }
}

struct ReleaseRow {
    const char* name;
    const char* release;
    const char* expected;
};

class OsVersionFromRelease : public ::testing::TestWithParam<ReleaseRow> {};

TEST_P(OsVersionFromRelease, HasThreeComponents) {
    EXPECT_EQ(buildinfo::threeComponentVersion(QString::fromLatin1(GetParam().release)),
              QString::fromLatin1(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Releases, OsVersionFromRelease,
                         ::testing::Values(ReleaseRow{"debianKernel", "6.1.0-18-amd64", "6.1.0"},
                                           ReleaseRow{"patchLevelZeroAdded", "14.5", "14.5.0"},
                                           ReleaseRow{"releaseCandidate", "6.8-rc1", "6.8.0"},
                                           ReleaseRow{"fourComponents", "4.19.0.3", "4.19.0"},
                                           ReleaseRow{"noNumber", "unknown", "0.0.0"}),
                         testing::ParamName{});

TEST(BuildInfoTest, CompiledTextsFallBackToUnknownEachOnItsOwn) {
    EXPECT_EQ(buildinfo::textOrUnknown(nullptr), QStringLiteral("unknown"));
    EXPECT_EQ(buildinfo::textOrUnknown(""), QStringLiteral("unknown"));
    EXPECT_EQ(buildinfo::textOrUnknown("1.2"), QStringLiteral("1.2"));
}

TEST(BuildInfoTest, PayloadForThisMachineCarriesTheConfiguredBuildAndKernelRelease) {
    const TelemetryPayload payload =
        TelemetryPayload::forThisMachine(TelemetryEvent::dashboardOpen, QStringLiteral("id"));
    EXPECT_EQ(payload.installID, QStringLiteral("id"));
    EXPECT_EQ(payload.event, TelemetryEvent::dashboardOpen);
    EXPECT_EQ(payload.appVersion, QStringLiteral(EXPECTED_APP_VERSION));
    EXPECT_EQ(payload.build, QStringLiteral(EXPECTED_BUILD));
#if defined(__x86_64__)
    EXPECT_EQ(payload.architecture, QStringLiteral("x86_64"));
#endif
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    EXPECT_EQ(payload.osVersion, buildinfo::threeComponentVersion(QString::fromLatin1(names.release)));
}

} // namespace
} // namespace voltrane
