// The persisted options, one row each: adding an option is a member in Options.h and a row here. Reading, writing,
// writing what changed and the round-trip test all follow from this table.
#include "foundation/settings/Options.h"

#include <limits>
#include <type_traits>
#include <utility>

namespace {

template <auto Member> uint64_t Get(const C_PersistedOptions& options) {
    return uint64_t(options.*Member);
}

// The member's own width: a stored number wider than it keeps its low bits, as a cast would.
template <auto Member> void Set(C_PersistedOptions& options, uint64_t value) {
    using Type = std::remove_reference_t<decltype(options.*Member)>;
    if constexpr (std::is_same_v<Type, bool>)
        options.*Member = value != 0;
    else if constexpr (std::is_enum_v<Type>)
        options.*Member = Type(std::underlying_type_t<Type>(value));
    else
        options.*Member = Type(value);
}

template <auto Member> constexpr uint64_t Largest() {
    using Type = std::remove_reference_t<decltype(std::declval<C_PersistedOptions&>().*Member)>;
    if constexpr (std::is_same_v<Type, bool>)
        return 1;
    else
        return std::numeric_limits<Type>::max();
}

using OptionRows::Kind;
using OptionRows::Row;
using P = C_PersistedOptions;

template <auto Member> constexpr Row Number(const wchar_t* name, uint64_t defaultValue) {
    return {name, Kind::Number, Get<Member>, Set<Member>, nullptr, defaultValue, 0, Largest<Member>(), nullptr};
}

template <auto Member> constexpr Row Bounded(const wchar_t* name, uint64_t defaultValue, uint64_t low, uint64_t high) {
    return {name, Kind::Number, Get<Member>, Set<Member>, nullptr, defaultValue, low, high, nullptr};
}

template <auto Member> constexpr Row Choice(const wchar_t* name, uint64_t defaultValue, uint64_t count) {
    return {name, Kind::Choice, Get<Member>, Set<Member>, nullptr, defaultValue, 0, count, nullptr};
}

constexpr Row Text(const wchar_t* name, C_String P::*member, const wchar_t* defaultText, uint32_t limit = 0) {
    return {name, Kind::Text, nullptr, nullptr, member, 0, 0, limit, defaultText};
}

const Row kRows[] = {
    {SettingName::Flags, Kind::Bits, Get<&P::flags>, Set<&P::flags>, nullptr, P::kDefaultFlags, 0, kStoredFlagsMask,
     nullptr},
    Number<&P::fontSize>(SettingName::FontSize, P::kDefaultFontSize),
    Number<&P::baudRate>(SettingName::BaudRate, P::kDefaultBaudRate),
    Number<&P::charSendDelay>(SettingName::CharSendDelay, P::kDefaultCharSendDelay),
    Number<&P::parity>(SettingName::Parity, P::kDefaultParity),
    Number<&P::stopBits>(SettingName::StopBits, P::kDefaultStopBits),
    Number<&P::dataBits>(SettingName::DataBits, P::kDefaultDataBits),
    Number<&P::flowControl>(SettingName::FlowControl, P::kDefaultFlowControl),
    Text(SettingName::FontName, &P::fontName, nullptr),
    Text(SettingName::SerialPort, &P::serialPort, L""),
    Text(SettingName::Filter, &P::filter, L"", P::kFilterLimit),
    Text(SettingName::TimeFormat, &P::timeFormat, L""),
    Text(SettingName::PowerLine, &P::powerLine, P::kDefaultPowerLine),
    Text(SettingName::AnimationChars, &P::animationChars, P::kDefaultAnimationChars),
    Number<&P::plotSpan>(SettingName::PlotSpan, P::kDefaultPlotSpanSeconds),
    Choice<&P::enterSends>(SettingName::EnterSends, uint64_t(EnterSends::Cr), kEnterSendsCount),
    Number<&P::lineDelay>(SettingName::LineDelay, P::kDefaultLineDelay),
    Number<&P::sendHex>(SettingName::SendHex, 0),
    // A 32-bit process has no room for a larger journal beside the line stores.
    Bounded<&P::hexJournalSize>(SettingName::HexJournalSize, P::kDefaultHexJournalSize, P::kSmallestHexJournalSize,
                                P::kLargestHexJournalSize),
    Bounded<&P::scrollBack>(SettingName::ScrollBack, P::kDefaultScrollBack, P::kSmallestScrollBack,
                            P::kLargestScrollBack),
    Number<&P::reopenPorts>(SettingName::ReopenPorts, 1),
};

} // namespace

const Row* OptionRows::Rows::begin() const {
    return kRows;
}

const Row* OptionRows::Rows::end() const {
    return kRows + Count();
}

size_t OptionRows::Count() {
    return sizeof kRows / sizeof kRows[0];
}
