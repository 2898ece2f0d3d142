#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace krelt {

// Paths travel through Krelt as UTF-8 strings and become file-system paths
// only where a file is opened. On Windows the conversion goes through UTF-16,
// so every name the system can hold survives; elsewhere the bytes are kept
// as they are, whatever their encoding.
std::filesystem::path PathFromUtf8(std::string_view text);
std::string PathToUtf8(const std::filesystem::path& path);

}  // namespace krelt
