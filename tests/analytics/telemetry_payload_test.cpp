#include "analytics/build_info.h"
#include "analytics/telemetry_payload.h"
#include "support/param_name.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <ostream>
#include <sys/utsname.h>

namespace voltrane {
namespace {

/// Prints a table row as its name in failure messages.
template <typename Row>
requires requires(const Row& row) {
    std::string_view(row.name);
}
void PrintTo(const Row& row, std::ostream* out) {
    *out << row.name;
}

TelemetryPayload samplePayload() {
    return TelemetryPayload{
        .installID = QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"),
        .event = TelemetryEvent::heartbeat,
        .appVersion = QStringLiteral("1.2"),
        .build = QStringLiteral("34"),
        .osVersion = QStringLiteral("14.5.0"),
        .architecture = QStringLiteral("x86_64"),
    };
}

TEST(TelemetryPayloadTest, EncodesSixStringMembersCompactly) {
    const QByteArray body = samplePayload().encoded();
    EXPECT_FALSE(body.contains(' '));
    EXPECT_FALSE(body.contains('\n'));
    const QJsonObject object = QJsonDocument::fromJson(body).object();
    EXPECT_EQ(object.size(), 6);
    EXPECT_EQ(object.value(QStringLiteral("install_id")).toString(),
              QStringLiteral("0f8fad5b-d9cb-469f-a165-70867728950e"));
    EXPECT_EQ(object.value(QStringLiteral("event")), QJsonValue(QStringLiteral("heartbeat")));
    EXPECT_EQ(object.value(QStringLiteral("app_version")), QJsonValue(QStringLiteral("1.2")));
    EXPECT_EQ(object.value(QStringLiteral("build")), QJsonValue(QStringLiteral("34")));
    EXPECT_EQ(object.value(QStringLiteral("os_version")), QJsonValue(QStringLiteral("14.5.0")));
    EXPECT_EQ(object.value(QStringLiteral("architecture")), QJsonValue(QStringLiteral("x86_64")));
}

TEST(TelemetryPayloadTest, EscapesOnlyWhatJsonRequiresAndKeepsUtf8) {
    TelemetryPayload payload = samplePayload();
    payload.appVersion = QStringLiteral("1.0/beta \"q\"");
    payload.build = QString::fromUtf8("构建\n7");
    const QByteArray body = payload.encoded();
    EXPECT_TRUE(body.contains(R"("app_version":"1.0/beta \"q\"")")) << body.constData();
    EXPECT_TRUE(body.contains(QByteArray(R"("build":")") + QByteArray("构建") + QByteArray(R"(\n7")")))
        << body.constData();
    EXPECT_EQ(TelemetryPayload::decoded(body), payload);
}

TEST(TelemetryPayloadTest, DecodesWhatItEncodesForEveryEvent) {
    for (const TelemetryEvent event : allTelemetryEvents) {
        TelemetryPayload payload = samplePayload();
        payload.event = event;
        EXPECT_EQ(TelemetryPayload::decoded(payload.encoded()), payload) << rawValue(event);
    }
}

TEST(TelemetryPayloadTest, DecodingIgnoresExtraMembers) {
    QJsonObject object = QJsonDocument::fromJson(samplePayload().encoded()).object();
    object.insert(QStringLiteral("extra"), 1);
    EXPECT_EQ(TelemetryPayload::decoded(QJsonDocument(object).toJson()), samplePayload());
}

struct BadBodyRow {
    const char* name;
    const char* member; ///< member to change
    QJsonValue value;   ///< undefined = remove the member
};

class TelemetryPayloadRejects : public ::testing::TestWithParam<BadBodyRow> {};

TEST_P(TelemetryPayloadRejects, BodyWithoutAllSixStrings) {
    const BadBodyRow& row = GetParam();
    QJsonObject object = QJsonDocument::fromJson(samplePayload().encoded()).object();
    const QString member = QString::fromLatin1(row.member);
    ASSERT_TRUE(object.contains(member));
    if (row.value.isUndefined()) {
        object.remove(member);
    } else {
        object.insert(member, row.value);
    }
    EXPECT_EQ(TelemetryPayload::decoded(QJsonDocument(object).toJson()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    Bodies, TelemetryPayloadRejects,
    ::testing::Values(BadBodyRow{"missingInstallID", "install_id", QJsonValue::Undefined},
                      BadBodyRow{"missingEvent", "event", QJsonValue::Undefined},
                      BadBodyRow{"missingAppVersion", "app_version", QJsonValue::Undefined},
                      BadBodyRow{"missingBuild", "build", QJsonValue::Undefined},
                      BadBodyRow{"missingOsVersion", "os_version", QJsonValue::Undefined},
                      BadBodyRow{"missingArchitecture", "architecture", QJsonValue::Undefined},
                      BadBodyRow{"unknownEvent", "event", QStringLiteral("app_quit")},
                      BadBodyRow{"eventCaseName", "event", QStringLiteral("dashboardOpen")},
                      BadBodyRow{"numericBuild", "build", 34},
                      BadBodyRow{"nullVersion", "app_version", QJsonValue::Null}),
    testing::ParamName{});

TEST(TelemetryPayloadTest, RejectsBodiesThatAreNotAnObject) {
    EXPECT_EQ(TelemetryPayload::decoded(QByteArrayLiteral("")), std::nullopt);
    EXPECT_EQ(TelemetryPayload::decoded(QByteArrayLiteral("[]")), std::nullopt);
    EXPECT_EQ(TelemetryPayload::decoded(samplePayload().encoded().chopped(1)), std::nullopt);
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

INSTANTIATE_TEST_SUITE_P(
    Releases, OsVersionFromRelease,
    ::testing::Values(ReleaseRow{"debianKernel", "6.1.0-18-amd64", "6.1.0"},
                      ReleaseRow{"patchLevelZeroAdded", "14.5", "14.5.0"},
                      ReleaseRow{"majorOnly", "23", "23.0.0"},
                      ReleaseRow{"releaseCandidate", "6.8-rc1", "6.8.0"},
                      ReleaseRow{"fourComponents", "4.19.0.3", "4.19.0"},
                      ReleaseRow{"vendorSuffix", "5.15.153.1-microsoft-standard-WSL2", "5.15.153"},
                      ReleaseRow{"plusSuffix", "6.6.12+rpt-rpi-v8", "6.6.12"},
                      ReleaseRow{"leadingZeros", "06.01.007", "6.1.7"},
                      ReleaseRow{"trailingDot", "6.", "6.0.0"}, ReleaseRow{"noNumber", "unknown", "0.0.0"},
                      ReleaseRow{"empty", "", "0.0.0"}),
    testing::ParamName{});

TEST(BuildInfoTest, CompiledTextsFallBackToUnknownEachOnItsOwn) {
    EXPECT_EQ(buildinfo::textOrUnknown(nullptr), QStringLiteral("unknown"));
    EXPECT_EQ(buildinfo::textOrUnknown(""), QStringLiteral("unknown"));
    EXPECT_EQ(buildinfo::textOrUnknown("1.2"), QStringLiteral("1.2"));
}

TEST(BuildInfoTest, PayloadForThisMachineCarriesTheConfiguredBuild) {
    const TelemetryPayload payload =
        TelemetryPayload::forThisMachine(TelemetryEvent::dashboardOpen, QStringLiteral("id"));
    EXPECT_EQ(payload.installID, QStringLiteral("id"));
    EXPECT_EQ(payload.event, TelemetryEvent::dashboardOpen);
    EXPECT_EQ(payload.appVersion, QStringLiteral(EXPECTED_APP_VERSION));
    EXPECT_EQ(payload.build, QStringLiteral(EXPECTED_BUILD));
#if defined(__x86_64__)
    EXPECT_EQ(payload.architecture, QStringLiteral("x86_64"));
#endif
    // The kernel release of this machine, cut to three numbers.
    utsname names{};
    ASSERT_EQ(uname(&names), 0);
    const QString release = QString::fromLatin1(names.release);
    const QRegularExpression threeNumbers(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)$"));
    const auto match = threeNumbers.match(payload.osVersion);
    ASSERT_TRUE(match.hasMatch()) << payload.osVersion.toStdString();
    EXPECT_TRUE(release.startsWith(match.captured(1) + QLatin1Char('.') + match.captured(2)))
        << release.toStdString() << " vs " << payload.osVersion.toStdString();
}

} // namespace
} // namespace voltrane
