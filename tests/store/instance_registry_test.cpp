// The registry of running copies in real named shared memory: a second
// registry object joins the block the first made, finds a copy by another
// spelling of its file's path, and sends it the activation message.
#include "store/instance_registry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

int g_activations = 0;

LRESULT CALLBACK FirstCopyProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kActivateMessage) {
        ++g_activations;
        return 1;
    }
    return DefWindowProcA(hwnd, message, wparam, lparam);
}

TEST(InstanceRegistryTest, ASecondCopyFindsAndActivatesTheFirst) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = FirstCopyProc;
    wc.hInstance = GetModuleHandleA(0);
    wc.lpszClassName = "first-copy";
    RegisterClassA(&wc);
    HWND first_window = CreateWindowExA(0, "first-copy", "", 0, 0, 0, 0, 0, HWND_MESSAGE, 0, 0, 0);
    ASSERT_TRUE(first_window != 0);

    TempDir dir;
    std::string path = dir.File("My Long Workspace Name.sk1");
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, 0, CREATE_NEW, 0, 0);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    CloseHandle(f);

    InstanceRegistry first;
    ASSERT_TRUE(first.usable());
    EXPECT_TRUE(first.created());
    std::string short_name = InstanceRegistry::ShortFullPath(path.c_str());
    first.Register(first_window, short_name.c_str());

    InstanceRegistry second;
    ASSERT_TRUE(second.usable());
    EXPECT_FALSE(second.created()) << "joins the block the first made";
    std::string upper = path;
    std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
    std::string other_spelling = InstanceRegistry::ShortFullPath(upper.c_str());
    g_activations = 0;
    EXPECT_EQ(1, second.Activate(other_spelling.c_str()));
    EXPECT_EQ(1, g_activations);
    EXPECT_EQ(0, second.Activate(InstanceRegistry::ShortFullPath(dir.File("other.sk1").c_str()).c_str()));

    first.Unregister(first_window);
    EXPECT_EQ(0, second.Activate(other_spelling.c_str()));
    EXPECT_EQ(1, g_activations);
    DestroyWindow(first_window);
}

}  // namespace
