#pragma once
// The text work of the socket transports, kept apart from the sockets so it can be tested on its own: splitting
// an endpoint text into host and port, skipping Telnet negotiation at the front of a received block, and
// rendering a log4j XML event as one line.
#include "foundation/base/TextString.h"

#include <cstdint>

// Splits target ("tcp://host:port"; a text without "://" is read as if it began with "http://") with the
// system's URL splitter. Fills host and port; a port the text does not give becomes defaultPort, and an IPv6
// literal loses its brackets. When the splitter refuses the text, host is left empty (connecting to it then
// fails) and the result is still true. False only when the splitter itself cannot be loaded.
bool CrackUrl(const wchar_t* target, uint16_t defaultPort, C_String& host, uint16_t& port);

namespace Telnet {
constexpr uint8_t kIac = 255;
constexpr uint8_t kWill = 251;
constexpr uint8_t kWont = 252;
constexpr uint8_t kDo = 253;
constexpr uint8_t kDont = 254;
constexpr uint32_t kCommandLength = 3; // IAC, verb, option
} // namespace Telnet

// The offset of the first byte after the option negotiations (IAC WILL/WONT/DO/DONT option) that open block.
// The terminal never answers them; negotiation later in a block, or of any other form, is data.
uint32_t SkipTelnetNegotiation(const uint8_t* block, uint32_t length);

// Renders a log4j XML event as "level|logger|message" followed by CR LF; parts that are empty are left out with
// their separator. The message is taken verbatim (markup and character references inside it stay as they are).
// False, with line unchanged, when text lacks the level, the logger or a message element.
bool RenderLog4jEvent(const C_String& text, C_String& line);
