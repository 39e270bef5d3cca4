#pragma once
// Where the update check asks: the maker's update server. Tests point the program at a server of their own on
// this machine with the registry value "UpdateServer" below the program's key; any other address there is
// ignored, so the value cannot send the program's updates anywhere else.
#include "foundation/base/TextString.h"

#include <windows.h>

constexpr const wchar_t* kUpdateAddress = L"https://198.51.100.20/common/update.php?p=velto";
constexpr const wchar_t* kUpdateServerValue = L"UpdateServer";

// True for http and https addresses whose host is 127.0.0.1 (any 127.x.x.x), localhost or [::1].
bool IsLoopbackAddress(const wchar_t* url);

// The address to ask: the override from the program's key when it names this machine, else kUpdateAddress.
bool ResolveUpdateAddress(HKEY root, const wchar_t* keyPath, C_String& out);
