#pragma once
#include <array>
#include <string>

using Md5Digest = std::array<unsigned char, 16>;

// MD5 of the text's UTF-16LE code units (two bytes per character, no
// terminator), computed by the MD5 functions of "cryptdll.dll". Sixteen zero
// bytes when that library cannot be loaded.
Md5Digest Md5OfText(const std::wstring& text);
