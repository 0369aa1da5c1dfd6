#pragma once
#include <windows.h>

// Colours and face of the skin: white "Segoe UI" text on the dark body, the
// accent for buttons and links.
namespace Cxx::GUI::Controls
{
const COLORREF kTextColour = RGB(0xFF, 0xFF, 0xFF);
const COLORREF kDimTextColour = RGB(0xA9, 0xB4, 0xC2);
const COLORREF kAccentColour = RGB(0x2F, 0xB6, 0xA3);
const COLORREF kAccentHoverColour = RGB(0x45, 0xCF, 0xBB);
const COLORREF kAccentPressedColour = RGB(0x23, 0x8A, 0x7C);
const COLORREF kBodyColour = RGB(0x14, 0x1B, 0x26);
const wchar_t kFace[] = L"Segoe UI";
}
