// Window classes: registration, its failures, and the system resources that
// a class record takes.
#include "user_fixture.h"

#include <string>

namespace {

using kptest::UserTest;

class ClassTest : public UserTest {};

TEST_F(ClassTest, RegistrationGivesApplicationAtomsAndTheClassCreatesWindows)
{
    ATOM first = Register("first");
    ATOM second = Register("second");
    EXPECT_GE(first, 0xC000) << "application classes get atoms from 0xC000 up";
    EXPECT_GE(second, 0xC000);
    EXPECT_NE(first, second);
    HWND byName = Create(600, 500, "second");
    HWND byAtom = Create(600, 500, MAKEINTRESOURCEA(first));
    EXPECT_NE(byName, nullptr);
    EXPECT_NE(byAtom, nullptr);
    EXPECT_NE(byName, byAtom);
}

TEST_F(ClassTest, DuplicateNamesFailWhateverTheirCase)
{
    ASSERT_NE(Register("paint"), 0);
    const char *duplicates[] = {"paint", "PAINT", "Paint", "pAiNt"};
    for (const char *name : duplicates)
        EXPECT_EQ(Register(name), 0) << name;
    EXPECT_NE(Register("paint2"), 0) << "a different name is still free";
    // The first registration is untouched by the failed ones.
    EXPECT_NE(Create(600, 500, "PAINT"), nullptr) << "class names are found without regard to case";
}

TEST_F(ClassTest, BadRecordsFailAndRegisterNothing)
{
    struct Case {
        const char *what;
        std::function<void(WNDCLASSEXA &)> spoil;
    };
    const Case cases[] = {
        {"cbSize 0", [](WNDCLASSEXA &wc) { wc.cbSize = 0; }},
        {"cbSize too small", [](WNDCLASSEXA &wc) { wc.cbSize = sizeof(WNDCLASSEXA) - 4; }},
        {"cbSize too large", [](WNDCLASSEXA &wc) { wc.cbSize = sizeof(WNDCLASSEXA) + 4; }},
        {"null class name", [](WNDCLASSEXA &wc) { wc.lpszClassName = nullptr; }},
        {"empty class name", [](WNDCLASSEXA &wc) { wc.lpszClassName = ""; }},
        {"negative class extra", [](WNDCLASSEXA &wc) { wc.cbClsExtra = -1; }},
        {"negative window extra", [](WNDCLASSEXA &wc) { wc.cbWndExtra = -1; }},
    };
    for (const Case &c : cases) {
        WNDCLASSEXA wc = ClassRecord("spoilt");
        c.spoil(wc);
        EXPECT_EQ(RegisterClassExA(&wc), 0) << c.what;
        EXPECT_EQ(Create(600, 500, "spoilt"), nullptr) << c.what << ": no class may be left";
    }
    EXPECT_EQ(RegisterClassExA(nullptr), 0);
    // After all that, the sound record still registers.
    WNDCLASSEXA wc = ClassRecord("spoilt");
    EXPECT_NE(RegisterClassExA(&wc), 0);
}

TEST_F(ClassTest, UnregisterFreesTheNameButNotWhileWindowsExist)
{
    ASSERT_NE(Register("transient"), 0);
    HWND hwnd = Create(600, 500, "transient");
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(UnregisterClassA("transient", GetModuleHandleA(NULL)));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA("transient", GetModuleHandleA(NULL)));
    EXPECT_FALSE(UnregisterClassA("transient", GetModuleHandleA(NULL)));
    EXPECT_EQ(Create(600, 500, "transient"), nullptr);
    EXPECT_NE(Register("transient"), 0);
}

TEST_F(ClassTest, UnknownClassCreatesNoWindow)
{
    EXPECT_EQ(Create(600, 500, "never registered"), nullptr);
    EXPECT_EQ(Create(600, 500, MAKEINTRESOURCEA(0xC123)), nullptr);
    EXPECT_TRUE(host.Windows().empty()) << "no host window may be left behind";
}

TEST_F(ClassTest, SystemIconsAndCursorsAreStableHandles)
{
    struct Case {
        LPCSTR id;
        bool icon;
    };
    const Case known[] = {{IDI_APPLICATION, true},
                          {IDI_WINLOGO, true},
                          {IDI_HAND, true},
                          {IDC_ARROW, false},
                          {IDC_CROSS, false}};
    for (const Case &c : known) {
        void *a = c.icon ? (void *)LoadIconA(NULL, c.id) : (void *)LoadCursorA(NULL, c.id);
        void *b = c.icon ? (void *)LoadIconA(NULL, c.id) : (void *)LoadCursorA(NULL, c.id);
        EXPECT_NE(a, nullptr) << reinterpret_cast<uintptr_t>(c.id);
        EXPECT_EQ(a, b) << "the same resource gives the same handle";
    }
    EXPECT_NE((void *)LoadIconA(NULL, IDI_APPLICATION), (void *)LoadIconA(NULL, IDI_WINLOGO));
    EXPECT_EQ(LoadIconA(NULL, MAKEINTRESOURCEA(1)), nullptr) << "no such system icon";
    EXPECT_EQ(LoadIconA(GetModuleHandleA(NULL), IDI_APPLICATION), nullptr)
        << "the program has no icon resources of its own";
    EXPECT_EQ(LoadCursorA(NULL, MAKEINTRESOURCEA(7)), nullptr);
}

}  // namespace
