#pragma once
#include <windows.h>
#include <oleauto.h>
#include <string>

// How the hardware tests read the values WMI hands them.

// The text of a string value. Any other value, a null string included,
// reads as the empty text.
std::wstring VariantText(const VARIANT& value);

// VT_NULL or VT_EMPTY: WMI has no value for the property.
bool HasNoValue(const VARIANT& value);
