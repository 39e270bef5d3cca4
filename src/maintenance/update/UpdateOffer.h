#pragma once
// What the update check takes from the server's answer, shared by the check and its file steps.
#include "foundation/base/TextString.h"
#include "maintenance/update/AutoUpdate.h"
#include "platform/formats/XmlDocument.h"

#include <cstdint>
#include <string>

namespace Update {

struct Version {
    unsigned major = 0;
    unsigned minor = 0;
};

// "major.minor"; false unless both numbers are there.
bool ParseVersion(const wchar_t* text, Version& out);
// Numbers, not texts: 1.5 is older than 1.37.
bool IsNewer(const Version& offered, const Version& running);

bool IsHttps(const wchar_t* url);
// The folder part of a path, without the last separator; empty when there is none.
std::wstring FolderOf(const wchar_t* path);

// Cuts a text from the network to what a message box can show with its buttons still on the screen: at most
// maxCharacters and maxLines, an ellipsis marking the cut.
void CutToQuestion(C_String& text, uint32_t maxCharacters, uint32_t maxLines);

} // namespace Update

struct C_AutoUpdate::Offer {
    C_XmlDocument document;
    C_XmlNode inventory;
    const C_XmlNode* base = nullptr; // the inventory node in the inventory form, else the root
    Update::Version running;
    Update::Version version;
    C_String versionText;  // as offered, for the declined value and the new program's check
    C_String declinedName; // the settings value of the declined version; empty without a value name
};
