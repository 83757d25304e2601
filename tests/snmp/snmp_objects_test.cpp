// VAXO-MIB's objects as a GETNEXT walk meets them: in strict OID order under
// the module's root, each found exactly and each followed by the next; the
// notifications' OIDs and a text cut to what an SnmpAdminString holds.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/control_program.h"
#include "link/encoder_simulator.h"
#include "snmp/agentx_subagent.h"
#include "snmp/snmp_objects.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/manual_host.h"
#include "tests/support/own_runtime_dir.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_services.h"

namespace vaxo {
namespace {

Oid Under(std::initializer_list<std::uint32_t> arcs) {
    Oid oid = VaxoMibRoot();
    oid.insert(oid.end(), arcs);
    return oid;
}

class SnmpObjectsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        program_ =
            std::make_unique<ControlProgram>(test::TestServices(host_, layer_, timing_, folder_));
        program_->Start({});
        host_.RunPending();
        objects_ = SnmpObjects(program_->View(), std::chrono::system_clock::now());
    }
    void TearDown() override { program_->ReleasePort(); }

    const SnmpValue* Value(const Oid& oid) const {
        const SnmpObject* object = FindObject(objects_, oid);
        return object ? &object->value : nullptr;
    }

    test::OwnRuntimeDir runtime_;
    test::TempDir folder_;
    test::FakeLinkTiming timing_{test::kUptimeAfterBoot};
    test::ManualHost host_{[this] { return timing_.Now(); }};
    EncoderSimulator encoder_;
    PortLayer layer_{ForwardingPortBackends(encoder_)};
    std::unique_ptr<ControlProgram> program_;
    std::vector<SnmpObject> objects_;
};

TEST_F(SnmpObjectsTest, AWalkMeetsEveryObjectOnceInOidOrderUnderTheRoot) {
    ASSERT_FALSE(objects_.empty());
    for (const SnmpObject& object : objects_) {
        EXPECT_TRUE(std::equal(VaxoMibRoot().begin(), VaxoMibRoot().end(), object.oid.begin()));
    }
    EXPECT_TRUE(std::adjacent_find(objects_.begin(), objects_.end(),
                                   [](const SnmpObject& a, const SnmpObject& b) {
                                       return !(a.oid < b.oid);
                                   }) == objects_.end())
        << "strictly ascending, or GETNEXT would skip or repeat";

    // Walking by NextObject from the root visits exactly the list.
    std::size_t visited = 0;
    Oid at = VaxoMibRoot();
    while (const SnmpObject* next = NextObject(objects_, at)) {
        ASSERT_LT(visited, objects_.size());
        EXPECT_EQ(next->oid, objects_[visited].oid);
        at = next->oid;
        ++visited;
    }
    EXPECT_EQ(visited, objects_.size());
}

TEST_F(SnmpObjectsTest, OnlyInstancesAreFoundAndANodeLeadsToItsFirstInstance) {
    EXPECT_EQ(FindObject(objects_, Under({1, 1})), nullptr) << "the scalar's node, not .0";
    EXPECT_EQ(FindObject(objects_, Under({1, 99, 0})), nullptr);
    ASSERT_NE(NextObject(objects_, Under({1, 1})), nullptr);
    EXPECT_EQ(NextObject(objects_, Under({1, 1}))->oid, Under({1, 1, 0}));
    EXPECT_EQ(NextObject(objects_, Under({1, 12}))->oid, Under({1, 12, 1, 2, 1}));
    EXPECT_EQ(NextObject(objects_, Under({2})), nullptr) << "nothing served past the state";
    EXPECT_EQ(NextObject(objects_, Oid{1, 3}), &objects_.front()) << "from before the root";
}

TEST_F(SnmpObjectsTest, ValuesNotKnownYetAreMinusOneAndEveryAlarmKindHasARow) {
    ASSERT_NE(Value(Under({1, 1, 0})), nullptr);
    EXPECT_EQ(Value(Under({1, 2, 0}))->type, SnmpValue::Type::Counter64);
    EXPECT_EQ(Value(Under({1, 9, 0}))->number, -1) << "no day of wear history";
    EXPECT_EQ(Value(Under({1, 4, 0}))->number, 0) << "no send yet";
    for (std::uint32_t kind = 0; kind < kAlarmKinds; ++kind) {
        const SnmpValue* name = Value(Under({1, 12, 1, 2, kind + 1}));
        ASSERT_NE(name, nullptr);
        EXPECT_EQ(name->text, AlarmName(static_cast<AlarmKind>(kind)));
        EXPECT_EQ(Value(Under({1, 12, 1, 3, kind + 1}))->number, 0);
    }
}

TEST(SnmpNotificationTest, RaisedAndClearedHaveTheirOwnOidsAndTextsFitTheirType) {
    // Field by field: MinGW's GCC 12 at -O3 takes the aggregate's string for uninitialised.
    AlarmEntry entry;
    entry.at = std::chrono::system_clock::time_point(std::chrono::seconds(1'796'000'000));
    entry.key.kind = AlarmKind::FeedUnchanged;
    entry.key.subject = "radiotext";
    entry.text = "unchanged for 10 min";
    std::string station;
    while (station.size() < 300) {
        station += "Rádio ";  // two octets in á
    }
    const SnmpNotification raised = NotificationOf(entry, station);
    EXPECT_EQ(raised.trap, Under({0, 1}));
    ASSERT_EQ(raised.objects.size(), 4U);
    EXPECT_EQ(raised.objects[0].oid, Under({2, 1, 0}));
    EXPECT_EQ(raised.objects[0].value.text, "feed_unchanged radiotext");
    EXPECT_EQ(raised.objects[3].value.text, "2026-11-30T00:53:20Z");
    const std::string& cut = raised.objects[2].value.text;
    EXPECT_LE(cut.size(), 255U);
    EXPECT_GE(cut.size(), 254U);
    EXPECT_EQ(station.compare(0, cut.size(), cut), 0);
    EXPECT_NE(static_cast<unsigned char>(station[cut.size()]) & 0xC0U, 0x80U)
        << "not cut inside a letter";

    entry.what = AlarmEntry::What::Cleared;
    EXPECT_EQ(NotificationOf(entry, "x").trap, Under({0, 2}));
}

TEST(AgentxSocketTest, OnlyLocalSocketsAndMastersOnThisMachine) {
    for (const char* socket : {"/var/agentx/master", "unix:/run/snmp/agentx", "tcp:127.0.0.1:705",
                               "tcp:localhost:705"}) {
        EXPECT_EQ(WhyNoAgentxSocket(socket), std::nullopt) << socket;
    }
    for (const char* socket : {"", "agentx", "unix:", "unix:relative", "/", "tcp:127.0.0.1",
                               "tcp:127.0.0.1:x", "tcp:192.0.2.1:705", "udp:127.0.0.1:705"}) {
        EXPECT_NE(WhyNoAgentxSocket(socket), std::nullopt) << socket;
    }
}

}  // namespace
}  // namespace vaxo
