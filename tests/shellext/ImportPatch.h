// Points a loaded module's import of dll!function at a replacement while the patch lives, so a
// test sees what the built library asks of the system (and can make the system fail it).
#pragma once

#include <windows.h>

#include <cstring>

class CImportPatch {
public:
    CImportPatch(HMODULE module, const char* dll, const char* function, void* replacement) {
        auto* base = reinterpret_cast<BYTE*>(module);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
            base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* entry =
                 reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
             entry->Name != 0 && m_slot == nullptr; ++entry) {
            if (::lstrcmpiA(reinterpret_cast<const char*>(base + entry->Name), dll) != 0) {
                continue;
            }
            auto* names =
                reinterpret_cast<const IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
            for (; names->u1.AddressOfData != 0; ++names, ++slots) {
                const auto* byName =
                    reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (!IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal) &&
                    std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) {
                    m_slot = reinterpret_cast<void**>(&slots->u1.Function);
                    break;
                }
            }
        }
        if (m_slot != nullptr) {
            m_original = *m_slot;
            Write(replacement);
        }
    }
    // A slot that no import table lists, such as one of a delay-loading import library, which
    // binds it at its first call: the program's own __imp_ symbol of the function.
    CImportPatch(void** slot, void* replacement) : m_slot(slot), m_original(*slot) {
        Write(replacement);
    }
    ~CImportPatch() {
        if (m_slot != nullptr) {
            Write(m_original);
        }
    }
    CImportPatch(const CImportPatch&) = delete;
    CImportPatch& operator=(const CImportPatch&) = delete;

    bool Patched() const { return m_slot != nullptr; }

private:
    void Write(void* value) {
        DWORD protection = 0;
        ::VirtualProtect(m_slot, sizeof *m_slot, PAGE_READWRITE, &protection);
        *m_slot = value;
        ::VirtualProtect(m_slot, sizeof *m_slot, protection, &protection);
    }

    void** m_slot = nullptr;
    void* m_original = nullptr;
};
