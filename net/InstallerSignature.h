#pragma once
#include <windows.h>

#include <string>

// The verdict on a downloaded installer's Authenticode signature.
struct InstallerSignatureVerdict
{
    bool accepted = false;
    // WinVerifyTrust's result (0 when the signature itself is sound).
    LONG trustResult = 0;
    // Why the file was refused; empty when accepted.
    std::wstring reason;
};

// Accepts the file only when WinVerifyTrust finds its signature sound (no
// user interface; revocation as Windows' policy says, from cached data only,
// so no network wait) and its signer's certificate holds the public key
// given (DER RSAPublicKey). The second test is what keeps out a file that
// another publisher signed validly. The file is read through the open
// handle given (its name only names it to WinVerifyTrust).
InstallerSignatureVerdict CheckInstallerSignature(HANDLE file, const std::wstring& path,
                                                  const unsigned char* publisherKey,
                                                  size_t publisherKeySize);
