#include "net/Md5.h"

#include <windows.h>

#include <algorithm>

namespace
{
// The context layout the cryptdll functions work on.
struct Md5Context
{
    ULONG count[2];
    ULONG state[4];
    unsigned char input[64];
    unsigned char digest[16];
};

using Md5InitFunction = void(WINAPI*)(Md5Context*);
using Md5UpdateFunction = void(WINAPI*)(Md5Context*, const unsigned char*, unsigned int);
using Md5FinalFunction = void(WINAPI*)(Md5Context*);

template <class Function>
Function Lookup(HMODULE library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(library, name)));
}

struct Md5Functions
{
    Md5InitFunction init = nullptr;
    Md5UpdateFunction update = nullptr;
    Md5FinalFunction final = nullptr;

    Md5Functions()
    {
        // Loaded once for the process and never freed.
        HMODULE library = LoadLibraryW(L"cryptdll.dll");
        if (!library)
            return;
        init = Lookup<Md5InitFunction>(library, "MD5Init");
        update = Lookup<Md5UpdateFunction>(library, "MD5Update");
        final = Lookup<Md5FinalFunction>(library, "MD5Final");
    }

    bool Available() const { return init && update && final; }
};

const Md5Functions& Functions()
{
    static const Md5Functions functions;
    return functions;
}
}

Md5Digest Md5OfText(const std::wstring& text)
{
    Md5Digest digest{};
    const Md5Functions& md5 = Functions();
    if (!md5.Available())
        return digest;
    // wchar_t is a UTF-16LE code unit on Windows, so the string's own bytes
    // are the bytes to hash.
    Md5Context context{};
    md5.init(&context);
    md5.update(&context, reinterpret_cast<const unsigned char*>(text.data()),
               static_cast<unsigned int>(text.size() * sizeof(wchar_t)));
    md5.final(&context);
    std::copy(context.digest, context.digest + sizeof(context.digest), digest.begin());
    return digest;
}
