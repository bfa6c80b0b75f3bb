#include "AdminOnly.h"

namespace {

// What lets someone replace a file or put one beside it, or give himself that right.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD |
                                      WRITE_DAC | WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;

// A SID of the NT authority, as a constant: no call builds it, none frees it.
template <BYTE N> struct NtSid {
    BYTE revision, count;
    SID_IDENTIFIER_AUTHORITY authority;
    DWORD subAuthority[N];
};
const NtSid<1> kSystem = {SID_REVISION, 1, SECURITY_NT_AUTHORITY, {SECURITY_LOCAL_SYSTEM_RID}};
const NtSid<2> kAdministrators = {
    SID_REVISION, 2, SECURITY_NT_AUTHORITY, {SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS}};
// NT SERVICE\TrustedInstaller, which has no well-known SID type of its own.
const NtSid<6> kTrustedInstaller = {
    SID_REVISION,
    6,
    SECURITY_NT_AUTHORITY,
    {80, 956008885u, 3425904046u, 3637158000u, 3191138418u, 2428521017u}};

const void* const kMachineAdministration[] = {&kSystem, &kAdministrators, &kTrustedInstaller};

bool IsMachineAdministration(PSID sid) {
    for (const void* trusted : kMachineAdministration) {
        if (::EqualSid(sid, const_cast<void*>(trusted))) {
            return true;
        }
    }
    return false;
}

} // namespace

bool OnlyAdministratorsCanChange(PSECURITY_DESCRIPTOR descriptor, PSID administrator) {
    PSID owner = nullptr;
    BOOL defaulted = FALSE;
    if (!::GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || owner == nullptr ||
        !(IsMachineAdministration(owner) ||
          (administrator != nullptr && ::EqualSid(owner, administrator)))) {
        return false;
    }
    BOOL present = FALSE;
    PACL dacl = nullptr;
    if (!::GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted) || !present ||
        dacl == nullptr) {
        return false; // no list at all lets everyone do everything
    }
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!::GetAce(dacl, i, reinterpret_cast<void**>(&ace))) {
            return false;
        }
        // Inherit-only entries apply to what is created below, not to the object itself.
        if ((ace->Header.AceFlags & INHERIT_ONLY_ACE) || (ace->Mask & kChangeRights) == 0) {
            continue;
        }
        switch (ace->Header.AceType) {
        case ACCESS_ALLOWED_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
            if (!IsMachineAdministration(&ace->SidStart) && !::EqualSid(&ace->SidStart, owner)) {
                return false;
            }
            break;
        case ACCESS_ALLOWED_COMPOUND_ACE_TYPE:
        case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
        case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE:
            return false; // whoever these name is not read here: anyone, then
        default:
            break; // denials and audits grant nothing
        }
    }
    return true;
}
