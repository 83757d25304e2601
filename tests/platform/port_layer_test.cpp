#include <gtest/gtest.h>

#include <sstream>

#include "link/encoder_simulator.h"
#include "link/port_trace.h"
#include "platform/port_layer.h"
#include "tests/support/recording_port.h"

namespace vaxo {
namespace {

using test::RecordingPort;

// Backends whose one port exists or not, and that report what became of it.
class FakeBackends : public PortBackends {
  public:
    FakeBackends(bool available, bool direct) : available_(available), direct_(direct) {}
    ChannelOpening Open(std::uint32_t base) override {
        ++openings;
        if (!available_) {
            return {nullptr, {LinkFault::PortNotPermitted, "/dev/parport0"}};
        }
        return {std::make_unique<TaggedChannel>(base, direct_)};
    }
    int openings = 0;

  private:
    class TaggedChannel : public PortChannel {
      public:
        TaggedChannel(std::uint32_t base, bool direct) : base_(base), canGoDirect_(direct) {}
        std::uint8_t Read(std::uint32_t offset) override {
            return static_cast<std::uint8_t>((direct_ ? 0x20 : 0x10) + offset + (base_ >> 8));
        }
        void Write(std::uint32_t, std::uint8_t) override {}
        bool GoDirect() override { return direct_ = canGoDirect_; }
        std::string Description() const override { return direct_ ? "direct" : "driver"; }

      private:
        std::uint32_t base_;
        bool canGoDirect_;
        bool direct_ = false;
    };
    bool available_;
    bool direct_;
};

TEST(PortLayer, WithoutAPortReadsGiveZeroAndEveryOpeningSaysWhy) {
    auto backends = std::make_unique<FakeBackends>(false, true);
    FakeBackends& fake = *backends;
    PortLayer layer(std::move(backends));
    layer.PortLayerStartup();
    layer.SetDirectAccess(true);
    EXPECT_EQ(layer.PortReadByte(0x379), 0);
    layer.PortWriteByte(0x378, 0x60);
    EXPECT_FALSE(layer.PortAccessAvailable());
    EXPECT_FALSE(layer.DirectAccessActive()) << "no access stays no access";
    EXPECT_EQ(fake.openings, 1) << "plain accesses do not retry a port that failed";
    EXPECT_EQ(layer.OpenPort(kLpt1Base).problem.fault, LinkFault::PortNotPermitted);
    EXPECT_EQ(fake.openings, 2) << "a send tries again";
}

TEST(PortLayer, PortsOpenWhenUsedAndGoDirectOnceAllowed) {
    auto backends = std::make_unique<FakeBackends>(true, true);
    FakeBackends& fake = *backends;
    PortLayer layer(std::move(backends));
    EXPECT_EQ(layer.PortReadByte(0x379), 0) << "nothing before start-up";
    layer.PortLayerStartup();
    EXPECT_EQ(layer.PortReadByte(0x379), 0x10 + 1 + 3);
    EXPECT_EQ(layer.PortReadByte(0x279), 0x10 + 1 + 2) << "each LPT is its own port";
    EXPECT_EQ(layer.PortReadByte(0x37A + 1), 0) << "no other address";
    EXPECT_EQ(layer.PortRead(0x379, PortWidth::Word), 0u) << "byte accesses only";
    layer.SetDirectAccess(true);
    EXPECT_TRUE(layer.DirectAccessActive());
    EXPECT_EQ(layer.PortReadByte(0x378), 0x20 + 3);
    EXPECT_EQ(layer.OpenPort(kLpt2Base).description, "direct");
    EXPECT_EQ(fake.openings, 2);
    EXPECT_EQ(layer.OpenPort(kLpt1Base).description, "direct");
    EXPECT_EQ(fake.openings, 3) << "asking for LPT1 again reopens it: LPT2's turn let it go";
    layer.PortLayerShutdown();
    EXPECT_FALSE(layer.PortAccessAvailable());
    EXPECT_EQ(layer.PortReadByte(0x379), 0);
}

TEST(PortLayer, DirectAccessRefusedKeepsDriverRequests) {
    PortLayer layer(std::make_unique<FakeBackends>(true, false));
    layer.PortLayerStartup();
    layer.SetDirectAccess(true);
    EXPECT_FALSE(layer.DirectAccessActive());
    EXPECT_EQ(layer.PortReadByte(0x379), 0x10 + 1 + 3);
    EXPECT_EQ(layer.OpenPort(kLpt1Base).description, "driver");
}

TEST(PortTrace, RecordsEveryAccessAndTheLinesAsAWaveform) {
    RecordingPort inner([] { return true; });
    std::ostringstream text, vcd;
    PortTrace trace(inner, &text, &vcd);
    trace.PortWriteByte(0x378, 0x60);
    EXPECT_TRUE(trace.PortReadByte(0x379) & 0x20);
    trace.PortWriteByte(0x378, 0x00);
    EXPECT_EQ(inner.writes, (std::vector<std::uint8_t>{0x60, 0x00}));

    std::istringstream lines(text.str());
    std::string kind, port, value;
    long long ns = 0, previous = -1;
    lines >> ns >> port >> value;
    EXPECT_EQ(port + " " + value, "378 60");
    previous = ns;
    lines >> kind >> ns >> port >> value;
    EXPECT_EQ(kind + " " + port + " " + value, "R 379 20");
    EXPECT_GE(ns, previous);
    lines >> ns >> port >> value;
    EXPECT_EQ(port + " " + value, "378 0");

    const std::string waveform = vcd.str();
    EXPECT_NE(waveform.find("$var wire 1 c clock $end"), std::string::npos);
    EXPECT_NE(waveform.find("\n0c\n0d\n"), std::string::npos) << "0x60 pulls both lines low";
    EXPECT_NE(waveform.find("\n1s\n"), std::string::npos);
    EXPECT_NE(waveform.find("\n1c\n1d\n"), std::string::npos) << "0x00 releases both";
}

TEST(EncoderSimulator, NeverConfirmsAPageCutShort) {
    EncoderSimulator encoder;
    auto write = [&](std::uint8_t value) { encoder.PortWriteByte(kLpt1Base, value); };
    auto bit = [&](bool one) {
        const std::uint8_t data = one ? 0x00 : 0x40;
        write(0x20 | data);
        write(data);
        write(0x20 | data);
    };
    auto byte = [&](unsigned value) {
        for (int b = 7; b >= 0; --b)
            bit((value >> b) & 1u);
        bit(true);  // acknowledge clock
    };
    write(0x00);
    write(0x40);  // start
    byte(0xA2);
    byte(0x10);
    for (int i = 0; i < 5; ++i)
        byte(0x41);
    write(0x60);
    write(0x40);
    write(0x00);  // stop after 5 of 16 bytes
    EXPECT_EQ(encoder.MalformedTransactions(), 1);
    EXPECT_EQ(encoder.Memory(1)[0x14], 0x41) << "the bytes received are stored, like a 24Cxx";
    EXPECT_EQ(encoder.Memory(1)[0x15], 0xFF);
    EXPECT_FALSE(encoder.PortReadByte(kLpt1Base + 1) & 0x20) << "but the write is not confirmed";
}

TEST(EncoderSimulator, PageWritesWrapAroundWithinTheirPage) {
    EncoderSimulator encoder;
    auto write = [&](std::uint8_t value) { encoder.PortWriteByte(kLpt1Base, value); };
    auto byte = [&](unsigned value) {
        for (int b = 8; b >= 0; --b) {
            const std::uint8_t data = b == 0 || ((value >> (b - 1)) & 1u) ? 0x00 : 0x40;
            write(0x20 | data);
            write(data);
            write(0x20 | data);
        }
    };
    write(0x40);
    byte(0xA0);
    byte(0x2E);  // two bytes before the page end
    for (unsigned i = 0; i < 16; ++i)
        byte(i);
    write(0x60);
    write(0x40);
    write(0x00);
    EXPECT_EQ(encoder.Memory(0)[0x2E], 0);
    EXPECT_EQ(encoder.Memory(0)[0x2F], 1);
    EXPECT_EQ(encoder.Memory(0)[0x20], 2);
    EXPECT_EQ(encoder.Memory(0)[0x2D], 15);
    EXPECT_EQ(encoder.PagesWritten(), 1);
}

}  // namespace
}  // namespace vaxo
