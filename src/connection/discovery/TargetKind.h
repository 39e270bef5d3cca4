#pragma once
// What a target text names, by its prefix: the one rule that picks the transport for an open and a probe and
// the button image of a target given on the command line.
enum class TargetKind { Pipe, Tcp, Udp, Serial };

constexpr const wchar_t* kPipePrefix = L"\\\\.\\pipe\\";
constexpr const wchar_t* kTcpPrefix = L"tcp://";
constexpr const wchar_t* kUdpPrefix = L"udp://";

// Prefixes are tested in the order above, ignoring case, at the start of the text only; anything else (a port
// name, a device path, a missing text) is a serial port.
TargetKind TargetKindOf(const wchar_t* target);
