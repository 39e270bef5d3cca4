#include "terminal/receive/GraphicRendition.h"

#include "terminal/receive/Palette.h"

namespace {

enum : uint32_t {
    kReset = 0,
    kBold = 1,
    kFaint = 2,
    kInverse = 7,
    kExtendedForeground = 38,
    kExtendedBackground = 48,
    kDirectColour = 2, // 38;2;r;g;b
};

// Walks the ';'-separated pieces. A piece counts as a number when it starts with a digit; the walk ends at
// the first piece that does not, an empty one included.
class C_PieceReader {
public:
    explicit C_PieceReader(const C_ParameterText& text) : m_text(text) {}

    bool Next(uint32_t& value) {
        if (m_done)
            return false;
        if (!m_text.ReadNumber(m_position, value)) {
            m_done = true;
            return false;
        }
        while (m_position < m_text.Length() && m_text.Data()[m_position] != ';')
            ++m_position;
        if (m_position < m_text.Length())
            ++m_position; // past the ';'
        else
            m_last = true;
        return true;
    }
    // After the last piece nothing more is read, even though the text ends in a number.
    bool HasMore() const { return !m_done && !m_last; }

private:
    const C_ParameterText& m_text;
    uint32_t m_position = 0;
    bool m_done = false;
    bool m_last = false;
};

bool ReadDirectColour(C_PieceReader& pieces, Rgb& colour) {
    uint32_t kind;
    uint32_t red;
    uint32_t green;
    uint32_t blue;
    if (!pieces.HasMore() || !pieces.Next(kind) || kind != kDirectColour || !pieces.HasMore() || !pieces.Next(red) ||
        !pieces.HasMore() || !pieces.Next(green) || !pieces.HasMore() || !pieces.Next(blue))
        return false;
    colour = (red & 0xFF) << 16 | (green & 0xFF) << 8 | (blue & 0xFF);
    return true;
}

} // namespace

void GraphicRendition::Parse(const C_ParameterText& parameters, Rgb& foreground, Rgb& background) {
    foreground = Colour::kDefaultForeground;
    background = Colour::kDefaultBackground;
    bool bright = false;
    C_PieceReader pieces(parameters);
    uint32_t code;
    while (pieces.Next(code)) {
        if (code == kReset) {
            bright = false;
        } else if (code == kBold) {
            foreground = kBoldForeground;
            bright = true;
        } else if (code == kFaint) {
            foreground = kFaintForeground;
            bright = false;
        } else if (code == kInverse) {
            Rgb swap = foreground;
            foreground = background;
            background = swap;
        } else if (code >= 30 && code <= 37) {
            foreground = PaletteColour(code, bright);
        } else if (code >= 40 && code <= 47) {
            background = PaletteColour(code, bright);
        } else if (code == kExtendedForeground || code == kExtendedBackground) {
            if (!ReadDirectColour(pieces, code == kExtendedForeground ? foreground : background))
                break;
        }
        if (!pieces.HasMore())
            break;
    }
}
