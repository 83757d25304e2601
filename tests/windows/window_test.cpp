// vaxow.exe driven as an operator drives it, through window messages from
// another process: its controls found by their identifiers, texts set,
// buttons clicked, pages turned; what the core took is read back from the
// window, from the files it saves and from the simulated encoder's memory.
//   window_test.exe VAXOW_EXE [--screenshots FOLDER] [GoogleTest options]
#include <winsock2.h>  // before windows.h

#include <windows.h>
#include <ws2tcpip.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <thread>

#include "encoding/memory_dump.h"
#include "encoding/receiver_view.h"
#include "tests/support/http_request.h"
#include "tests/windows/png_file.h"
#include "web/password_file.h"
#include "web/password_hash.h"
#include "window/window_layout.h"
#include "winui/control_ids.h"

namespace vaxo::win {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

fs::path program;      // vaxow.exe
fs::path screenshots;  // none: no screenshots

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Waits for a condition; the limit only guards against a hang (Wine may
// start slowly on a busy machine).
bool WaitFor(const std::function<bool()>& done, std::chrono::seconds limit = 90s) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// A folder of its own with the program and its help file: the window keeps
// its settings beside itself.
class ProgramFolder {
  public:
    ProgramFolder() {
        wchar_t temp[MAX_PATH + 1] = {};
        ::GetTempPathW(MAX_PATH, temp);
        path_ = fs::path(temp) / ("vaxow-test-" + std::to_string(::GetTickCount64()));
        fs::create_directories(path_);
        fs::copy_file(program, path_ / "vaxow.exe");
        fs::copy_file(program.parent_path() / "vaxohelp.rtf", path_ / "vaxohelp.rtf");
    }
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;
    ~ProgramFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    fs::path operator/(const std::string& name) const { return path_ / name; }

  private:
    fs::path path_;
};

class RunningWindow {
  public:
    RunningWindow(const ProgramFolder& folder, const std::wstring& arguments) {
        process_ = Start(folder, arguments);
        if (!WaitFor([this] { return (window_ = Find()) != nullptr; })) {
            ::TerminateProcess(process_.hProcess, 1);
            throw std::runtime_error("no window appeared");
        }
    }
    RunningWindow(const RunningWindow&) = delete;
    RunningWindow& operator=(const RunningWindow&) = delete;
    ~RunningWindow() {
        if (::WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            ::TerminateProcess(process_.hProcess, 1);
        }
        ::CloseHandle(process_.hProcess);
        ::CloseHandle(process_.hThread);
    }

    static PROCESS_INFORMATION Start(const ProgramFolder& folder, const std::wstring& arguments) {
        std::wstring line = L"\"" + (folder / "vaxow.exe").wstring() + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        const std::wstring where = (folder / "").wstring();
        EXPECT_TRUE(::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                     where.c_str(), &startup, &started));
        return started;
    }

    HWND Window() const { return window_; }
    HWND Control(const std::string& name) const { return ById(ControlId(name)); }
    HWND ById(int id) const {
        struct Search {
            int id;
            HWND found;
        } search{id, nullptr};
        ::EnumChildWindows(
            window_,
            [](HWND child, LPARAM l) -> BOOL {
                auto* s = reinterpret_cast<Search*>(l);
                if (::GetDlgCtrlID(child) == s->id) {
                    s->found = child;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found;
    }
    static std::wstring Text(HWND control) {
        wchar_t text[4096] = {};
        ::SendMessageW(control, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text));
        return text;
    }
    std::wstring Text(const std::string& name) const { return Text(Control(name)); }
    void Type(const std::string& name, const std::wstring& text) const {
        ::SendMessageW(Control(name), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
    }
    void Click(const std::string& name) const { ::SendMessageW(Control(name), BM_CLICK, 0, 0); }
    bool Checked(const std::string& name) const {
        return ::SendMessageW(Control(name), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // As the arrow keys turn the pages.
    void TurnTo(int page) const {
        HWND tabs = Control("Zalozky");
        for (int now = static_cast<int>(::SendMessageW(tabs, TCM_GETCURSEL, 0, 0)); now != page;
             now += now < page ? 1 : -1) {
            ::SendMessageW(tabs, WM_KEYDOWN, now < page ? VK_RIGHT : VK_LEFT, 0);
        }
    }
    // Closed by its close box; the exit status.
    DWORD Close() const {
        ::PostMessageW(window_, WM_CLOSE, 0, 0);
        EXPECT_EQ(::WaitForSingleObject(process_.hProcess, 90000), WAIT_OBJECT_0);
        DWORD status = 0;
        ::GetExitCodeProcess(process_.hProcess, &status);
        return status;
    }
    void Screenshot(const fs::path& file) const {
        ::SetForegroundWindow(window_);
        ::RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        std::this_thread::sleep_for(300ms);
        RECT area;
        ::GetWindowRect(window_, &area);
        const int width = area.right - area.left;
        const int height = area.bottom - area.top;
        HDC screen = ::GetDC(nullptr);
        HDC copy = ::CreateCompatibleDC(screen);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        HBITMAP picture = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = ::SelectObject(copy, picture);
        ::BitBlt(copy, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
        ::GdiFlush();
        const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
        std::vector<std::uint8_t> rgb;
        for (int y = 0; y < height; ++y) {
            const auto* row = static_cast<const std::uint8_t*>(bits) + stride * y;
            for (int x = 0; x < width; ++x) {
                rgb.insert(rgb.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
            }
        }
        ::SelectObject(copy, previous);
        ::DeleteObject(picture);
        ::DeleteDC(copy);
        ::ReleaseDC(nullptr, screen);
        WriteBytes(file, test::PngFile(width, height, rgb));
    }

  private:
    HWND Find() const {
        HWND found = nullptr;
        while ((found = ::FindWindowExW(nullptr, found, kWindowClass, nullptr))) {
            DWORD owner = 0;
            ::GetWindowThreadProcessId(found, &owner);
            if (owner == process_.dwProcessId && ::IsWindowVisible(found)) {
                return found;
            }
        }
        return nullptr;
    }

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

// The build folder stands beside the sources' examples.
fs::path Example(const std::string& name) {
    return program.parent_path().parent_path().parent_path() / "examples" / name;
}

bool UnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

std::string Station(const std::string& ps) {
    return "CLEAR\r\nPS=" + ps + "\r\nPI=D3C2\r\nPTY=11\r\n";
}

const std::vector<std::string> kPages = {"general",  "dynamic-ps", "radiotext",
                                         "settings", "help",       "on-air"};

TEST(WindowOnWindows, StandsAsDesignedWithEveryControlAndEveryPage) {
    ProgramFolder folder;
    fs::copy_file(Example("rock-fm.rds"), folder / "rock.rds");
    RunningWindow window(folder, L"--simulate rock.rds");
    EXPECT_TRUE(WaitFor(
        [&] { return RunningWindow::Text(window.Window()) == L"VAXO for Windows 3 - rock.rds"; }));
    RECT client;
    ::GetClientRect(window.Window(), &client);
    EXPECT_EQ(client.right, 521);
    EXPECT_EQ(client.bottom, 303);
    for (const ControlDesign& control : WindowLayout()) {
        const bool drawn = control.kind == ControlKind::Panel ||
                           control.kind == ControlKind::CheckList || control.name == "SKIN";
        EXPECT_EQ(window.Control(control.name) != nullptr, !drawn) << control.name;
    }
    for (int row = 0; row < 4; ++row) {
        EXPECT_NE(window.ById(CheckListRowId(row)), nullptr);
    }
    EXPECT_EQ(window.Text("PS"), L"ROCK FM ");
    EXPECT_EQ(window.Text("PI"), L"D3C2");
    EXPECT_EQ(window.Text("AF2"), L"99.0");
    EXPECT_EQ(window.Text("DPSP"), L"39 s");
    for (int page = 0; page < static_cast<int>(kPages.size()); ++page) {
        window.TurnTo(page);
        int shown = 0;
        for (const ControlDesign& control : WindowLayout()) {
            if (control.kind == ControlKind::Page) {
                EXPECT_EQ(::IsWindowVisible(window.Control(control.name)) != 0, shown == page)
                    << control.name;
                ++shown;
            }
        }
        if (kPages[page] == "on-air") {
            EXPECT_EQ(window.Text("ONAIRRT"),
                      L"Nothing sent to this bank since the program started.");
            window.Click("ONAIRNOW");  // what Send would write
            EXPECT_EQ(window.Text("ONAIRPS"), L"ROCK FM ");
            EXPECT_NE(window.Text("ONAIRINFO").find(L"PTY 11 Rock Music"), std::wstring::npos);
        }
        if (!screenshots.empty()) {
            window.Screenshot(screenshots / ("page-" + kPages[page] + ".png"));
        }
    }
    EXPECT_EQ(window.Close(), 0U);
}

// The operator's edit and Send reach the simulated encoder; Auto Save and
// the settings file are written when the window is closed.
TEST(WindowOnWindows, SendsWhatTheOperatorTypedAndSavesAtTheEnd) {
    ProgramFolder folder;
    WriteBytes(folder / "rock.rds", Station("ROCK FM"));
    {
        RunningWindow window(folder, L"--simulate --memory-dump memory.txt rock.rds");
        window.Type("PS", L"WINE FM");
        window.Click("AUTOSAVE");
        EXPECT_TRUE(window.Checked("AUTOSAVE"));
        // The operator's Send is not taken in the first two seconds.
        std::this_thread::sleep_for(2500ms);
        window.Click("UP");
        EXPECT_TRUE(WaitFor([&] { return window.Text("SENT").starts_with(L"PS=WINE FM\r\n"); }))
            << "the last-sent record";
        EXPECT_FALSE(::IsWindowVisible(window.Control("Label11"))) << "no error";
        EXPECT_EQ(window.Close(), 0U);
    }
    EXPECT_NE(ReadBytes(folder / "rock.rds").find("PS=WINE FM\r\n"), std::string::npos);
    const std::string settings = ReadBytes(folder / "vaxow.dat");
    EXPECT_NE(settings.find("rock.rds\r\n"), std::string::npos) << "the station remembered";
    EXPECT_NE(settings.find("\r\n0\r\n0\r\n1\r\n"), std::string::npos) << "Auto Save on";
    std::string why;
    const auto memory = ParseMemoryDump(ReadBytes(folder / "memory.txt"), 1, why);
    ASSERT_TRUE(memory) << why;
    const ReceiverView view = DecodeEncoderMemory(memory->area1, memory->area2);
    EXPECT_EQ(view.ps.Shown(), "WINE FM ");
    EXPECT_EQ(view.pi, 0xD3C2);
    EXPECT_TRUE(view.AllBlocksIntact());
}

std::uint16_t FreePort() {
    const SOCKET probe = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    ::bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address);
    int length = sizeof address;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length);
    ::closesocket(probe);
    return ::ntohs(address.sin_port);
}

// Sends the bytes and reads the answer: a line command's first reply, or
// all until the other end closes.
std::string Exchange(std::uint16_t port, const std::string& bytes, bool untilClosed) {
    const SOCKET client = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = ::htonl(INADDR_LOOPBACK);
    address.sin_port = ::htons(port);
    std::string reply;
    if (::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        ::send(client, bytes.data(), static_cast<int>(bytes.size()), 0);
        char buffer[4096];
        for (int got; (got = ::recv(client, buffer, sizeof buffer, 0)) > 0;) {
            reply.append(buffer, static_cast<std::size_t>(got));
            if (!untilClosed) {
                break;
            }
        }
    }
    ::closesocket(client);
    return reply;
}

std::string Command(std::uint16_t port, const std::string& line) {
    return Exchange(port, line, false);
}

std::string Http(std::uint16_t port, const std::string& method, const std::string& path,
                 const std::string& cookie, const std::string& token, const std::string& body) {
    return Exchange(port, test::HttpRequestText(port, method, path, cookie, token, body), true);
}

// The listeners and the web page of vaxow.listen.
TEST(WindowOnWindows, TheNetworkAndTheWebPageChangeWhatTheWindowShows) {
    ProgramFolder folder;
    WriteBytes(folder / "rock.rds", Station("ROCK FM"));
    const std::uint16_t port = FreePort();
    const std::uint16_t web = FreePort();
    WriteBytes(folder / "vaxow.listen", "--text-tcp 127.0.0.1:" + std::to_string(port) +
                                            "\n--web 127.0.0.1:" + std::to_string(web) + "\n");
    WritePasswordFile((folder / "vaxow.passwd").string(), {HashPassword("window-password"), ""});
    RunningWindow window(folder, L"--simulate rock.rds");
    std::string reply;
    EXPECT_TRUE(WaitFor([&] { return !(reply = Command(port, "PS=NET FM\r\n")).empty(); }));
    EXPECT_EQ(reply, "+\r\n");
    EXPECT_TRUE(WaitFor([&] { return window.Text("PS") == L"NET FM"; }));
    // The change's own send first: one starting after the refusal would
    // take the Error label's place again.
    EXPECT_TRUE(WaitFor([&] { return window.Text("SENT").starts_with(L"PS=NET FM\r\n"); }));
    EXPECT_EQ(Command(port, "PTY=45\r\n"), "-\r\n");
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window.Control("Label11")) != 0; }))
        << "a refusal shows the Error label";
    const std::string cookie =
        test::SessionCookie(Http(web, "POST", "/signin", "", "", "password=window-password"));
    ASSERT_FALSE(cookie.empty()) << "signed in";
    const std::string token = test::FormToken(Http(web, "GET", "/station", cookie, "", ""));
    EXPECT_NE(Http(web, "POST", "/api/fields", cookie, token, R"({"fields": {"PS": "FROM WEB"}})")
                  .find(" 200 "),
              std::string::npos);
    EXPECT_TRUE(WaitFor([&] { return window.Text("PS") == L"FROM WEB"; }));
    EXPECT_EQ(window.Close(), 0U);
}

// The language file beside the program, "Always on top" and "Make *.rds
// executable" as an operator meets them.
TEST(WindowOnWindows, TranslatesItselfStaysOnTopAndRegistersStationFiles) {
    ProgramFolder folder;
    WriteBytes(folder / "rock.rds", Station("ROCK FM"));
    fs::copy_file(Example("vaxow.lng"), folder / "vaxow.lng");
    RunningWindow window(folder, L"--simulate rock.rds");
    EXPECT_EQ(window.Text("UP"), L"Sen&den");
    EXPECT_EQ(window.Text("EXAL"), L"Nach dem Senden beenden");
    const auto topmost = [&] {
        return (::GetWindowLongPtrW(window.Window(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    };
    EXPECT_FALSE(topmost());
    window.Click("ALONTOP");
    EXPECT_TRUE(window.Checked("ALONTOP"));
    // Wine keeps a window's place among the others to the X server and does
    // not show it in the window's style.
    if (!UnderWine()) {
        EXPECT_TRUE(WaitFor(topmost));
        window.Click("ALONTOP");
        EXPECT_TRUE(WaitFor([&] { return !topmost(); }));
    }
    window.Click("REGRDS");
    EXPECT_TRUE(WaitFor([&] { return !::IsWindowEnabled(window.Control("REGRDS")); }));
    wchar_t type[64] = {};
    DWORD size = sizeof type;
    EXPECT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Classes\\.rds", nullptr, RRF_RT_REG_SZ,
                             nullptr, type, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(type), L"rds_auto_file");
    EXPECT_EQ(window.Close(), 0U);
}

// A send that fails shows "Error" in the progress bar's place.
TEST(WindowOnWindows, AFailedSendShowsError) {
    ProgramFolder folder;
    WriteBytes(folder / "rock.rds", Station("ROCK FM"));
    RunningWindow window(folder, L"--simulate=absent rock.rds");
    EXPECT_FALSE(::IsWindowVisible(window.Control("Label11")));
    std::this_thread::sleep_for(2500ms);  // the operator's Send waits two seconds
    window.Click("UP");
    EXPECT_TRUE(WaitFor([&] { return ::IsWindowVisible(window.Control("Label11")) != 0; }));
    EXPECT_FALSE(::IsWindowVisible(window.Control("ProgressBar1")));
    EXPECT_EQ(window.Text("Label11"), L"Error");
    EXPECT_EQ(window.Close(), 0U);
}

// At 144 dots per inch the window is half as large again, every control with
// it. Wine takes the dots per inch of its screen from the registry; on
// Windows the test leaves the user's setting alone.
TEST(WindowOnWindows, GrowsWithTheScreensDotsPerInch) {
    if (!UnderWine()) {
        GTEST_SKIP() << "the screen's dots per inch are the user's";
    }
    HKEY desktop = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0,
                                KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &desktop, nullptr),
              ERROR_SUCCESS);
    const DWORD dpi = 144;
    ::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&dpi),
                     sizeof dpi);
    ProgramFolder folder;
    WriteBytes(folder / "rock.rds", Station("ROCK FM"));
    {
        RunningWindow window(folder, L"--simulate rock.rds");
        RECT client;
        ::GetClientRect(window.Window(), &client);
        EXPECT_EQ(client.right, 782);
        EXPECT_EQ(client.bottom, 455);
        RECT send;
        ::GetWindowRect(window.Control("UP"), &send);
        EXPECT_EQ(send.right - send.left, 105);  // 70 at 96 dpi
        if (!screenshots.empty()) {
            window.Screenshot(screenshots / "scale-1.5" / "page-general.png");
        }
        EXPECT_EQ(window.Close(), 0U);
    }
    ::RegDeleteValueW(desktop, L"LogPixels");
    ::RegCloseKey(desktop);
}

// A second start hands its station file to the running window and ends.
TEST(WindowOnWindows, ASecondStartHandsItsFileOver) {
    ProgramFolder folder;
    WriteBytes(folder / "rock.rds", Station("ROCK FM"));
    WriteBytes(folder / "news.rds", Station("NEWS"));
    RunningWindow window(folder, L"--simulate rock.rds");
    EXPECT_TRUE(WaitFor(
        [&] { return RunningWindow::Text(window.Window()) == L"VAXO for Windows 3 - rock.rds"; }));
    PROCESS_INFORMATION second = RunningWindow::Start(folder, L"news.rds");
    EXPECT_EQ(::WaitForSingleObject(second.hProcess, 90000), WAIT_OBJECT_0);
    DWORD status = 1;
    ::GetExitCodeProcess(second.hProcess, &status);
    EXPECT_EQ(status, 0U) << "the second start ends";
    ::CloseHandle(second.hProcess);
    ::CloseHandle(second.hThread);
    EXPECT_TRUE(WaitFor([&] { return window.Text("PS") == L"NEWS"; }));
    EXPECT_TRUE(WaitFor(
        [&] { return RunningWindow::Text(window.Window()) == L"VAXO for Windows 3 - news.rds"; }));
    EXPECT_EQ(window.Close(), 0U);
}

}  // namespace
}  // namespace vaxo::win

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    WSADATA sockets;
    ::WSAStartup(MAKEWORD(2, 2), &sockets);
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--screenshots" && i + 1 < argc) {
            vaxo::win::screenshots = argv[++i];
            std::filesystem::create_directories(vaxo::win::screenshots / "scale-1.5");
        } else {
            vaxo::win::program = std::filesystem::absolute(argument);
        }
    }
    if (vaxo::win::program.empty()) {
        std::fprintf(stderr, "usage: window_test VAXOW_EXE [--screenshots FOLDER]\n");
        return 2;
    }
    return RUN_ALL_TESTS();
}
