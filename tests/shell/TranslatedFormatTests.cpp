#include <gtest/gtest.h>

#include "shell/TranslatedFormat.h"
#include "testbed/support/FileBytes.h"

namespace
{
TEST(FormatConversions, TranslationMustReadWhatTheEnglishTextReads)
{
    struct Case
    {
        const wchar_t* text;
        const wchar_t* reference;
        bool fits;
    };
    const Case cases[] = {
        {L"\u00e0 %d%% de", L"at %d%% of", true},
        {L"%d%%", L"at %d%% of", true},
        {L"%d", L"at %d%% of", true},              // any number of "%%"
        {L"%%%%%d%%%%", L"%d", true},
        {L"Ihr PC leistet %.d%% seines Potenzials", L"Your PC is performing at %.d%% of its potential", true},
        {L"", L"", true},
        {L"at %s of", L"at %d%% of", false},
        {L"%s%s%s%s%s%s%s%s", L"at %d%% of", false},
        {L"%d von %d%%", L"at %d%% of", false},     // one more
        {L"ohne Zahl", L"at %d%% of", false},       // one less
        {L"%%d", L"%d", false},                     // a percent sign and a d
        {L"at %i%% of", L"at %d%% of", false},      // another conversion
        {L"at %ld%% of", L"at %d%% of", false},
        {L"at %2000000000d%% of", L"at %d%% of", false},
        {L"at %*d%% of", L"at %d%% of", false},
        {L"at %d%% of", L"%.d%%", false},
        {L"%d%n", L"%d", false},
        {L"100 %", L"", false},                     // a percent sign at the end
        {L"%d %", L"%d", false},
    };
    for (const Case& test : cases)
        EXPECT_EQ(HasConversionsOf(test.text, test.reference), test.fits)
            << Narrow(test.text) << " against " << Narrow(test.reference);
}
}
