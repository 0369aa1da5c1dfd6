#pragma once
#include <string>

namespace Utils { namespace Network {

// One form field, ready for a request body as "name=value" bytes.
class IParameter
{
public:
    virtual ~IParameter() = default;
    // The field's bytes and their count; null (and 0) when it holds none.
    virtual const char* GetData(size_t& length) const = 0;
};

// "name=value", both as UTF-8 and percent-encoded as a form body needs
// (otherwise an "&", "=", "+" or "%" in a value would split or change the
// field on the server's side). Holds nothing when a text does not convert.
class CSimpleTextParameter : public IParameter
{
public:
    CSimpleTextParameter(const std::wstring& name, const std::wstring& value);
    const char* GetData(size_t& length) const override;

protected:
    CSimpleTextParameter() = default;
    std::string m_data;
};

// "name=" followed by the Base64 text (RFC 4648, "=" padding, no line
// breaks) of the value's UTF-8 bytes, percent-encoded like any field.
class CBase64ValueParamenter : public CSimpleTextParameter
{
public:
    CBase64ValueParamenter(const std::wstring& name, const std::wstring& value);
};

class IParametersSet
{
public:
    virtual ~IParametersSet() = default;
    // Appends "&" when the set is not empty, then the parameter's bytes if it
    // has any; true when bytes were appended.
    virtual bool Add(const IParameter& parameter) = 0;
    virtual void Clear() = 0;
    virtual const char* GetData(size_t& length) const = 0;
};

// The body of a form request: the fields joined by "&".
class CSimplePostParametersSet : public IParametersSet
{
public:
    bool Add(const IParameter& parameter) override;
    void Clear() override { m_data.clear(); }
    const char* GetData(size_t& length) const override;

private:
    std::string m_data;
};

// UTF-8 of the text; false when it does not convert. An empty text is an
// empty result.
bool ToUtf8(const std::wstring& text, std::string& utf8);
// RFC 4648 Base64 with "=" padding and no line breaks.
std::string EncodeBase64(const std::string& bytes);
// Every byte but the unreserved ones (letters, digits, "-", ".", "_", "~")
// as "%XX".
std::string PercentEncode(const std::string& bytes);

}} // namespace Utils::Network
