#pragma once
// Writing the line store out: the plain-text and HTML exports of the Save command, and the rows a view
// would show. Lines end with CR LF; text is converted to the given code page (the ANSI code page for the
// program's files), characters without a mapping becoming the code page's default character.
#include "terminal/export/ByteSink.h"
#include "terminal/store/LineStore.h"

#include <windows.h>

namespace StoreExport {

// Every line of the store, the last one too even while it is still being received. HTML carries the
// colours as spans and writes characters unescaped: what the device sent is what the file holds.
bool Write(C_LineStore& store, bool asHtml, UINT codePage, C_ByteSink& sink);

// The display rows (or, while a filter is active, the visible segments) one per line, without end
// markers: what the terminal view paints, row by row.
bool WriteVisibleRows(C_LineStore& store, UINT codePage, C_ByteSink& sink);

// Writes the whole store to a new file at path as plain text or HTML in the ANSI code page. 1 when every
// write succeeded.
int WriteFile(C_LineStore& store, const wchar_t* path, bool asHtml);

// The HTML page's colours: the default colours as the store keeps them (15-bit), expanded back.
constexpr Rgb kPageForeground = Colour::Unpack(Colour::Pack(Colour::kDefaultForeground));
constexpr Rgb kPageBackground = Colour::Unpack(Colour::Pack(Colour::kDefaultBackground));

} // namespace StoreExport
