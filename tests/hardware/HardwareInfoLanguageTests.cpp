#include <windows.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "hardware/HardwareInfo.h"
#include "shell/Module.h"
#include "tests/hardware/HardwareTestSupport.h"

class HardwareInfoLanguage : public ResultDocumentTest
{
};

TEST_F(HardwareInfoLanguage, LangIsTheCodeOfTheCurrentLanguage)
{
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring path = std::wstring(temp) + L"tessarin_lang_" + std::to_wstring(GetCurrentProcessId()) + L".xml";
    {
        std::ofstream file(path.c_str(), std::ios::binary | std::ios::trunc);
        file << "<ROOT language=\"Deutsch\" short=\"de\"><STRING Id=\"0\">Test starten</STRING></ROOT>";
    }
    const bool loaded = g_module.GetLanguageManager().LoadLanguageFile(path);
    DeleteFileW(path.c_str());
    ASSERT_TRUE(loaded);

    CHardwareInfo inventory;
    ASSERT_TRUE(inventory.Serialize(root, document));
    CXmlNode section;
    CXmlNode lang;
    ASSERT_TRUE(root.GetChild(L"instaled_hardware", section));
    ASSERT_TRUE(section.GetChild(L"lang", lang));
    EXPECT_EQ(L"de", TextOf(lang));
}
