#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "base/Folders.h"
#include "tests/shell/ShellTestSupport.h"

namespace
{
// The manifest resource of a built program, without its comments.
std::string ManifestOf(const std::wstring& program)
{
    HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!module)
        return "<cannot load " + Narrow(program) + ">";
    std::string text;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    if (resource)
        text.assign(static_cast<const char*>(LockResource(LoadResource(module, resource))),
                    SizeofResource(module, resource));
    FreeLibrary(module);
    size_t start = 0;
    while ((start = text.find("<!--")) != std::string::npos)
    {
        const size_t end = text.find("-->", start);
        text.erase(start, end == std::string::npos ? std::string::npos : end + 3 - start);
    }
    return text;
}

// What Windows reads from both programs: administrator rights (or Vista and
// later start them unelevated and virtualised) and the versions they were
// made for (or 8.1 and later report themselves as 8).
void ExpectElevatedAndCurrent(const std::wstring& program)
{
    const std::string manifest = ManifestOf(program);
    const char* const expected[] = {
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
        "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
        "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>", // Vista
        "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>", // 7
        "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>", // 8
        "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>", // 8.1
        "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>", // 10 and 11
    };
    for (const char* element : expected)
        EXPECT_NE(manifest.find(element), std::string::npos) << Narrow(program) << " lacks " << element << "\n"
                                                             << manifest;
}
}

TEST(ProgramManifests, BothProgramsAskForAdministratorRightsAndNameTodaysWindows)
{
    const std::wstring builds[] = {GetProgramFolder(), TESSARIN_SHIP_X86_BIN};
    for (const std::wstring& folder : builds)
    {
        if (!PathExists(folder + L"\\Tessarin.exe"))
            continue;
        ExpectElevatedAndCurrent(folder + L"\\Tessarin.exe");
        ExpectElevatedAndCurrent(folder + L"\\updater.exe");
    }
    EXPECT_TRUE(PathExists(GetProgramFolder() + L"\\Tessarin.exe"));
}
