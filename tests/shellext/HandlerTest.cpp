// The built Torlin.dll as the shell uses it: exports, class factory, handler protocol.
#include "AnsiText.h"
#include "MenuData.h"
#include "ShellHost.h"
#include "TestSupport.h"
#include "TorlinModule.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <thread>

using Microsoft::WRL::ComPtr;
using testing_support::TempDir;

namespace {

// {E8025004-1C42-11D2-BE2C-00A0C9A83DA1}: the column provider interface the class does not
// implement although it is listed among the folder column handlers.
const IID kIidColumnProvider = {
    0xe8025004, 0x1c42, 0x11d2, {0xbe, 0x2c, 0x00, 0xa0, 0xc9, 0xa8, 0x3d, 0xa1}};

class HandlerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dll.Loaded()); }

    ComPtr<IContextMenu> InitializedMenu(int records) {
        return InitializedMenu(testing_support::SampleItems(records));
    }
    ComPtr<IContextMenu> InitializedMenu(const MenuItemList& items) {
        dll.WriteMenu(items);
        ComPtr<IShellExtInit> init;
        EXPECT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
        EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
        ComPtr<IContextMenu> menu;
        EXPECT_EQ(init.As(&menu), S_OK);
        return menu;
    }

    static std::string MenuText(HMENU menu, UINT pos) {
        char text[512] = {};
        ::GetMenuStringA(menu, pos, text, sizeof text, MF_BYPOSITION);
        return text;
    }

    TempDir dir;
    TorlinModule dll{dir.Path()};
};

// What a failing launch made of its message box: the launch's result, whether the system's box
// appeared (it is closed) and the window that owned it.
struct Explained {
    HRESULT result = S_OK;
    HWND owner = nullptr;
    bool seen = false;
};
template <class Launch> Explained ExplainedOver(Launch launch) {
    Explained watch;
    std::thread watcher([&watch] {
        for (int tries = 0; tries < 200 && !watch.seen; ++tries) {
            ::Sleep(50);
            ::EnumWindows(
                [](HWND hwnd, LPARAM lp) -> BOOL {
                    auto* w = reinterpret_cast<Explained*>(lp);
                    DWORD pid = 0;
                    ::GetWindowThreadProcessId(hwnd, &pid);
                    char cls[16] = {};
                    ::GetClassNameA(hwnd, cls, sizeof cls);
                    if (pid != ::GetCurrentProcessId() || std::strcmp(cls, "#32770") != 0 ||
                        !::IsWindowVisible(hwnd)) {
                        return TRUE;
                    }
                    w->owner = ::GetWindow(hwnd, GW_OWNER);
                    w->seen = true;
                    ::PostMessageA(hwnd, WM_COMMAND, IDOK, 0);
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&watch));
        }
    });
    watch.result = launch();
    watcher.join();
    return watch;
}

// What the library last asked ShellExecuteExA for, passed on to the real one.
std::atomic<ULONG> s_launchMask{0};
BOOL WINAPI RecordingShellExecuteExA(SHELLEXECUTEINFOA* info) {
    s_launchMask = info->fMask;
    return ::ShellExecuteExA(info);
}

} // namespace

TEST_F(HandlerTest, ClassObjectIsCachedAndRefusesOtherRequests) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(dll.GetClassObject(kClsidQarvo, IID_IClassFactory, nullptr), E_POINTER);
    EXPECT_EQ(dll.GetClassObject(IID_IUnknown, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(dll.GetClassObject(kClsidQarvo, IID_IShellExtInit, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    ComPtr<IClassFactory> first, second;
    ASSERT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&first)), S_OK);
    ASSERT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&second)), S_OK);
    EXPECT_EQ(first.Get(), second.Get());
    ComPtr<IUnknown> unknown;
    EXPECT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&unknown)), S_OK);
    EXPECT_EQ(unknown.Get(), static_cast<IUnknown*>(first.Get()));
}

TEST_F(HandlerTest, UnloadWaitsForFactoryReferencesHandlersAndLocks) {
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    // A second outside reference still holds exactly one module lock.
    factory->AddRef();
    factory->Release();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);

    ComPtr<IContextMenu> handler;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&handler)), S_OK);
    factory.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "a live handler keeps the module";
    handler.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);

    ASSERT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
    ASSERT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(HandlerTest, CreateInstanceRefusesAggregationAndUnknownInterfaces) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)), S_OK);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu, nullptr), E_POINTER);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(factory.Get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);

    for (const IID* iid : {&kIidColumnProvider, &IID_IClassFactory, &IID_IDataObject}) {
        out = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(nullptr, *iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    factory.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "refused handlers must be destroyed at once";
}

TEST_F(HandlerTest, IdentityAndReferenceCounting) {
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(init.As(&menu), S_OK);
    ComPtr<IUnknown> viaInit, viaMenu;
    ASSERT_EQ(init.As(&viaInit), S_OK);
    ASSERT_EQ(menu.As(&viaMenu), S_OK);
    EXPECT_EQ(viaInit.Get(), viaMenu.Get());
    EXPECT_EQ(viaInit.Get(), static_cast<IUnknown*>(init.Get())) << "IShellExtInit is the identity";
    EXPECT_NE(static_cast<void*>(menu.Get()), static_cast<void*>(init.Get()));

    ComPtr<IShellExtInit> back;
    ASSERT_EQ(menu.As(&back), S_OK);
    EXPECT_EQ(back.Get(), init.Get());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(menu->QueryInterface(kIidColumnProvider, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(menu->QueryInterface(IID_IContextMenu, nullptr), E_POINTER);

    // Five references are held now (init, menu, viaInit, viaMenu, back).
    EXPECT_EQ(init->AddRef(), 6u);
    EXPECT_EQ(menu->Release(), 5u);
}

TEST_F(HandlerTest, Windows11CommandHoldsOneSubcommandPerEntryAsReadWhenAsked) {
    // One root through every case: each walk reads menu.dat as it is at that moment.
    ComPtr<IExplorerCommand> root;
    ASSERT_EQ(dll.CreateCommand(IID_PPV_ARGS(&root)), S_OK);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(root->QueryInterface(IID_IContextMenu, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    const std::string data = dll.MenuDataPath();
    const struct {
        const char* what;
        int entries; // -1: no file; -2: a folder where the file should be
    } cases[] = {{"no menu.dat", -1},
                 {"unreadable", -2},
                 {"no entries", 0},
                 {"one entry", 1},
                 {"full list", 26}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ::DeleteFileA(data.c_str());
        ::RemoveDirectoryA(data.c_str());
        MenuItemList items = testing_support::SampleItems(c.entries > 0 ? c.entries : 0);
        if (!items.empty()) {
            items[0] = MakeMenuItem("Caf\xe9 & notes", "C:\\notes.txt"); // a code-page letter
        }
        if (items.size() > 2) {
            items[1] = MakeMenuItem("help", "C:\\Docs\\guide.chm"); // a type with its own icon
            items[2] = MakeMenuItem("share", "\\\\server\\share\\tool.exe");
        }
        if (c.entries >= 0) {
            dll.WriteMenu(items);
        } else if (c.entries == -2) {
            ASSERT_TRUE(::CreateDirectoryA(data.c_str(), nullptr));
        }
        CModernHost host;
        ASSERT_EQ(host.Attach(root.Get(), dll.Path()), S_OK);
        const CommandNode& menu = host.Root();
        EXPECT_EQ(menu.title, L"Qarvo Context Menu");
        EXPECT_EQ(menu.icon, win32::ToWide(dir.File("Menu.exe") + ",0")) << "the product's icon";
        EXPECT_EQ(menu.flags, EXPCMDFLAGS{ECF_HASSUBCOMMANDS});
        EXPECT_EQ(menu.fastState, E_PENDING) << "the list is on disk";
        EXPECT_EQ(menu.slowState, S_OK);
        EXPECT_EQ(menu.state, items.empty() ? EXPCMDSTATE{ECS_HIDDEN} : EXPCMDSTATE{ECS_ENABLED});
        ComPtr<IEnumExplorerCommand> entries;
        ASSERT_EQ(root->EnumSubCommands(&entries), S_OK);
        ComPtr<IExplorerCommand> first;
        EXPECT_EQ(entries->Next(1, &first, nullptr), items.empty() ? S_FALSE : S_OK);
        if (items.empty()) {
            continue;
        }
        ASSERT_EQ(menu.children.size(), items.size());
        // A type's icon as the system registers it; a network path never touched: the generic
        // icon, as the system names it.
        SHSTOCKICONINFO generic = {};
        generic.cbSize = sizeof generic;
        ASSERT_EQ(::SHGetStockIconInfo(SIID_DOCNOASSOC, SHGSI_ICONLOCATION, &generic), S_OK);
        const std::wstring genericIcon = generic.szPath + (L"," + std::to_wstring(generic.iIcon));
        if (items.size() > 2) {
            EXPECT_EQ(menu.children[1].icon, L"C:\\windows\\hh.exe,0");
            EXPECT_EQ(menu.children[2].icon, genericIcon);
        }
        for (std::size_t i = 0; i < items.size(); ++i) {
            const CommandNode& entry = menu.children[i];
            EXPECT_EQ(entry.title, win32::ToWide(std::string(FieldText(items[i].MenuTitle)))) << i;
            EXPECT_EQ(entry.flags, EXPCMDFLAGS{ECF_DEFAULT}) << i;
            EXPECT_EQ(entry.fastState, S_OK) << i;
            EXPECT_EQ(entry.state, EXPCMDSTATE{ECS_ENABLED}) << i;
            EXPECT_TRUE(entry.children.empty()) << i;
        }
        // Each subcommand knows the host's site, as the root does.
        ComPtr<IObjectWithSite> withSite;
        ASSERT_EQ(menu.children.back().command.As(&withSite), S_OK);
        ComPtr<IOleWindow> site;
        ASSERT_EQ(withSite->GetSite(IID_PPV_ARGS(&site)), S_OK);
        HWND window = nullptr;
        EXPECT_EQ(site->GetWindow(&window), S_OK);
        EXPECT_EQ(window, host.SiteWindow());
    }
    root.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(HandlerTest, InitializeNeedsAtLeastOneRecord) {
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG) << "no menu.dat";
    dll.WriteMenu({});
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG) << "no records";
    dll.WriteMenu(testing_support::SampleItems(1));
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
}

TEST_F(HandlerTest, SubmenuHoldsOneItemPerRecordInFileOrder) {
    ComPtr<IContextMenu> menu = InitializedMenu(3);
    HMENU shellMenu = ::CreatePopupMenu();
    ::AppendMenuA(shellMenu, MF_STRING, 1, "Open");
    ::AppendMenuA(shellMenu, MF_STRING, 2, "Properties");

    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 1, 100, 200, CMF_NORMAL), 3);
    ASSERT_EQ(::GetMenuItemCount(shellMenu), 3);
    EXPECT_EQ(MenuText(shellMenu, 1), "&Qarvo Context Menu");
    EXPECT_EQ(::GetMenuItemID(shellMenu, 1), static_cast<UINT>(-1)) << "the popup has no id";
    HMENU sub = ::GetSubMenu(shellMenu, 1);
    ASSERT_NE(sub, nullptr);
    ASSERT_EQ(::GetMenuItemCount(sub), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(MenuText(sub, i), "Item " + std::to_string(i));
        EXPECT_EQ(::GetMenuItemID(sub, i), 100u + i);
    }
    ::DestroyMenu(shellMenu);

    // A range shorter than the list: the entries that fit, never an id past the last offered.
    const win32::CMenu twoFit(::CreatePopupMenu());
    EXPECT_EQ(menu->QueryContextMenu(twoFit.Get(), 0, 100, 101, CMF_NORMAL), 2);
    sub = ::GetSubMenu(twoFit.Get(), 0);
    ASSERT_EQ(::GetMenuItemCount(sub), 2);
    EXPECT_EQ(MenuText(sub, 1), "Item 1");
    EXPECT_EQ(::GetMenuItemID(sub, 1), 101u);
    // No room at all (the last id before the first): no submenu, nothing counted.
    const win32::CMenu none(::CreatePopupMenu());
    EXPECT_EQ(menu->QueryContextMenu(none.Get(), 0, 100, 99, CMF_NORMAL), S_OK);
    EXPECT_EQ(::GetMenuItemCount(none.Get()), 0);
    // The top of the id space: the range's end is inclusive and no id wraps around.
    const win32::CMenu top(::CreatePopupMenu());
    EXPECT_EQ(menu->QueryContextMenu(top.Get(), 0, 0xFFFFFFFEu, 0xFFFFFFFFu, CMF_NORMAL), 2);
}

TEST_F(HandlerTest, QueryContextMenuHonoursDefaultOnlyAndNothingElse) {
    ComPtr<IContextMenu> menu = InitializedMenu(2);
    HMENU shellMenu = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 1, 0x7fff, CMF_DEFAULTONLY), S_OK);
    EXPECT_EQ(::GetMenuItemCount(shellMenu), 0);
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 1, 0x7fff, CMF_VERBSONLY | CMF_EXPLORE), 2);
    EXPECT_EQ(::GetMenuItemCount(shellMenu), 1);
    ::DestroyMenu(shellMenu);
}

TEST_F(HandlerTest, SecondInitializeReadsTheFileAgain) {
    ComPtr<IContextMenu> menu = InitializedMenu(3);
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(menu.As(&init), S_OK);

    MenuItemList changed = {MakeMenuItem("Changed", "C:\\changed.txt")};
    dll.WriteMenu(changed);
    ASSERT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
    HMENU shellMenu = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 10, 20, 0), 1);
    EXPECT_EQ(MenuText(::GetSubMenu(shellMenu, 0), 0), "Changed");
    ::DestroyMenu(shellMenu);

    // A file gone since: initialisation fails and no stale entries remain.
    ::DeleteFileA(dll.MenuDataPath().c_str());
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    shellMenu = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 10, 20, 0), 0);
    EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(shellMenu, 0)), 0);
    ::DestroyMenu(shellMenu);
}

TEST_F(HandlerTest, FieldsWithoutNulAreUsedUpToTheirWidth) {
    MenuItem item{};
    std::memset(item.MenuTitle, 'T', sizeof item.MenuTitle);
    std::memset(item.FilePath, 'P', sizeof item.FilePath);
    ComPtr<IContextMenu> menu = InitializedMenu({item});
    HMENU shellMenu = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 1, 2, 0), 1);
    EXPECT_EQ(MenuText(::GetSubMenu(shellMenu, 0), 0), std::string(128, 'T'));
    ::DestroyMenu(shellMenu);
}

TEST_F(HandlerTest, AmpersandsInTitlesAreShownNotTakenAsShortcutKeys) {
    MenuItem full{};
    std::memset(full.MenuTitle, '&', sizeof full.MenuTitle); // no NUL in the field
    ComPtr<IContextMenu> menu =
        InitializedMenu({MakeMenuItem("Q&A notes.txt", "C:\\q.txt"),
                         MakeMenuItem("Terms & Conditions.pdf", "C:\\t.pdf"), full});
    HMENU shellMenu = ::CreatePopupMenu();
    EXPECT_EQ(menu->QueryContextMenu(shellMenu, 0, 1, 9, 0), 3);
    HMENU sub = ::GetSubMenu(shellMenu, 0);
    EXPECT_EQ(MenuText(sub, 0), "Q&&A notes.txt");
    EXPECT_EQ(MenuText(sub, 1), "Terms && Conditions.pdf");
    EXPECT_EQ(MenuText(sub, 2), std::string(256, '&'));
    EXPECT_EQ(MenuText(shellMenu, 0), "&Qarvo Context Menu") << "our own shortcut key stays";
    ::DestroyMenu(shellMenu);
}

TEST_F(HandlerTest, HelpTextInAnsiAndUnicode) {
    ComPtr<IContextMenu> menu = InitializedMenu(2);
    char ansi[64];
    std::memset(ansi, 'x', sizeof ansi);
    EXPECT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, ansi, 64), S_OK);
    EXPECT_STREQ(ansi, "Custom menu");
    std::memset(ansi, 'x', sizeof ansi);
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, ansi, 5), S_OK);
    EXPECT_STREQ(ansi, "Cust");
    EXPECT_EQ(ansi[5], 'x') << "nothing past the given length";

    WCHAR wide[64];
    std::memset(wide, 0x55, sizeof wide);
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64),
              S_OK);
    EXPECT_STREQ(wide, L"Custom menu");
    EXPECT_EQ(menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 3),
              S_OK);
    EXPECT_STREQ(wide, L"Cu");

    // Offsets past the list: help text refused and the buffer untouched.
    std::memset(ansi, 'x', sizeof ansi);
    EXPECT_EQ(menu->GetCommandString(2, GCS_HELPTEXTA, nullptr, ansi, 64), E_INVALIDARG);
    EXPECT_EQ(menu->GetCommandString(static_cast<UINT_PTR>(-1), GCS_HELPTEXTW, nullptr, ansi, 32),
              E_INVALIDARG);
    EXPECT_EQ(ansi[0], 'x');
}

TEST_F(HandlerTest, VerbAndValidationRequestsSucceedWithoutWriting) {
    ComPtr<IContextMenu> menu = InitializedMenu(1);
    char buffer[32];
    for (UINT type : {UINT{GCS_VERBA}, UINT{GCS_VERBW}, UINT{GCS_VALIDATEA}, UINT{GCS_VALIDATEW}}) {
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(menu->GetCommandString(99, type, nullptr, buffer, 16), S_OK) << type;
        EXPECT_EQ(buffer[0], 'x') << type;
    }
}

TEST_F(HandlerTest, InvokeCommandTakesOffsetsOnly) {
    ComPtr<IContextMenu> menu = InitializedMenu(2);
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.fMask = CMIC_MASK_FLAG_NO_UI;
    info.lpVerb = "open";
    EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
    info.lpVerb = MAKEINTRESOURCEA(2);
    EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
    EXPECT_EQ(menu->InvokeCommand(nullptr), E_INVALIDARG);

    // A verb string at an address whose bits 16-31 are clear is still a string, not offset 1.
    struct Release {
        void operator()(char* p) const { ::VirtualFree(p, 0, MEM_RELEASE); }
    };
    std::unique_ptr<char, Release> page;
    for (ULONG_PTR high = 1; !page && high < 256; ++high) {
        page.reset(static_cast<char*>(::VirtualAlloc(reinterpret_cast<void*>(high << 32), 4096,
                                                     MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE)));
    }
    ASSERT_TRUE(page);
    std::strcpy(page.get() + 1, "open");
    info.lpVerb = page.get() + 1;
    ASSERT_EQ(HIWORD(reinterpret_cast<ULONG_PTR>(info.lpVerb)), 0);
    EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
}

TEST_F(HandlerTest, FailedLaunchIsReportedAndExplainedUnlessTheCallerAsksForNoUi) {
    ComPtr<IContextMenu> menu = InitializedMenu({MakeMenuItem("gone", dir.File("deleted.txt"))});
    CMINVOKECOMMANDINFO info = {};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(0);
    const win32::CWindow owner(::CreateWindowA("STATIC", "owner", WS_OVERLAPPED, 0, 0, 10, 10,
                                               nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(owner);
    info.hwnd = owner.Get();

    info.fMask = CMIC_MASK_FLAG_NO_UI;
    EXPECT_EQ(menu->InvokeCommand(&info), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

    // The caller's no-UI and synchronous requests reach the launch: a host that ends right
    // after the call must not lose it.
    {
        const testing_support::CImportPatch patch(
            ::GetModuleHandleA(dll.Path().c_str()), "shell32.dll", "ShellExecuteExA",
            reinterpret_cast<void*>(&RecordingShellExecuteExA));
        ASSERT_TRUE(patch.Patched());
        info.fMask = CMIC_MASK_FLAG_NO_UI | CMIC_MASK_NOASYNC;
        EXPECT_EQ(menu->InvokeCommand(&info), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
        EXPECT_EQ(s_launchMask.load(), ULONG{SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC});
    }

    // Otherwise the system's message about it appears over the caller's window.
    info.fMask = 0;
    const Explained classic = ExplainedOver([&] { return menu->InvokeCommand(&info); });
    EXPECT_TRUE(FAILED(classic.result)) << std::hex << classic.result;
    EXPECT_TRUE(classic.seen);
    EXPECT_EQ(classic.owner, info.hwnd);

    // Windows 11's command launches the same way, over its site's window, and synchronously:
    // the surrogate it runs in may end as soon as the call returns.
    ComPtr<IExplorerCommand> root;
    ASSERT_EQ(dll.CreateCommand(IID_PPV_ARGS(&root)), S_OK);
    CModernHost host;
    ASSERT_EQ(host.Attach(root.Get(), dll.Path()), S_OK);
    ASSERT_EQ(host.Root().children.size(), 1u);
    const testing_support::CImportPatch patch(::GetModuleHandleA(dll.Path().c_str()), "shell32.dll",
                                              "ShellExecuteExA",
                                              reinterpret_cast<void*>(&RecordingShellExecuteExA));
    ASSERT_TRUE(patch.Patched());
    const Explained command = ExplainedOver([&] { return host.Invoke(0); });
    EXPECT_TRUE(FAILED(command.result)) << std::hex << command.result;
    EXPECT_TRUE(command.seen);
    EXPECT_EQ(command.owner, host.SiteWindow());
    EXPECT_EQ(s_launchMask.load(), ULONG{SEE_MASK_NOASYNC});
}

TEST(HandlerPaths, DataPathThatWouldNotFitIsRefused) {
    TempDir dir;
    // A folder whose "\menu.dat" path needs 256 characters while the module path still fits.
    const std::size_t folderLen = 247;
    std::string folder = dir.Path() + "\\";
    folder += std::string(folderLen - folder.size(), 'f');
    ASSERT_TRUE(::CreateDirectoryA(folder.c_str(), nullptr));
    {
        TorlinModule dll(folder, "T.dll");
        ASSERT_TRUE(dll.Loaded());
        // Our writer refuses such a path, so the file is put there by copying.
        const std::string shortPath = dir.File("menu.dat");
        ASSERT_TRUE(WriteMenuData(shortPath.c_str(), testing_support::SampleItems(1)));
        ASSERT_TRUE(::CopyFileA(shortPath.c_str(), dll.MenuDataPath().c_str(), FALSE));
        ComPtr<IShellExtInit> init;
        ASSERT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
        EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);
    }
    {
        // One character shorter: it fits and the menu loads.
        std::string shorter = folder.substr(0, folder.size() - 1);
        ASSERT_TRUE(::CreateDirectoryA(shorter.c_str(), nullptr));
        TorlinModule dll(shorter, "T.dll");
        ASSERT_TRUE(dll.Loaded());
        dll.WriteMenu(testing_support::SampleItems(1));
        ComPtr<IShellExtInit> init;
        ASSERT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
        EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
    }
}
