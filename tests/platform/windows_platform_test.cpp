// The Windows platform layers, run under Wine: there the port driver cannot
// be installed, so the port layer has no access.
#include <windows.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "link/image_transfer.h"
#include "platform/ddkint.h"
#include "platform/file_type_registration.h"
#include "platform/port_layer.h"
#include "platform/process_priority.h"
#include "platform/program_dir.h"
#include "platform/tell_tail.h"
#include "tests/support/fake_link_timing.h"
#include "tests/support/temp_dir.h"

namespace vaxo {
namespace {

using test::FakeLinkTiming;
using ::testing::HasSubstr;

TEST(WindowsPorts, WithoutTheDriverThereIsNoAccessAndASendFailsAtTheFirstWait) {
    PortLayer layer(SystemPortBackends());
    layer.PortLayerStartup();
    layer.SetDirectAccess(true);
    const PortInUse port = layer.OpenPort(kLpt1Base);
    EXPECT_FALSE(port.problem);
    EXPECT_THAT(port.description, HasSubstr("no access"));
    EXPECT_FALSE(layer.DirectAccessActive());
    layer.PortWriteByte(kLpt1Base, 0x60);
    EXPECT_EQ(layer.PortReadByte(kLpt1Base + 1), 0) << "reads give 0";

    FakeLinkTiming timing;
    const TransferResult sent = TransferImage(layer, timing, SendJob{}, [](int) {});
    EXPECT_EQ(sent.problem.fault, LinkFault::EncoderStuckLow);
    EXPECT_GE(timing.Elapsed(), std::chrono::seconds(5)) << "the first wait timed out";
    EXPECT_LT(timing.Elapsed(), std::chrono::seconds(8));
    layer.PortLayerShutdown();
}

// Starts vaxoctl, which finds this process's block and hands its station over.
DWORD RunLaterStart(const std::string& arguments) {
    std::string commandLine = "\"" VAXOCTL_PATH "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &process)) {
        return 0xFFFFFFFF;
    }
    ::WaitForSingleObject(process.hProcess, 60000);
    DWORD status = 0xFFFFFFFF;
    ::GetExitCodeProcess(process.hProcess, &status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
    return status;
}

TEST(WindowsTellTail, ALaterProcessHandsItsStationToTheFirst) {
    TTellTail first;
    first.MapFileName = "{FE452E05-1244-4C53-B83E-21C4CEA4CAF8}";
    first.MutexName = "{33DB9083-0BB9-443D-9434-EB23DAFBF3F1}";
    ASSERT_TRUE(first.Activate()) << first.FailureText();
    ASSERT_TRUE(first.IsFirstInstance());

    test::TempDir dir;
    const std::string station = dir / "my station.rds";
    static_cast<void>(ServiceRemove("zlportio"));
    EXPECT_EQ(RunLaterStart("run \"" + station + "\""), 0u);
    EXPECT_EQ(ServiceStart("zlportio"), static_cast<std::uint32_t>(ERROR_SERVICE_DOES_NOT_EXIST))
        << "a start that only hands over leaves the port driver alone";
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "\"" + station + "\"");
    EXPECT_FALSE(first.CheckForData()) << "taken once";

    TTellTail later;
    later.MapFileName = first.MapFileName;
    later.MutexName = first.MutexName;
    EXPECT_FALSE(later.Activate());
    EXPECT_TRUE(later.HandedOver());
    EXPECT_EQ(later.FirstInstanceId(), ::GetCurrentProcessId());
    ASSERT_TRUE(first.CheckForData());
    EXPECT_EQ(first.ReceivedCommandLine(), "(empty)");
}

TEST(WindowsRegistration, TheFourKeysReadBackAsWritten) {
    const std::string program = "C:\\Tools\\Enc Dir\\prog.exe";
    RegisterStationFileType({program, "", "", ""});
    const std::pair<const char*, std::string> expected[] = {
        {"Software\\CLASSES\\.rds", "rds_auto_file"},
        {"Software\\CLASSES\\rds_auto_file", "Radio Data System file"},
        {"Software\\CLASSES\\rds_auto_file\\DefaultIcon", "C:\\Tools\\Enc Dir\\prog.exe,0"},
        {"Software\\CLASSES\\rds_auto_file\\shell\\open\\command",
         "\"C:\\Tools\\Enc Dir\\prog.exe\" \"%1\""},
    };
    for (const auto& [key, value] : expected) {
        char text[512] = {};
        DWORD size = sizeof text;
        ASSERT_EQ(
            ::RegGetValueA(HKEY_LOCAL_MACHINE, key, nullptr, RRF_RT_REG_SZ, nullptr, text, &size),
            ERROR_SUCCESS)
            << key;
        EXPECT_EQ(std::string(text), value) << key;
    }
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\CLASSES\\rds_auto_file");
    ::RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\CLASSES\\.rds");
}

TEST(WindowsProcess, PriorityAndProgramFolder) {
    ASSERT_TRUE(SetHighProcessPriority(true));
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(HIGH_PRIORITY_CLASS));
    ASSERT_TRUE(SetHighProcessPriority(false));
    EXPECT_EQ(::GetPriorityClass(::GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));

    char program[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, program, MAX_PATH);
    const std::string own(program);
    EXPECT_EQ(DetermineProgramDir(), own.substr(0, own.find_last_of('\\') + 1));
}

}  // namespace
}  // namespace vaxo
