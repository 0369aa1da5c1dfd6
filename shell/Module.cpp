#include "shell/Module.h"

#include "shell/Folders.h"
#include "shell/StringFormat.h"

CModule g_module;

namespace
{
const wchar_t kLogFileName[] = L"tessarin.log";
const wchar_t kLogTimeFormat[] = L"%h:%M:%s %d.%m.%Y";
const int kLogCapKB = 1024;
}

CModule::CModule()
    : m_log(::GetAppDataFolder(), kLogFileName, kLogTimeFormat, kLogCapKB, 0)
{
}

CModule::~CModule() = default;

void CModule::Log(const std::wstring& text)
{
    m_log.Write(text);
}

void CModule::LogError(const std::wstring& description, DWORD lastError)
{
    Log(FormatText(L"Error:\t%ls\t(last error = %d)", description.c_str(), static_cast<int>(lastError)));
}

std::wstring CModule::GetAppDataFolder() const
{
    return ::GetAppDataFolder();
}
