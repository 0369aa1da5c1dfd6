#pragma once
#include <windows.h>

#include <string>

// Whole files for the tests, benchmarks and the campaign, read and written
// in one piece.

// False when the file cannot be opened or read; bytes then holds nothing.
// The file may be open for writing elsewhere (a program log).
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// The content, or empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
// The content as UTF-16 text (an odd last byte is dropped).
std::wstring ReadFileText(const std::wstring& path);

// Replaces the file; a hidden or read-only one too (CREATE_ALWAYS refuses a
// hidden file whose new attributes do not say hidden). True when every byte
// was written.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes, DWORD attributes = FILE_ATTRIBUTE_NORMAL);

// A text of ASCII characters for a test message or a path for the C library.
std::string Narrow(const std::wstring& text);
