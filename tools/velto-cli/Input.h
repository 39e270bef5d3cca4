#pragma once
// The input of a subcommand: a file, or standard input when the name is "-".
#include <string>

// False with a one-line reason when the input cannot be read whole.
bool ReadInput(const std::wstring& name, std::string& bytes, std::wstring& error);
