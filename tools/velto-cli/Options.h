#pragma once
// Option parsing shared by the subcommands. Each subcommand lists its options as a table; options that
// several subcommands share (the store-writing ones) are added to a table by one function, so every
// subcommand spells and checks them the same way.
//
// Accepted forms: --name, --name VALUE, --name=VALUE, -x VALUE; "--" ends the options; "-" alone is an
// argument (standard input).
#include <functional>
#include <string>
#include <vector>

struct OptionRule {
    std::wstring name;      // "--columns" or "-o"
    std::wstring valueName; // empty for a flag, else what the help shows ("N", "FILE")
    std::wstring help;
    // Takes the value (empty for a flag); false with error set when the value is not acceptable.
    std::function<bool(const std::wstring& value, std::wstring& error)> apply;
};

class C_OptionTable {
public:
    void AddFlag(const std::wstring& name, const std::wstring& help, bool& target);
    void AddText(const std::wstring& name, const std::wstring& valueName, const std::wstring& help,
                 std::wstring& target);
    void AddNumber(const std::wstring& name, const std::wstring& valueName, const std::wstring& help, int& target,
                   int minimum, int maximum);
    void Add(OptionRule rule) { m_rules.push_back(std::move(rule)); }

    // Applies the options among the arguments and collects the rest in order. False with a one-line
    // error when an option is unknown, lacks its value or refuses it.
    bool Parse(const std::vector<std::wstring>& arguments, std::vector<std::wstring>& positional,
               std::wstring& error) const;
    // Parse for a subcommand that takes exactly one argument besides its options, named `what` in the errors
    // ("no INPUT given" followed by the hint, "more than one INPUT given: '...'"); an empty argument is none.
    bool ParseWithOne(const std::vector<std::wstring>& arguments, const std::wstring& what,
                      const std::wstring& missingHint, std::wstring& argument, std::wstring& error) const;
    std::wstring Help() const;

private:
    const OptionRule* Find(const std::wstring& name) const;

    std::vector<OptionRule> m_rules;
};

// Decimal number within [minimum, maximum], nothing else.
bool ParseNumber(const std::wstring& text, int minimum, int maximum, int& value);
