#include "Options.h"

void C_OptionTable::AddFlag(const std::wstring& name, const std::wstring& help, bool& target) {
    Add({name, L"", help, [&target](const std::wstring&, std::wstring&) {
             target = true;
             return true;
         }});
}

void C_OptionTable::AddText(const std::wstring& name, const std::wstring& valueName, const std::wstring& help,
                            std::wstring& target) {
    Add({name, valueName, help, [&target](const std::wstring& value, std::wstring&) {
             target = value;
             return true;
         }});
}

void C_OptionTable::AddNumber(const std::wstring& name, const std::wstring& valueName, const std::wstring& help,
                              int& target, int minimum, int maximum) {
    Add({name, valueName, help, [=, &target](const std::wstring& value, std::wstring& error) {
             if (ParseNumber(value, minimum, maximum, target))
                 return true;
             error = name + L" needs a number from " + std::to_wstring(minimum) + L" to " + std::to_wstring(maximum) +
                     L", not '" + value + L"'";
             return false;
         }});
}

const OptionRule* C_OptionTable::Find(const std::wstring& name) const {
    for (const OptionRule& rule : m_rules)
        if (rule.name == name)
            return &rule;
    return nullptr;
}

bool C_OptionTable::ParseWithOne(const std::vector<std::wstring>& arguments, const std::wstring& what,
                                 const std::wstring& missingHint, std::wstring& argument, std::wstring& error) const {
    std::vector<std::wstring> positional;
    if (!Parse(arguments, positional, error))
        return false;
    if (positional.size() > 1) {
        error = L"more than one " + what + L" given: '" + positional[1] + L"'";
        return false;
    }
    if (positional.empty() || positional[0].empty()) {
        error = L"no " + what + L" given" + missingHint;
        return false;
    }
    argument = positional[0];
    return true;
}

bool C_OptionTable::Parse(const std::vector<std::wstring>& arguments, std::vector<std::wstring>& positional,
                          std::wstring& error) const {
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::wstring& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != L'-') {
            positional.push_back(argument);
            continue;
        }
        if (argument == L"--") {
            optionsEnded = true;
            continue;
        }
        size_t equals = argument.compare(0, 2, L"--") == 0 ? argument.find(L'=') : std::wstring::npos;
        std::wstring name = argument.substr(0, equals);
        const OptionRule* rule = Find(name);
        if (!rule) {
            error = L"unknown option " + name;
            return false;
        }
        std::wstring value;
        if (rule->valueName.empty()) {
            if (equals != std::wstring::npos) {
                error = name + L" takes no value";
                return false;
            }
        } else if (equals != std::wstring::npos) {
            value = argument.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            error = name + L" needs a value (" + rule->valueName + L")";
            return false;
        }
        if (!rule->apply(value, error))
            return false;
    }
    return true;
}

std::wstring C_OptionTable::Help() const {
    std::wstring text;
    for (const OptionRule& rule : m_rules) {
        std::wstring form = L"  " + rule.name + (rule.valueName.empty() ? L"" : L" " + rule.valueName);
        if (form.size() < 26)
            form.resize(26, L' ');
        else
            form += L"  ";
        text += form + rule.help + L"\r\n";
    }
    return text;
}

bool ParseNumber(const std::wstring& text, int minimum, int maximum, int& value) {
    if (text.empty() || text.size() > 9)
        return false;
    int number = 0;
    for (wchar_t ch : text) {
        if (ch < L'0' || ch > L'9')
            return false;
        number = number * 10 + (ch - L'0');
    }
    if (number < minimum || number > maximum)
        return false;
    value = number;
    return true;
}
