// The registry script: text to statement tree, and the tree run against a sandbox key.
#include "Owners.h"
#include "RegScriptApply.h"
#include "RegScriptRows.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing_support::ReadRegString;
using testing_support::RegKeyExists;

namespace {

using Marker = RegStatement::Marker;

std::vector<std::string> Rows(const std::string& text) {
    RegScript script;
    EXPECT_TRUE(ParseRegScript(text, script)) << text;
    return RegScriptRows(script.statements);
}

// A private key under HKEY_CURRENT_USER to run scripts against; named after the process, as
// ctest runs the tests of this program in parallel processes.
class Sandbox {
public:
    Sandbox() : m_path("Software\\QarvoRegScriptTest-" + std::to_string(::GetCurrentProcessId())) {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
        ::RegCreateKeyExA(HKEY_CURRENT_USER, m_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          m_key.Receive(), nullptr);
    }
    ~Sandbox() {
        m_key.Reset();
        ::RegDeleteTreeA(HKEY_CURRENT_USER, m_path.c_str());
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;
    HKEY Key() const { return m_key.Get(); }

private:
    std::string m_path;
    win32::CKey m_key;
};

HRESULT RunScript(const std::string& text, HKEY root, RegMode mode) {
    RegScript script;
    if (!ParseRegScript(text, script)) {
        return DISP_E_EXCEPTION;
    }
    return ApplyRegScript(script, root, mode);
}

} // namespace

TEST(RegScriptParse, StatementsMarkersAndValues) {
    const std::string text = "HKCR\r\n{\r\n\tNoRemove CLSID\r\n\t{\r\n"
                             "\t\tForceRemove {01234567-89AB-CDEF-0123-456789ABCDEF} = s 'Desc'\r\n"
                             "\t\t{\r\n  InprocServer32 = s 'C:\\it''s\\T.dll'\r\n"
                             "  {\r\n val ThreadingModel = s 'Apartment'\r\n }\r\n\t\t}\r\n\t}\r\n"
                             "\t'quoted name' { }\r\n  plain\r\n}\r\n";
    EXPECT_EQ(Rows(text), (std::vector<std::string>{
                              "0|CLSID|NoRemove|",
                              "1|{01234567-89AB-CDEF-0123-456789ABCDEF}|ForceRemove|Desc",
                              "2|InprocServer32|none|C:\\it's\\T.dll|ThreadingModel=Apartment",
                              "0|quoted name|none|",
                              "0|plain|none|",
                          }));
    // Keywords are not case-sensitive; the root may be spelled out.
    EXPECT_EQ(Rows("hkey_classes_root { noremove A { VAL v = S 'x' } }"),
              (std::vector<std::string>{"0|A|NoRemove||v=x"}));
}

TEST(RegScriptParse, MalformedScriptsAreRefused) {
    for (const char* text : {
             "",
             "HKLM { A }",                   // a root we do not serve
             "HKCR",                         // no block
             "HKCR { A ",                    // unclosed block
             "HKCR { A = s 'unterminated }", // unclosed text
             "HKCR { A = 'x' }",             // no type
             "HKCR { A = d 'x' }",           // a type we do not write
             "HKCR { A = s }",               // no text
             "HKCR { val = s 'x' }",         // value without a name
             "HKCR { val v s 'x' }",         // value without '='
             "HKCR { NoRemove }",            // marker without a key
             "HKCR { A } extra",             // text after the root block
             "HKCR { } }",
         }) {
        RegScript script;
        EXPECT_FALSE(ParseRegScript(text, script)) << text;
    }
}

TEST(RegScriptExpand, ReplacesNamesWithoutRegardToCase) {
    const RegReplacements r = {{"Module", "C:\\a''b.dll"}, {"Module_Raw", "RAW"}};
    EXPECT_EQ(ExpandRegScript("x '%MODULE%' %module_raw% %Module%", r),
              "x 'C:\\a''b.dll' RAW C:\\a''b.dll");
    // Unknown names and lone percent signs stay; a replacement is not scanned again.
    EXPECT_EQ(ExpandRegScript("50% %OTHER% %MODULE%%", {{"Module", "%MODULE%"}}),
              "50% %OTHER% %MODULE%%");
    EXPECT_EQ(ExpandRegScript("100%%MODULE%", r), "100%C:\\a''b.dll");
}

TEST(RegScriptApply, RegisterThenUnregisterLeavesOnlyNoRemoveKeys) {
    Sandbox box;
    const std::string text = "HKCR { NoRemove Shared { ForceRemove Ours = s 'v1' { "
                             "Server = s 'path' { val Model = s 'Apartment' } } "
                             "NoRemove Keep { val Named = s 'n' } } }";
    ASSERT_EQ(RunScript(text, box.Key(), RegMode::Register), S_OK);
    EXPECT_EQ(ReadRegString(box.Key(), "Shared\\Ours"), "v1");
    EXPECT_EQ(ReadRegString(box.Key(), "Shared\\Ours\\Server"), "path");
    EXPECT_EQ(ReadRegString(box.Key(), "Shared\\Ours\\Server", "Model"), "Apartment");
    EXPECT_EQ(ReadRegString(box.Key(), "Shared\\Keep", "Named"), "n");

    // ForceRemove: a second registration drops what the first left below the key.
    ASSERT_TRUE(testing_support::CreateRegKey(box.Key(), "Shared\\Ours\\Stale"));
    ASSERT_EQ(RunScript(text, box.Key(), RegMode::Register), S_OK);
    EXPECT_FALSE(RegKeyExists(box.Key(), "Shared\\Ours\\Stale"));

    ASSERT_EQ(RunScript(text, box.Key(), RegMode::Unregister), S_OK);
    EXPECT_FALSE(RegKeyExists(box.Key(), "Shared\\Ours"));
    EXPECT_TRUE(RegKeyExists(box.Key(), "Shared\\Keep"));
    EXPECT_EQ(ReadRegString(box.Key(), "Shared\\Keep", "Named"), "<missing>");

    // Nothing registered: unregistering is no error.
    EXPECT_EQ(RunScript(text, box.Key(), RegMode::Unregister), S_OK);
}

TEST(RegScriptApply, UnregisterStopsAtAKeyWithForeignSubkeys) {
    Sandbox box;
    const std::string text = "HKCR { First { Inner } Second }";
    ASSERT_EQ(RunScript(text, box.Key(), RegMode::Register), S_OK);
    ASSERT_TRUE(testing_support::CreateRegKey(box.Key(), "First\\Inner\\Foreign"));

    const HRESULT hr = RunScript(text, box.Key(), RegMode::Unregister);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    EXPECT_TRUE(RegKeyExists(box.Key(), "First\\Inner\\Foreign"));
    EXPECT_TRUE(RegKeyExists(box.Key(), "Second")) << "later statements are not processed";
}

TEST(RegScriptApply, FailedRegistrationIsRolledBack) {
    Sandbox box;
    // The second key cannot be created below a volatile-free read-only parent: make the
    // creation fail by naming a key that is too long for the registry (over 255 chars).
    const std::string tooLong(300, 'k');
    const std::string text = "HKCR { Made = s 'x' { Child } " + tooLong + " }";
    const HRESULT hr = RunScript(text, box.Key(), RegMode::Register);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(HRESULT_FACILITY(hr), FACILITY_WIN32);
    EXPECT_FALSE(RegKeyExists(box.Key(), "Made")) << "what was written is removed again";
}

TEST(RegScriptParse, DamagedScriptsAreRefusedOrParsedWithoutHarm) {
    const std::string good = "HKCR { NoRemove CLSID { ForceRemove {01234567} = s 'Desc' { "
                             "InprocServer32 = s 'C:\\it''s\\T.dll' { val ThreadingModel = "
                             "s 'Apartment' } } } }";
    RegScript reference;
    ASSERT_TRUE(ParseRegScript(good, reference));
    unsigned seed = 7;
    auto next = [&seed] {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7fff;
    };
    const char alphabet[] = "{}='s \t\r\nvalNoRemove%";
    int parsed = 0, refused = 0;
    for (int round = 0; round < 2000; ++round) {
        std::string text = good;
        for (int edits = 1 + next() % 3; edits > 0; --edits) {
            const std::size_t at = next() % text.size();
            switch (next() % 3) {
            case 0:
                text.erase(at, 1);
                break;
            case 1:
                text.insert(at, 1, alphabet[next() % (sizeof alphabet - 1)]);
                break;
            default:
                text[at] = alphabet[next() % (sizeof alphabet - 1)];
                break;
            }
        }
        // Every damaged text is either parsed into a tree below HKCR or refused; none crashes.
        RegScript script;
        if (ParseRegScript(text, script)) {
            ++parsed;
            EXPECT_EQ(script.root, RegRoot::ClassesRoot) << text;
        } else {
            ++refused;
        }
    }
    EXPECT_GT(parsed, 0);
    EXPECT_GT(refused, 0);
}

TEST(RegScriptParse, NestingDeeperThanTheLimitIsRefused) {
    // "HKCR { k { k { ... } } }" with the given number of blocks, the root block included.
    auto nested = [](int blocks) {
        std::string text = "HKCR {";
        for (int i = 1; i < blocks; ++i) {
            text += " k {";
        }
        for (int i = 0; i < blocks; ++i) {
            text += " }";
        }
        return text;
    };
    RegScript script;
    EXPECT_TRUE(ParseRegScript(nested(kMaxRegScriptDepth), script));
    EXPECT_FALSE(ParseRegScript(nested(kMaxRegScriptDepth + 1), script));
    // Deep enough to overflow the stack of a parser that recursed without bound.
    EXPECT_FALSE(ParseRegScript(nested(100000), script));
}
