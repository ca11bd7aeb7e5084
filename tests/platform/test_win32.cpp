// Tests of the Win32 stand-in: Windows file names over POSIX files, the
// window-class registry, the message queue and window procedure dispatch,
// the cursor and message boxes.
#include <windows.h>

#include "call_log.h"
#include "ShellTesting.h"
#include "host.h"
#include "win32_host.h"
#include "win32_testing.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class Win32Files : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("win32files-" + std::to_string(::getpid()));
        fs::create_directories(root / "Data" / "Sub");
        std::ofstream(root / "Data" / "Space1.bmp") << "0123456789";
        std::ofstream(root / "Data" / "Sub" / "MiXeD.msh") << "abc";
        previous = fs::current_path();
        fs::current_path(root);
    }
    void TearDown() override
    {
        fs::current_path(previous);
        fs::permissions(root / "Data" / "Space1.bmp", fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(root);
    }
    HANDLE OpenRead(const char* name)
    {
        return CreateFileA(name, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    }
    fs::path root, previous;
};

TEST_F(Win32Files, BackslashesAndLetterCaseResolveToTheRealFile)
{
    EXPECT_EQ(win32_host::ResolvePath("Data\\Space1.bmp"), "Data/Space1.bmp");
    EXPECT_EQ(win32_host::ResolvePath("DATA\\space1.BMP"), "Data/Space1.bmp");
    EXPECT_EQ(win32_host::ResolvePath("data\\sub\\mixed.msh"), "Data/Sub/MiXeD.msh");
    const std::string absolute = (root / "data" / "SUB" / "mixed.MSH").string();
    EXPECT_EQ(win32_host::ResolvePath(absolute.c_str()), (root / "Data" / "Sub" / "MiXeD.msh").string());
    // A name that matches nothing stays as written, so opening it fails plainly.
    EXPECT_EQ(win32_host::ResolvePath("Data\\Missing.bmp"), "Data/Missing.bmp");
}

TEST_F(Win32Files, ReadsWholeFilesAndShortReadsAtTheEnd)
{
    HANDLE file = OpenRead("data\\SPACE1.bmp");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(file, nullptr), 10u);
    char buffer[16] = {};
    DWORD read = 99;
    ASSERT_TRUE(ReadFile(file, buffer, 4, &read, nullptr));
    EXPECT_EQ(read, 4u);
    EXPECT_EQ(std::string(buffer, 4), "0123");
    // Like Windows: reaching the end succeeds with fewer bytes.
    ASSERT_TRUE(ReadFile(file, buffer, 16, &read, nullptr));
    EXPECT_EQ(read, 6u);
    ASSERT_TRUE(ReadFile(file, buffer, 16, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_TRUE(CloseHandle(file));
}

TEST_F(Win32Files, MissingFilesFoldersFifosAndStaleHandlesAreRefused)
{
    EXPECT_EQ(OpenRead("Data\\Nothing.bmp"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenRead("Data"), INVALID_HANDLE_VALUE);
    // A FIFO in a file's place, with nobody writing to it: refused at once
    // instead of blocking the open (or the first read) for ever.
    ASSERT_EQ(::mkfifo((root / "Data" / "Pipe.msh").c_str(), 0600), 0);
    EXPECT_EQ(OpenRead("Data\\pipe.MSH"), INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("Data\\Pipe.msh", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    HANDLE file = OpenRead("Data\\Space1.bmp");
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(file));
    char buffer[4];
    DWORD read = 7;
    EXPECT_FALSE(ReadFile(file, buffer, 4, &read, nullptr));
    EXPECT_EQ(read, 0u);
    EXPECT_FALSE(CloseHandle(file));
    EXPECT_EQ(GetFileSize(file, nullptr), INVALID_FILE_SIZE);
}

TEST_F(Win32Files, FilesThatCannotBeWrittenStillOpenForReading)
{
    // A running program cannot be opened for writing, not even by root: it
    // stands for any read-only file here.
    const std::string self = fs::read_symlink("/proc/self/exe").string();
    HANDLE reading = CreateFileA(self.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(reading, INVALID_HANDLE_VALUE);
    CloseHandle(reading);
    EXPECT_EQ(CreateFileA(self.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    if (::geteuid() == 0) return;  // root may write files whatever their permissions
    fs::permissions(root / "Data" / "Space1.bmp", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    reading = OpenRead("Data\\Space1.bmp");
    EXPECT_NE(reading, INVALID_HANDLE_VALUE);
    CloseHandle(reading);
    EXPECT_EQ(CreateFileA("Data\\Space1.bmp", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
}

struct Received {
    UINT message;
    WPARAM wParam;
};
std::vector<Received> g_received;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_received.push_back({message, wParam});
    if (message == WM_CLOSE) return 0;  // the window stays, as the show's procedure does
    return DefWindowProcA(window, message, wParam, lParam);
}

class Win32Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        win32_testing::Reset();
        g_received.clear();
        WNDCLASSA wc = {};
        wc.lpfnWndProc = RecordingProc;
        wc.lpszClassName = "TESTCLASS";
        ASSERT_NE(RegisterClassA(&wc), 0);
        window = CreateWindowExA(0, "testclass", "Title", WS_POPUP, 0, 0, 800, 600, nullptr, nullptr, nullptr,
                                 nullptr);
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override { win32_testing::Reset(); }
    HWND window = nullptr;
};

TEST_F(Win32Windows, ClassesRegisterOnceAndUnregisterWhenUnused)
{
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "TestClass";
    EXPECT_EQ(RegisterClassA(&wc), 0) << "the same name differing in case is already registered";
    EXPECT_FALSE(UnregisterClassA("TESTCLASS", nullptr)) << "a window still uses it";
    EXPECT_TRUE(DestroyWindow(window));
    EXPECT_FALSE(DestroyWindow(window));
    EXPECT_TRUE(UnregisterClassA("TESTCLASS", nullptr));
    EXPECT_EQ(win32_testing::ClassCount(), 0u);
    EXPECT_EQ(CreateWindowExA(0, "TESTCLASS", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(Win32Windows, FailureSwitchesMakeCreationFail)
{
    win32_testing::FailCreateWindow(true);
    EXPECT_EQ(CreateWindowExA(0, "TESTCLASS", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    win32_testing::FailRegisterClass(true);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "OTHER";
    EXPECT_EQ(RegisterClassA(&wc), 0);
}

TEST_F(Win32Windows, PeekWithoutRemovingLeavesTheMessageForGetMessage)
{
    MSG msg = {};
    EXPECT_FALSE(PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE));
    ASSERT_TRUE(PostMessageA(window, WM_KEYDOWN, 'A', 0));
    ASSERT_TRUE(PostMessageA(window, WM_KEYDOWN, VK_ESCAPE, 0));
    ASSERT_TRUE(PeekMessageA(&msg, window, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(win32_testing::QueuedMessages(), 2u);
    ASSERT_EQ(GetMessageA(&msg, window, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, static_cast<WPARAM>('A'));
    DispatchMessageA(&msg);
    ASSERT_EQ(GetMessageA(&msg, window, 0, 0), TRUE);
    DispatchMessageA(&msg);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[0].wParam, static_cast<WPARAM>('A'));
    EXPECT_EQ(g_received[1].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(win32_testing::QueuedMessages(), 0u);
}

TEST_F(Win32Windows, GetMessageOnAnEmptyQueueWithoutDisplayReportsAnErrorInsteadOfHanging)
{
    MSG msg = {};
    EXPECT_EQ(GetMessageA(&msg, window, 0, 0), -1);
}

TEST_F(Win32Windows, SendMessageRunsTheProcedureAtOnce)
{
    SendMessageA(window, WM_PAINT, 0, 0);
    ASSERT_EQ(g_received.size(), 1u);
    EXPECT_EQ(g_received[0].message, static_cast<UINT>(WM_PAINT));
    EXPECT_EQ(win32_testing::QueuedMessages(), 0u);
}

TEST_F(Win32Windows, SystemCloseBecomesCloseWhateverItsLowBits)
{
    SendMessageA(window, WM_SYSCOMMAND, SC_CLOSE | 0x2, 0);
    ASSERT_EQ(g_received.size(), 2u);
    EXPECT_EQ(g_received[1].message, static_cast<UINT>(WM_CLOSE));
    g_received.clear();
    SendMessageA(window, WM_SYSCOMMAND, SC_MOVE, 0);
    EXPECT_EQ(g_received.size(), 1u) << "other system commands are not turned into anything";
}

TEST_F(Win32Windows, DestroyingAWindowDropsItsQueuedMessages)
{
    PostMessageA(window, WM_KEYDOWN, 'B', 0);
    DestroyWindow(window);
    EXPECT_EQ(win32_testing::QueuedMessages(), 0u);
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
}

TEST_F(Win32Windows, NullCursorHidesItAndTheArrowShowsIt)
{
    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    EXPECT_NE(arrow, nullptr);
    SetCursor(nullptr);
    EXPECT_TRUE(win32_testing::CursorHidden());
    EXPECT_EQ(SetCursor(arrow), nullptr);
    EXPECT_FALSE(win32_testing::CursorHidden());
}

TEST(Win32System, MessageBoxWritesCaptionAndTextAndCountsErrors)
{
    ResetHost();
    call_log::Take();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(MessageBoxA(nullptr, "Something went wrong.", "BRALMOND", MB_ICONWARNING), IDOK);
    EXPECT_FALSE(runtime::ErrorBoxShown());
    MessageBoxA(nullptr, "Fatal.", "BRALMOND", MB_ICONERROR);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("BRALMOND: Something went wrong."), std::string::npos);
    EXPECT_NE(err.find("BRALMOND: Fatal."), std::string::npos);
    EXPECT_TRUE(runtime::ErrorBoxShown());
    const std::vector<std::string> log = call_log::Take();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1], "MessageBoxA BRALMOND: Fatal.");
    ResetHost();
}

TEST(Win32System, TickCountFollowsTheVirtualClockAndWraps)
{
    ResetHost();
    runtime::CurrentOptions().fps = 60.0;
    const DWORD start = GetTickCount();
    runtime::AdvanceVirtualFramesForTesting(90);
    EXPECT_EQ(GetTickCount() - start, 1500u);
    // Half a second before the 32-bit count wraps.
    runtime::SetTickOffsetForTesting(0xFFFFFFFFu - 500u - GetTickCount());
    const DWORD beforeWrap = GetTickCount();
    runtime::AdvanceVirtualFramesForTesting(60);
    EXPECT_LT(GetTickCount(), beforeWrap) << "the 32-bit count wrapped";
    EXPECT_EQ(GetTickCount() - beforeWrap, 1000u);
    ResetHost();
}

}  // namespace
