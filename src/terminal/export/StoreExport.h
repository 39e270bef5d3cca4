#pragma once
// Writing the line store out: the plain-text and HTML exports of the Save command, and the rows a view
// would show. Lines end with CR LF; text is converted to the given code page, characters without a mapping
// becoming the code page's default character (none lack one in UTF-8).
#include "terminal/export/ByteSink.h"
#include "terminal/export/TextEncoding.h"
#include "terminal/store/LineStore.h"

#include <windows.h>

namespace StoreExport {

// Every line of the store, the last one too even while it is still being received. HTML carries the
// colours as spans; its text is ASCII, with markup characters as entities and every other character outside
// printable ASCII as a numeric reference, so no character is lost whatever the code page.
bool Write(C_LineStore& store, bool asHtml, UINT codePage, C_ByteSink& sink);

// The display rows (or, while a filter is active, the visible segments) one per line, without end
// markers: what the terminal view paints, row by row.
bool WriteVisibleRows(C_LineStore& store, UINT codePage, C_ByteSink& sink);

// Writes the whole store to a new file at path as plain text in the encoding (UTF-8 behind a byte-order
// mark, or the ANSI code page) or as HTML. 1 when every write succeeded.
int WriteFile(C_LineStore& store, const wchar_t* path, bool asHtml,
              TextFileEncoding encoding = TextFileEncoding::AnsiCodePage);

// The HTML page's colours: the default colours as the store keeps them (15-bit), expanded back.
constexpr Rgb kPageForeground = Colour::Unpack(Colour::Pack(Colour::kDefaultForeground));
constexpr Rgb kPageBackground = Colour::Unpack(Colour::Pack(Colour::kDefaultBackground));

} // namespace StoreExport
