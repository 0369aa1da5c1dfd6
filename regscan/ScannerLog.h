#pragma once
#include <string>

class CLogFile;

namespace RegistryKelvadorLib
{
// The scanner log "RegScaner.log" is one per process: every scan writes to
// the log last opened by a scanner. While none is open, lines are dropped.
void SetScannerLog(CLogFile* log);
// Forgets the log, unless another one has replaced it meanwhile.
void ReleaseScannerLog(CLogFile* log);
void WriteScannerLog(const std::wstring& text);
}
