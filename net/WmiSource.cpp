#include "net/WmiSource.h"

#include <string>

namespace
{
const wchar_t kLogTag[] = L"MACHINE ID: ";

class CWmiObject : public IHardwareObject
{
public:
    explicit CWmiObject(IWbemClassObject& object) : m_object(object) {}

    void ReadText(const wchar_t* property, std::wstring& value) override
    {
        // Missing, null and non-text properties alike leave value alone.
        CVariant read;
        GetWmiProperty(m_object, property, read);
        if (read.Get().vt == VT_BSTR)
            value = BstrToString(read.Get().bstrVal);
    }

private:
    IWbemClassObject& m_object;
};
}

bool CWmiSource::Connect()
{
    const std::wstring tag = kLogTag;
    return m_connection.Connect(WmiConnectTexts{tag + L"failed to create IWbemLocator",
                                                tag + L"failed connect to server",
                                                tag + L"failed to set proxy blanket"});
}

bool CWmiSource::ForEach(const wchar_t* className, const std::function<bool(IHardwareObject&)>& visit)
{
    const std::wstring query = std::wstring(L"SELECT * FROM ") + className;
    // The connection hands over every object; those after the visitor has
    // had enough are passed over.
    bool wanted = true;
    return m_connection.ForEachObject(query, kLogTag + (L"failed to execute query [" + query + L"]"),
                                      [&](IWbemClassObject& object) {
                                          if (!wanted)
                                              return;
                                          CWmiObject reader(object);
                                          wanted = visit(reader);
                                      });
}
