#include "net/HardwareId.h"

#include <windows.h>

namespace
{
const wchar_t kSeparator[] = L"#&";
const wchar_t kHexDigits[] = L"0123456789abcdef";

// Stands for the first instance of a class that has none: every read keeps
// the variable's value.
class CMissingObject : public IHardwareObject
{
public:
    void ReadText(const wchar_t*, std::wstring&) override {}
};

bool ReadFirstInstance(IHardwareSource& source, const wchar_t* className,
                       const std::function<void(IHardwareObject&)>& read)
{
    bool found = false;
    if (!source.ForEach(className, [&](IHardwareObject& object) {
            read(object);
            found = true;
            return false;
        }))
        return false;
    if (!found)
    {
        CMissingObject missing;
        read(missing);
    }
    return true;
}

std::wstring UpperCase(std::wstring text)
{
    if (!text.empty())
        CharUpperBuffW(&text[0], static_cast<DWORD>(text.size()));
    return text;
}

void XorInto(Md5Digest& target, const Md5Digest& digest)
{
    for (size_t i = 0; i < target.size(); ++i)
        target[i] ^= digest[i];
}
}

// The two text variables run through all components on purpose: a property
// that cannot be read leaves the previous component's text in its place.
// Identifiers already issued depend on exactly this sequence.
bool ComputeHardwareId(IHardwareSource& source, Md5Digest& id)
{
    std::wstring acc;
    std::wstring val;
    Md5Digest result{};

    bool read = ReadFirstInstance(source, L"Win32_BIOS", [&](IHardwareObject& bios) {
        bios.ReadText(L"Caption", acc);
        bios.ReadText(L"IdentificationCode", val);
        acc += kSeparator + val;
        bios.ReadText(L"Version", val);
        acc += kSeparator + val;
    });
    if (!read)
        return false;
    XorInto(result, Md5OfText(acc));

    read = ReadFirstInstance(source, L"Win32_Processor", [&](IHardwareObject& processor) {
               processor.ReadText(L"Name", acc);
           })
        && ReadFirstInstance(source, L"Win32_ComputerSystem", [&](IHardwareObject& system) {
               system.ReadText(L"Manufacturer", val);
               acc += kSeparator + val;
               system.ReadText(L"Model", val);
               acc += kSeparator + val;
           });
    if (!read)
        return false;
    XorInto(result, Md5OfText(acc));

    read = ReadFirstInstance(source, L"Win32_BaseBoard", [&](IHardwareObject& board) {
        board.ReadText(L"Manufacturer", val);
        acc = kSeparator + val;
        board.ReadText(L"Product", val);
        acc += kSeparator + val;
    });
    if (!read)
        return false;
    XorInto(result, Md5OfText(acc));

    read = source.ForEach(L"Win32_DiskDrive", [&](IHardwareObject& disk) {
        val.clear();
        disk.ReadText(L"MediaType", val);
        val = UpperCase(val);
        if (val.find(L"FIXED") != std::wstring::npos)
        {
            disk.ReadText(L"Caption", val);
            XorInto(result, Md5OfText(val));
        }
        return true;
    });
    if (!read)
        return false;

    read = source.ForEach(L"Win32_NetworkAdapter", [&](IHardwareObject& adapter) {
        adapter.ReadText(L"AdapterType", val);
        val = UpperCase(val);
        if (val.find(L"ETHERNET") == std::wstring::npos)
            return true;
        adapter.ReadText(L"PNPDeviceID", val);
        val = UpperCase(val);
        if (val.compare(0, 4, L"PCI\\") != 0)
            return true;
        adapter.ReadText(L"ProductName", acc);
        adapter.ReadText(L"MACAddress", val);
        acc += kSeparator + val;
        adapter.ReadText(L"Manufacturer", val);
        acc += kSeparator + val;
        XorInto(result, Md5OfText(acc));
        return true;
    });
    if (!read)
        return false;

    id = result;
    return true;
}

std::wstring FormatMachineId(const Md5Digest& id)
{
    std::wstring text;
    for (size_t i = 0; i < id.size(); ++i)
    {
        if (i > 0 && i % 4 == 0)
            text += L'-';
        text += kHexDigits[id[i] >> 4];
        text += kHexDigits[id[i] & 0x0F];
    }
    return text;
}
