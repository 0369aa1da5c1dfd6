#include "net/InstallerSignature.h"

#include <softpub.h>
#include <wintrust.h>

#include <cstring>

#include "base/StringFormat.h"

namespace
{
// One WinVerifyTrust verification of a file, whose state stays open for
// reading the signer until the object goes.
class CTrustVerification
{
public:
    CTrustVerification(HANDLE file, const std::wstring& path) : m_path(path)
    {
        // WINTRUST_FILE_INFO: with hFile set, the file is read through that
        // handle rather than opened again by its name.
        m_file.cbStruct = sizeof(m_file);
        m_file.pcwszFilePath = m_path.c_str();
        m_file.hFile = file;
        m_data.cbStruct = sizeof(m_data);
        m_data.dwUIChoice = WTD_UI_NONE;
        m_data.fdwRevocationChecks = WTD_REVOKE_NONE;
        m_data.dwUnionChoice = WTD_CHOICE_FILE;
        m_data.pFile = &m_file;
        m_data.dwStateAction = WTD_STATEACTION_VERIFY;
        m_data.dwProvFlags = WTD_CACHE_ONLY_URL_RETRIEVAL;
        m_result = WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &m_action, &m_data);
    }
    ~CTrustVerification()
    {
        m_data.dwStateAction = WTD_STATEACTION_CLOSE;
        WinVerifyTrust(static_cast<HWND>(INVALID_HANDLE_VALUE), &m_action, &m_data);
    }
    CTrustVerification(const CTrustVerification&) = delete;
    CTrustVerification& operator=(const CTrustVerification&) = delete;

    LONG Result() const { return m_result; }

    // The certificate of the first signer, or null.
    PCCERT_CONTEXT Signer() const
    {
        CRYPT_PROVIDER_DATA* provider = WTHelperProvDataFromStateData(m_data.hWVTStateData);
        CRYPT_PROVIDER_SGNR* signer = provider ? WTHelperGetProvSignerFromChain(provider, 0, FALSE, 0) : nullptr;
        if (!signer || signer->csCertChain == 0 || !signer->pasCertChain)
            return nullptr;
        return signer->pasCertChain[0].pCert;
    }

private:
    std::wstring m_path;
    GUID m_action = WINTRUST_ACTION_GENERIC_VERIFY_V2;
    WINTRUST_FILE_INFO m_file = {};
    WINTRUST_DATA m_data = {};
    LONG m_result = 0;
};

bool HoldsKey(PCCERT_CONTEXT certificate, const unsigned char* key, size_t keySize)
{
    const CRYPT_BIT_BLOB& held = certificate->pCertInfo->SubjectPublicKeyInfo.PublicKey;
    return held.cUnusedBits == 0 && held.cbData == keySize && std::memcmp(held.pbData, key, keySize) == 0;
}
}

InstallerSignatureVerdict CheckInstallerSignature(HANDLE file, const std::wstring& path,
                                                  const unsigned char* publisherKey, size_t publisherKeySize)
{
    InstallerSignatureVerdict verdict;
    CTrustVerification verification(file, path);
    verdict.trustResult = verification.Result();
    if (verdict.trustResult != ERROR_SUCCESS)
    {
        verdict.reason = verdict.trustResult == TRUST_E_NOSIGNATURE ? L"the installer is not signed"
                                                                    : L"the installer's signature is not valid";
        return verdict;
    }
    PCCERT_CONTEXT signer = verification.Signer();
    if (!signer || !HoldsKey(signer, publisherKey, publisherKeySize))
    {
        verdict.reason = L"the installer is signed by another publisher";
        return verdict;
    }
    verdict.accepted = true;
    return verdict;
}
