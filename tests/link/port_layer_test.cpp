#include <gtest/gtest.h>

#include <sstream>

#include "link/encoder_simulator.h"
#include "link/port_layer.h"
#include "link/port_trace.h"
#include "tests/support/recording_port.h"

namespace vaxo {
namespace {

using test::RecordingPort;

// Backends that exist or not, and that report what became of them.
class FakeBackends : public PortBackends {
  public:
    FakeBackends(bool driver, bool direct, int* opened)
        : driver_(driver), direct_(direct), opened_(opened) {}
    std::unique_ptr<PortIo> OpenDriver() override { return Open(driver_, 0x10); }
    std::unique_ptr<PortIo> OpenDirect() override { return Open(direct_, 0x20); }

  private:
    class TaggedPort : public PortIo {
      public:
        explicit TaggedPort(std::uint32_t tag) : tag_(tag) {}
        std::uint32_t PortRead(std::uint32_t, PortWidth) override { return tag_; }
        void PortWrite(std::uint32_t, PortWidth, std::uint32_t value) override { written = value; }
        std::uint32_t written = 0;

      private:
        std::uint32_t tag_;
    };
    std::unique_ptr<PortIo> Open(bool available, std::uint32_t tag) {
        if (!available)
            return nullptr;
        ++*opened_;
        return std::make_unique<TaggedPort>(tag);
    }
    bool driver_;
    bool direct_;
    int* opened_;
};

TEST(PortLayer, WithoutAnyBackendReadsGiveZeroAndDirectAccessStaysOff) {
    int opened = 0;
    PortLayer layer(std::make_unique<FakeBackends>(false, true, &opened));
    layer.PortLayerStartup();
    EXPECT_FALSE(layer.PortAccessAvailable());
    layer.SetDirectAccess(true);
    EXPECT_FALSE(layer.DirectAccessActive()) << "no access stays no access";
    EXPECT_EQ(layer.PortReadByte(0x379), 0);
    layer.PortWriteByte(0x378, 0x60);
    EXPECT_EQ(opened, 0);
}

TEST(PortLayer, DriverRequestsUntilDirectAccessIsGranted) {
    int opened = 0;
    PortLayer layer(std::make_unique<FakeBackends>(true, true, &opened));
    EXPECT_EQ(layer.PortReadByte(0x379), 0) << "nothing before start-up";
    layer.PortLayerStartup();
    EXPECT_TRUE(layer.PortAccessAvailable());
    EXPECT_FALSE(layer.DirectAccessActive());
    EXPECT_EQ(layer.PortReadByte(0x379), 0x10);
    layer.SetDirectAccess(false);
    EXPECT_FALSE(layer.DirectAccessActive());
    layer.SetDirectAccess(true);
    EXPECT_TRUE(layer.DirectAccessActive());
    EXPECT_EQ(layer.PortRead(0x379, PortWidth::Word), 0x20u);
    layer.PortLayerShutdown();
    EXPECT_FALSE(layer.PortAccessAvailable());
    EXPECT_EQ(layer.PortReadByte(0x379), 0);
}

TEST(PortLayer, DirectAccessRefusedKeepsDriverRequests) {
    int opened = 0;
    PortLayer layer(std::make_unique<FakeBackends>(true, false, &opened));
    layer.PortLayerStartup();
    layer.SetDirectAccess(true);
    EXPECT_FALSE(layer.DirectAccessActive());
    EXPECT_EQ(layer.PortReadByte(0x379), 0x10);
}

TEST(PortTrace, RecordsEveryAccessAndTheLinesAsAWaveform) {
    RecordingPort inner([] { return true; });
    std::ostringstream text, vcd;
    PortTrace trace(inner, kLpt1Base, &text, &vcd);
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
