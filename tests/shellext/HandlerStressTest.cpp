// The built Torlin.dll under damaged input, under threads and out of memory, through the
// shell's whole call sequence.
#include "MenuData.h"
#include "TestSupport.h"
#include "TorlinModule.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

using Microsoft::WRL::ComPtr;

namespace {

// A menu.dat image: random bytes, or a well-formed file of random records that is then
// damaged (bytes changed, header rewritten, cut short or lengthened).
std::string DamagedMenuData(std::mt19937& rng) {
    auto below = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
    std::string bytes;
    if (below(4) == 0) {
        bytes.resize(below(12000));
        for (char& c : bytes) {
            c = static_cast<char>(rng());
        }
        return bytes;
    }
    MenuItemList items(below(menudata::kMaxRecords + 2));
    for (MenuItem& item : items) {
        // Printable text, '&' included, sometimes filling a field without its NUL.
        const std::size_t title = below(2) ? below(sizeof item.MenuTitle + 1) : 8;
        for (std::size_t i = 0; i < title; ++i) {
            item.MenuTitle[i] = static_cast<char>(' ' + below(95));
        }
        std::memset(item.FilePath, 'p', below(sizeof item.FilePath + 1));
    }
    bytes = FormatMenuData(items);
    for (std::size_t edits = below(4); edits > 0; --edits) {
        bytes[below(bytes.size())] = static_cast<char>(rng());
    }
    switch (below(4)) {
    case 0: {
        const char digits[] = "0123456789 +-\0";
        for (std::size_t i = 0; i < 4; ++i) {
            bytes[i] = digits[below(sizeof digits)];
        }
        break;
    }
    case 1:
        bytes.resize(below(bytes.size() + 1));
        break;
    case 2:
        bytes.append(below(800), static_cast<char>(rng()));
        break;
    default:
        break;
    }
    return bytes;
}

// Every kind of request for every offset (one past the last included), each into a buffer of
// a random length followed by guard bytes that must stay untouched. False at the first fault.
bool CommandStringsStayInTheirBuffers(IContextMenu* menu, UINT count, std::mt19937& rng) {
    constexpr unsigned char kGuard = 0xA5;
    constexpr std::size_t kGuardBytes = 32;
    const UINT types[] = {GCS_HELPTEXTA, GCS_HELPTEXTW, GCS_VERBA,
                          GCS_VERBW,     GCS_VALIDATEA, GCS_VALIDATEW};
    for (UINT offset = 0; offset <= count; ++offset) {
        for (UINT type : types) {
            const UINT cch = rng() % 16;
            const std::size_t width = (type & GCS_UNICODE) ? sizeof(WCHAR) : 1;
            std::vector<unsigned char> buffer(cch * width + kGuardBytes, kGuard);
            const HRESULT hr = menu->GetCommandString(offset, type, nullptr,
                                                      reinterpret_cast<CHAR*>(buffer.data()), cch);
            for (std::size_t i = cch * width; i < buffer.size(); ++i) {
                if (buffer[i] != kGuard) {
                    ADD_FAILURE() << "written past " << cch << " characters, type " << type;
                    return false;
                }
            }
            const bool help = (type & GCS_HELPTEXTA) != 0;
            const HRESULT expected = help && offset >= count ? E_INVALIDARG : S_OK;
            if (hr != expected) {
                ADD_FAILURE() << "offset " << offset << " type " << type << ": " << hr;
                return false;
            }
        }
    }
    return true;
}

// While set, the DLL's allocations of a list's size fail. Small blocks, such as the exception
// object that reports the failure, are still there, as when a large block no longer fits.
std::atomic<bool> s_listAllocationsFail{false};
void* __cdecl MallocThatMayFail(std::size_t size) {
    return s_listAllocationsFail && size >= 1024 ? nullptr : std::malloc(size);
}

} // namespace

TEST(HandlerStress, DamagedMenuDataThroughTheWholeCallSequence) {
    testing_support::TempDir dir;
    TorlinModule dll(dir.Path());
    ASSERT_TRUE(dll.Loaded());
    std::mt19937 rng(20240607);
    int withMenu = 0;
    for (int round = 0; round < 2000; ++round) {
        SCOPED_TRACE(round);
        const std::string bytes = DamagedMenuData(rng);
        ASSERT_TRUE(testing_support::WriteFileBytes(dll.MenuDataPath(), bytes));
        MenuItemList expected;
        ParseMenuData(bytes.data(), bytes.size(), expected);
        const UINT count = static_cast<UINT>(expected.size());
        {
            ComPtr<IClassFactory> factory;
            ASSERT_EQ(dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)), S_OK);
            ComPtr<IShellExtInit> init;
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&init)), S_OK);
            const HRESULT hr = init->Initialize(nullptr, nullptr, nullptr);
            ASSERT_EQ(hr, count > 0 ? S_OK : E_INVALIDARG);
            if (SUCCEEDED(hr)) {
                ++withMenu;
                ComPtr<IContextMenu> menu;
                ASSERT_EQ(init.As(&menu), S_OK);
                const win32::CMenu shellMenu(::CreatePopupMenu());
                EXPECT_EQ(menu->QueryContextMenu(shellMenu.Get(), 0, 1, 0x7fff, CMF_NORMAL),
                          static_cast<HRESULT>(count));
                EXPECT_EQ(::GetMenuItemCount(::GetSubMenu(shellMenu.Get(), 0)),
                          static_cast<int>(count));
                ASSERT_TRUE(CommandStringsStayInTheirBuffers(menu.Get(), count, rng));
            }
        }
        ASSERT_EQ(dll.CanUnloadNow(), S_OK);
    }
    EXPECT_GT(withMenu, 500) << "too few files made it to a menu to test anything";
}

TEST(HandlerStress, EightThreadsCreateUseAndReleaseHandlersAndServerLocks) {
    testing_support::TempDir dir;
    TorlinModule dll(dir.Path());
    ASSERT_TRUE(dll.Loaded());
    dll.WriteMenu(testing_support::SampleItems(3));
    dll.WriteIcons(testing_support::SampleItems(3)); // the icon cache, shared by every thread

    constexpr int kThreads = 8;
    std::atomic<int> waiting{kThreads};
    std::atomic<int> failures{0};
    auto work = [&] {
        // All threads ask for the first class object at once.
        --waiting;
        while (waiting.load() > 0) {
            std::this_thread::yield();
        }
        for (int i = 0; i < 1500; ++i) {
            ComPtr<IClassFactory> factory;
            ComPtr<IShellExtInit> init;
            ComPtr<IContextMenu> menu;
            bool ok = dll.GetClassObject(kClsidQarvo, IID_PPV_ARGS(&factory)) == S_OK &&
                      factory->LockServer(TRUE) == S_OK &&
                      factory->CreateInstance(nullptr, IID_PPV_ARGS(&init)) == S_OK &&
                      init->Initialize(nullptr, nullptr, nullptr) == S_OK && init.As(&menu) == S_OK;
            if (ok) {
                const win32::CMenu shellMenu(::CreatePopupMenu());
                char help[32] = {};
                ok = menu->QueryContextMenu(shellMenu.Get(), 0, 1, 0x7fff, CMF_NORMAL) == 3 &&
                     testing_support::MenuItemBitmap(::GetSubMenu(shellMenu.Get(), 0), 2) &&
                     menu->GetCommandString(2, GCS_HELPTEXTA, nullptr, help, sizeof help) == S_OK &&
                     std::strcmp(help, "Custom menu") == 0;
            }
            // Windows 11's command beside it: the root and its three subcommands.
            ComPtr<IExplorerCommand> command;
            ComPtr<IEnumExplorerCommand> entries;
            EXPCMDSTATE state = ECS_HIDDEN;
            if (ok && factory->LockServer(TRUE) == S_OK) {
                ok = dll.CreateCommand(IID_PPV_ARGS(&command)) == S_OK &&
                     command->GetState(nullptr, TRUE, &state) == S_OK && state == ECS_ENABLED &&
                     command->EnumSubCommands(&entries) == S_OK;
                ComPtr<IExplorerCommand> entry[4]; // one pointer each, side by side
                ULONG fetched = 0;
                ok = ok && entries->Next(4, entry[0].GetAddressOf(), &fetched) == S_FALSE &&
                     fetched == 3;
                ok = factory->LockServer(FALSE) == S_OK && ok;
            }
            entries.Reset();
            command.Reset();
            menu.Reset();
            init.Reset();
            if (factory) {
                ok = factory->LockServer(FALSE) == S_OK && ok;
            }
            if (!ok) {
                ++failures;
            }
        }
    };
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(work);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST(HandlerStress, ListThatCannotBeAllocatedIsReportedAndTheHandlerRecovers) {
    testing_support::TempDir dir;
    TorlinModule dll(dir.Path());
    ASSERT_TRUE(dll.Loaded());
    const testing_support::CImportPatch patch(::GetModuleHandleA(dll.Path().c_str()), "msvcrt.dll",
                                              "malloc",
                                              reinterpret_cast<void*>(&MallocThatMayFail));
    ASSERT_TRUE(patch.Patched());
    dll.WriteMenu(testing_support::SampleItems(menudata::kMaxRecords));
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(dll.CreateHandler(IID_PPV_ARGS(&init)), S_OK);
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(init.As(&menu), S_OK);

    s_listAllocationsFail = true;
    const HRESULT failed = init->Initialize(nullptr, nullptr, nullptr);
    s_listAllocationsFail = false;
    EXPECT_EQ(failed, E_OUTOFMEMORY);
    const win32::CMenu empty(::CreatePopupMenu());
    EXPECT_EQ(menu->QueryContextMenu(empty.Get(), 0, 1, 0x7fff, CMF_NORMAL), S_OK)
        << "no half-filled list behind the failure";

    ASSERT_EQ(init->Initialize(nullptr, nullptr, nullptr), S_OK);
    const win32::CMenu full(::CreatePopupMenu());
    EXPECT_EQ(menu->QueryContextMenu(full.Get(), 0, 1, 0x7fff, CMF_NORMAL),
              static_cast<HRESULT>(menudata::kMaxRecords));
}
