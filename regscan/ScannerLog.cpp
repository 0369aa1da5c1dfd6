#include "regscan/ScannerLog.h"

#include <atomic>

#include "base/LogFile.h"

namespace RegistryKelvadorLib
{
namespace
{
std::atomic<CLogFile*> g_scannerLog{nullptr};
}

void SetScannerLog(CLogFile* log)
{
    g_scannerLog = log;
}

void ReleaseScannerLog(CLogFile* log)
{
    g_scannerLog.compare_exchange_strong(log, nullptr);
}

void WriteScannerLog(const std::wstring& text)
{
    if (CLogFile* log = g_scannerLog)
        log->Write(text);
}
}
