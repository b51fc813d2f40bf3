// Kov's named objects belong to the user alone. Any program the library
// enters could otherwise make one of them first, or write into one, and so
// decide what every dressed program does. Everything here is found at run
// time: Windows 95 has no security at all, NT 4 no descriptor strings, and
// Windows before Vista no integrity labels.
#include "share.h"
#include "../common/strutil.h"
#include <sddl.h>
#include <aclapi.h>

typedef BOOL(WINAPI *OpenTokenFn)(HANDLE, DWORD, PHANDLE);
typedef BOOL(WINAPI *TokenInfoFn)(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD);
typedef BOOL(WINAPI *SidTextFn)(PSID, LPSTR *);
typedef BOOL(WINAPI *TextDescriptorFn)(LPCSTR, DWORD, PSECURITY_DESCRIPTOR *, PULONG);
typedef DWORD(WINAPI *SecurityInfoFn)(HANDLE, SE_OBJECT_TYPE, SECURITY_INFORMATION, PSID *, PSID *,
                                      PACL *, PACL *, PSECURITY_DESCRIPTOR *);
typedef BOOL(WINAPI *EqualSidFn)(PSID, PSID);

static HMODULE Advapi(void)
{
    HMODULE module = GetModuleHandleA("advapi32.dll");
    return module ? module : LoadLibraryA("advapi32.dll");
}

// The user this process runs for, in buffer; NULL where the system has no users.
static PSID UserSid(BYTE *buffer, DWORD size)
{
    HMODULE api = Advapi();
    OpenTokenFn open = (OpenTokenFn)GetProcAddress(api, "OpenProcessToken");
    TokenInfoFn info = (TokenInfoFn)GetProcAddress(api, "GetTokenInformation");
    HANDLE token;
    if (!open || !info || !open(GetCurrentProcess(), TOKEN_QUERY, &token))
        return NULL;
    DWORD needed = 0;
    BOOL ok = info(token, TokenUser, buffer, size, &needed);
    CloseHandle(token);
    return ok ? ((TOKEN_USER *)buffer)->User.Sid : NULL;
}

#define USER_BUFFER (sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE)

// The user owns the object and alone may open it. The label is medium
// integrity, no write up: an elevated Kov still serves the user's ordinary
// programs, a sandboxed one cannot write. Systems that know no labels take
// the descriptor without one.
SECURITY_ATTRIBUTES *WINAPI KovObjectSecurity(SECURITY_ATTRIBUTES *sa)
{
    ZeroMemory(sa, sizeof(*sa));
    sa->nLength = sizeof(*sa);
    HMODULE api = Advapi();
    SidTextFn sidText = (SidTextFn)GetProcAddress(api, "ConvertSidToStringSidA");
    TextDescriptorFn toDescriptor =
        (TextDescriptorFn)GetProcAddress(api, "ConvertStringSecurityDescriptorToSecurityDescriptorA");
    BYTE buffer[USER_BUFFER];
    PSID user = UserSid(buffer, sizeof(buffer));
    char *text = NULL;
    if (!sidText || !toDescriptor || !user || !sidText(user, &text))
        return NULL;
    char sddl[256];
    FormatString(sddl, sizeof(sddl), "O:%sD:P(A;;GA;;;%s)S:(ML;;NW;;;ME)", text, text);
    BOOL made = toDescriptor(sddl, SDDL_REVISION_1, &sa->lpSecurityDescriptor, NULL);
    if (!made) {
        FormatString(sddl, sizeof(sddl), "O:%sD:P(A;;GA;;;%s)", text, text);
        made = toDescriptor(sddl, SDDL_REVISION_1, &sa->lpSecurityDescriptor, NULL);
    }
    LocalFree(text);
    if (!made)
        sa->lpSecurityDescriptor = NULL;
    return made ? sa : NULL;
}

// An object of Kov's name that existed already is taken only if it is the
// user's: whoever made it decides who may write it.
BOOL WINAPI KovIsOwnObject(HANDLE object)
{
    HMODULE api = Advapi();
    SecurityInfoFn securityInfo = (SecurityInfoFn)GetProcAddress(api, "GetSecurityInfo");
    EqualSidFn equal = (EqualSidFn)GetProcAddress(api, "EqualSid");
    BYTE buffer[USER_BUFFER];
    PSID user = UserSid(buffer, sizeof(buffer));
    if (!securityInfo || !equal || !user)
        return TRUE;   // no users to tell apart
    PSID owner = NULL;
    PSECURITY_DESCRIPTOR descriptor = NULL;
    if (securityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, NULL, NULL, NULL,
                     &descriptor) != ERROR_SUCCESS)
        return FALSE;
    BOOL own = owner && equal(owner, user);
    LocalFree(descriptor);
    return own;
}
