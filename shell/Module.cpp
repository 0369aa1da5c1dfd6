#include "shell/Module.h"

#include "net/MachineId.h"
#include "net/Update.h"
#include "base/Folders.h"
#include "base/StringFormat.h"

CModule g_module;

namespace
{
const wchar_t kLogFileName[] = L"tessarin.log";
const wchar_t kLogTimeFormat[] = L"%h:%M:%s %d.%m.%Y";
const int kLogCapKB = 1024;
const wchar_t kInstanceMutexName[] = L"{BE83ABEC-4E9E-4FEF-8852-67416F53E737}";
const int kMachineIdTries = 15;
}

CModule::CModule()
    : m_log(::GetAppDataFolder(), kLogFileName, kLogTimeFormat, kLogCapKB, 0),
      m_instanceLock(kInstanceMutexName)
{
}

CModule::~CModule() = default;

HRESULT CModule::Init(HINSTANCE instance)
{
    m_languages.SetResourceModule(instance);
    // WMI answers on the identifier's worker while the languages load.
    CMachineIdComputation machineId;
    m_languages.LoadLanguages();
    m_uid = machineId.Wait(kMachineIdTries);
    return S_OK;
}

void CModule::Term()
{
    // Nothing to release early: every member lives until static destruction.
}

void CModule::Log(const std::wstring& text)
{
    ::Log(text);
}

void CModule::LogError(const std::wstring& description, DWORD lastError)
{
    ::LogError(description, lastError);
}

std::wstring CModule::GetAppDataFolder() const
{
    return ::GetAppDataFolder();
}

void CheckForProgramUpdates()
{
    CheckForUpdates(g_module.GetUID(), [] { return g_module.GetTester().IsRunning(); });
}
