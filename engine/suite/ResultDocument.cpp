#include "engine/suite/ResultDocument.h"

#include "engine/suite/Tester.h"
#include "engine/XmlDocument.h"
#include "engine/XmlWriting.h"
#include "base/Folders.h"
#include "base/StringFormat.h"

bool BuildResultDocument(CTester& tester, CXmlDocument& document)
{
    if (!document.Create())
        return false;
    document.CreateProcessingInstruction(L"xml", L"version=\"1.0\" encoding=\"UTF-8\"");

    CXmlNode root;
    if (!document.CreateElement(root, L"tessarin") || !document.AppendChild(root))
        return false;

    int total = tester.CalcTotalScore();
    // Shown and sent as a whole number, truncated: 87.99 is "87".
    int percentage = static_cast<int>(tester.GetPercentage());
    int maximum = tester.CalcMaxScore();
    AppendTextElement(document, root, L"total_scores", FormatText(L"%d", total));
    AppendTextElement(document, root, L"percentage", FormatText(L"%d", percentage));
    AppendTextElement(document, root, L"max_scores", FormatText(L"%d", maximum));

    tester.Serialize(root, document);
    return true;
}

bool BuildAndSendResult(CTester& tester, const ResultUpload& upload)
{
    CXmlDocument document;
    if (!BuildResultDocument(tester, document))
        return false;
    std::wstring text;
    if (document.GetXml(text))
        PostResults(upload, text);
    return document.Save(GetResultFilePath());
}

std::wstring GetResultFilePath()
{
    return GetCurrentFolder() + L"\\result.xml";
}
