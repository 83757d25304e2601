#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/encoder_simulator.h"
#include "link/image_transfer.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/fake_parport_system.h"

namespace vaxo {
namespace {

using test::FakeLinkTiming;
using test::FakeParportSystem;
using Port = FakeParportSystem::Port;

int Chosen(const std::vector<KernelParport>& ports, std::uint32_t base) {
    const auto port = ChooseKernelPort(ports, base);
    return port ? port->number : -1;
}

TEST(ChooseKernelPort, LegacyBasesFirstThenFreePortsInTheKernelsOrder) {
    EXPECT_EQ(Chosen({{0, 0x378}, {1, 0x278}}, kLpt1Base), 0);
    EXPECT_EQ(Chosen({{0, 0x378}, {1, 0x278}}, kLpt2Base), 1);
    EXPECT_EQ(Chosen({{0, 0x278}, {1, 0x378}}, kLpt1Base), 1);
    EXPECT_EQ(Chosen({{0, 0xD010}}, kLpt1Base), 0) << "a PCIe card alone is LPT1";
    EXPECT_EQ(Chosen({{0, 0xD010}}, kLpt2Base), -1);
    EXPECT_EQ(Chosen({{0, 0xD010}, {1, 0x378}}, kLpt2Base), 0) << "never LPT1's port";
    EXPECT_EQ(Chosen({{0, 0x378}, {1, 0xD010}}, kLpt2Base), 1);
    EXPECT_EQ(Chosen({{2, std::nullopt}, {5, 0xE000}}, kLpt1Base), 2);
    EXPECT_EQ(Chosen({{2, std::nullopt}, {5, 0xE000}}, kLpt2Base), 5);
    EXPECT_EQ(Chosen({}, kLpt1Base), -1);
}

// A send through the Linux backend to an encoder wired to the port's real
// registers, with virtual time.
struct Rig {
    Rig(std::vector<Port> ports, std::uint32_t encoderBase, bool rawIo)
        : encoder(EncoderScenario::Healthy, encoderBase),
          system(new FakeParportSystem(std::move(ports), encoder, rawIo)),
          layer(LinuxPortBackends(std::unique_ptr<ParportSystem>(system))) {}

    bool Send() {
        layer.PortLayerStartup();
        layer.SetDirectAccess(true);
        layer.PortWriteByte(kLpt1Base, 0);
        EncodedFields fields;
        BuildEncoderImage(set, 0, ImageClock{*ParseLocalTime("2026-12-08 12:00:00"), '.'}, fields,
                          job.image);
        result = TransferImage(layer, timing, job, [](int) {});
        return !result.problem;
    }

    RdsParameterSet set;
    FakeLinkTiming timing;
    EncoderSimulator encoder;
    FakeParportSystem* system;  // owned by the layer
    PortLayer layer;
    SendJob job;
    TransferResult result;
};

TEST(LinuxPorts, TheChosenPortIsDrivenAtItsOwnBaseThroughPpdevOrDirectly) {
    struct Case {
        std::uint32_t cardBase;
        bool rawIo;
        bool otherDriver;
        const char* description;
    };
    for (const Case c : {
             Case{0x378, false, false, "/dev/parport0 at 0x378, ppdev"},
             Case{0x378, true, false, "/dev/parport0 at 0x378, port instructions"},
             Case{0xD010, false, false, "/dev/parport0 at 0xD010, ppdev"},
             Case{0xD010, true, false, "/dev/parport0 at 0xD010, port instructions"},
             Case{0xD010, false, true,
                  "/dev/parport0 at 0xD010, ppdev, shared with another driver"},
             Case{0x378, true, true,
                  "/dev/parport0 at 0x378, port instructions, shared with another driver"},
         }) {
        Rig rig({Port{{0, c.cardBase}, true, true, c.otherDriver}}, c.cardBase, c.rawIo);
        rig.set.RT = "On the card";
        ASSERT_TRUE(rig.Send()) << c.description << ": " << DescribeLinkProblem(rig.result.problem);
        EXPECT_EQ(rig.encoder.PagesWritten(), 4 + 13) << c.description;
        EXPECT_EQ(rig.encoder.MalformedTransactions(), 0);
        EXPECT_EQ(rig.result.port.description, c.description);
        if (c.rawIo) {
            EXPECT_EQ(rig.system->permittedFrom, c.cardBase) << "never at an assumed address";
            EXPECT_EQ(rig.system->ppdevWrites, 0);
        } else {
            EXPECT_EQ(rig.system->directWrites, 0);
        }
    }
}

TEST(LinuxPorts, AnUnknownBaseStaysOnPpdevEvenWhereInstructionsAreAllowed) {
    Rig rig({Port{{0, std::nullopt}}}, kLpt1Base, true);
    ASSERT_TRUE(rig.Send());
    EXPECT_EQ(rig.system->directWrites, 0);
    EXPECT_EQ(rig.result.port.description, "/dev/parport0 (base address unknown), ppdev");
}

TEST(LinuxPorts, EachWayOfNotGettingThePortHasItsReasonAndNoWait) {
    struct Case {
        std::vector<Port> ports;
        LinkFault fault;
        const char* reason;
    };
    for (const Case& c : {
             Case{{}, LinkFault::NoParallelPort, "no parallel port found for LPT1"},
             Case{{Port{{0, 0x378}, false}},
                  LinkFault::PpdevNotLoaded,
                  "/dev/parport0 missing: ppdev not loaded (sudo modprobe ppdev)"},
             Case{{Port{{0, 0x378}, true, false}},
                  LinkFault::PortNotPermitted,
                  "/dev/parport0 not permitted: add the user to group lp and log in again"},
             Case{{Port{{0, 0x378}, true, true, true, true}},
                  LinkFault::PortBusy,
                  "/dev/parport0 is held by another program"},
             Case{{Port{{0, 0x378}, true, true, false, false, true}},
                  LinkFault::PortHeldByAnotherCopy,
                  "/dev/parport0 is driven by another copy of this program"},
             Case{{Port{{0, 0x378}, true, true, true, false, true}},
                  LinkFault::PortHeldByAnotherCopy,
                  "/dev/parport0 is driven by another copy of this program"},
         }) {
        Rig rig(c.ports, kLpt1Base, true);
        EXPECT_FALSE(rig.Send()) << c.reason;
        EXPECT_EQ(rig.result.problem.fault, c.fault);
        EXPECT_EQ(DescribeLinkProblem(rig.result.problem), c.reason);
        EXPECT_LT(rig.timing.Elapsed(), std::chrono::milliseconds(1)) << "no calibration, no wait";
        EXPECT_EQ(rig.system->OpenDescriptors(), 0) << "nothing left open";
    }
}

}  // namespace
}  // namespace vaxo
