#pragma once
// GDI+ for code built with NOMINMAX: its headers use unqualified min and max.
#include <windows.h>
#include <objidl.h>
#include <algorithm>
namespace Gdiplus
{
using std::max;
using std::min;
}
#include <gdiplus.h>
