#pragma once
// The text of a --send option: ordinary characters and the escapes \r, \n, \t, \\ and \xHH (one byte of the
// ANSI code page, as the device receives it).
#include <string>

// False with a one-line reason for an unknown or cut-off escape and for a zero byte, which cannot be sent.
bool DecodeSendText(const std::wstring& argument, std::wstring& text, std::wstring& error);
