#include <string>

#include <gtest/gtest.h>

#include "disk/DefragReport.h"
#include "disk/Utf16Collector.h"

namespace
{
const DefragForm kOlder = DefragForm::XpOrVista;
const DefragForm kSeven = DefragForm::Windows7;
const DefragForm kOptimizer = DefragForm::Windows8OrLater;

// The three report forms as the defragmenter stand-in draws them and Ostrel
// forwards them (blank cell runs became line breaks).
const wchar_t kSevenReport[] =
    L"Windows Disk Defragmenter\r\nCopyright (c) Stand-in Software. All rights reserved.\r\n\r\n"
    L"Invoking analysis on (C:)...\r\n\r\n\tAnalysis: 0% complete...\tAnalysis: 100% complete...\r\n"
    L"The operation completed successfully.\r\n\r\nPost Defragmentation Report:\r\n\r\n\tVolume Information:\r\n"
    L"\t\tVolume size                 = 232.88 GB\r\n\t\tFree space                  = 101.50 GB\r\n"
    L"\t\tTotal fragmented space      = 12.5%\r\n\t\tLargest free space size     = 50.75 GB\r\n\r\n"
    L"\tNote: File fragments larger than 64MB are not included.\r\n";

// The drive optimizer of Windows 8 to 11: it names the drive in parentheses
// before the report.
const wchar_t kOptimizerReport[] =
    L"Microsoft Drive Optimizer\r\nCopyright (c) Stand-in Software.\r\n\r\nInvoking analysis on (C:)...\r\n\r\n"
    L"\tAnalysis:  0% complete.\tAnalysis:  100% complete.\r\n\r\nThe operation completed successfully.\r\n\r\n"
    L"Post Defragmentation Report:\r\n\r\n\r\nVolume Information:\r\n\tVolume size                 = 232.88 GB\r\n"
    L"\tFree space                  = 101.50 GB\r\n\tTotal fragmented space      = 7%\r\n"
    L"\tLargest free space size     = 50.75 GB\r\n\r\n"
    L"Note: File fragments larger than 64MB are not included in the fragmentation statistics.\r\n";

const wchar_t kVistaReport[] =
    L"Windows Disk Defragmenter\r\nCopyright (c) Stand-in Software. All rights reserved.\r\n"
    L"Analyzing: 0%Analyzing: 100%\r\nAnalysis report for volume C:\r\n\r\n"
    L"    Volume size                 = 232.88 GB\r\n    Free space                  = 101.50 GB\r\n"
    L"    Largest free space extent   = 50.75 GB\r\n    Percent file fragmentation  = 7 %\r\n\r\n"
    L"    Note: On NTFS volumes, file fragments larger than 64MB are not included.\r\n";

const wchar_t kXpReport[] =
    L"Windows Disk Defragmenter\r\nCopyright (c) Stand-in Software. All rights reserved.\r\n"
    L"Analyzing: 0%Analyzing: 100%\r\n\r\nAnalysis Report\r\n"
    L"    233 GB Total,  101.50 GB (44%) Free,  4% Fragmented (8% file fragmentation)\r\n\r\n"
    L"You do not need to defragment this volume.\r\n";

double Parsed(const std::wstring& report, DefragForm form, bool expectMatch = true)
{
    double percent = -1;
    EXPECT_EQ(expectMatch, ParseFragmentation(report, form, percent)) << report.c_str();
    return percent;
}
}

TEST(DefragReport, StandInReportsOfEachWindowsVersion)
{
    EXPECT_DOUBLE_EQ(12.5, Parsed(kSevenReport, kSeven));
    EXPECT_DOUBLE_EQ(7, Parsed(kVistaReport, kOlder));
    EXPECT_DOUBLE_EQ(4, Parsed(kXpReport, kOlder));
    // The XP report has no "=" and reads the same on Windows 7.
    EXPECT_DOUBLE_EQ(4, Parsed(kXpReport, kSeven));
}

// The optimizer's report holds five "(" ")" tokens: read by the XP rule its
// figure would be the first progress figure or the volume size. From
// Windows 8 on only its own form counts, in any language (the figures, not
// their labels, are counted).
TEST(DefragReport, DriveOptimizerReportIsReadByItsOwnFormOnly)
{
    EXPECT_DOUBLE_EQ(7, Parsed(kOptimizerReport, kOptimizer));
    EXPECT_DOUBLE_EQ(0.5, Parsed(L"Gr\u00f6\u00dfe = 9 GB\r\nFrei = 4 GB\r\nFragmentiert = 0.5%\r\n", kOptimizer));
    // An error report, or another form, is no result: never the XP or Vista rule.
    Parsed(L"Copyright (c) x.\r\nInvoking analysis on (C:)...\r\nThe volume C: could not be analysed.\r\n", kOptimizer,
           false);
    Parsed(kXpReport, kOptimizer, false);
    Parsed(L"a=b=c=d= 2.5 %", kOptimizer, false);
}

TEST(DefragReport, EachRuleTakesItsTokenAndFallsThroughInOrder)
{
    // Windows 7: the fourth "=" token up to the percent sign.
    EXPECT_DOUBLE_EQ(1, Parsed(L"a = b = c = 1% d", kSeven));
    // Too few "=" tokens on 7: the "(" ")" rule, from the first to the last
    // digit of the fifth token (empty tokens count).
    EXPECT_DOUBLE_EQ(9, Parsed(L"x = y (c) 10 GB (50%) Free,  9% Fragmented (18%)", kSeven));
    EXPECT_DOUBLE_EQ(7, Parsed(L"a(b)c(d) word, 7% word", kOlder));
    EXPECT_DOUBLE_EQ(3, Parsed(L"(()) 3% x", kOlder));
    // Vista: the fifth "=" token.
    EXPECT_DOUBLE_EQ(2.5, Parsed(L"a=b=c=d= 2.5 %", kOlder));
}

TEST(DefragReport, TextWithoutAFigureIsNoResult)
{
    Parsed(L"", kSeven, false);
    Parsed(L"a = b = c (d)", kSeven, false);
    Parsed(L"a = b = c = d", kOlder, false);
    Parsed(L"Invalid parameter. Usage: defrag <volume> -a\r\n", kOlder, false);
    Parsed(L"a=b=c= n/a %", kSeven, false);
    // A Windows 7 error message: the volume in parentheses makes enough
    // tokens for the XP rule, but there is no figure.
    Parsed(L"Copyright (c) Stand-in.\r\nInvoking analysis on (C:)...\r\nThe volume C: could not be analysed.\r\n",
           kSeven, false);
}

// Replays of the hostile-input campaign: a figure outside 0..100 would give
// the disk a negative score term or one above its maximum.
TEST(DefragReport, FiguresOutsideZeroToHundredAreNoResult)
{
    Parsed(L"a = b = c = 250% d", kSeven, false);
    Parsed(L"a = b = c = -1% d", kSeven, false);
    Parsed(L"a=b=c=d= 1e308 %", kOlder, false);
    Parsed(L"(()) 65535% x", kOlder, false);
    EXPECT_DOUBLE_EQ(0, Parsed(L"a = b = c = 0% d", kSeven));
    EXPECT_DOUBLE_EQ(100, Parsed(L"a = b = c = 100% d", kSeven));
}

TEST(DefragReport, ProgressReadsUpToThreeCharactersBeforeTheLastPercentSign)
{
    EXPECT_EQ(-1, ParseProgress(L"Invoking analysis on (C:)..."));
    // One digit after ": " does not start the three characters with a digit.
    EXPECT_EQ(0, ParseProgress(L"Analysis: 5% complete..."));
    EXPECT_EQ(45, ParseProgress(L"Analysis: 45% complete..."));
    EXPECT_EQ(100, ParseProgress(L"Analysis: 100% complete..."));
    EXPECT_EQ(7, ParseProgress(L"7%"));
    EXPECT_EQ(60, ParseProgress(L"Analysis: 40% complete...Analysis: 60% complete..."));
    // A figure no progress bar can show.
    EXPECT_EQ(-1, ParseProgress(L"Analysis: 999% complete..."));
    EXPECT_EQ(-1, ParseProgress(L"Analysis: -5% complete..."));
}

TEST(Utf16Collector, UnitSplitAcrossPiecesIsCompletedNotCorrupted)
{
    std::wstring text = L"\u00e4\u20ac abc \u00fc";
    std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);

    CUtf16Collector odd;
    odd.Append(bytes.data(), 1);
    odd.Append(bytes.data() + 1, 3);
    odd.Append(bytes.data() + 4, bytes.size() - 4);
    EXPECT_EQ(text, odd.Text());

    CUtf16Collector byteByByte;
    for (char byte : bytes)
        byteByByte.Append(&byte, 1);
    EXPECT_EQ(text, byteByByte.Text());

    // A dangling first byte is held back, not shown.
    CUtf16Collector pending;
    pending.Append(bytes.data(), 3);
    EXPECT_EQ(std::wstring(L"\u00e4"), pending.Text());
}
