#pragma once

#include <span>
#include <string>
#include <string_view>

namespace krelt::win32 {

// The model's file filters as the common file dialog takes them: for each,
// its text and the patterns in its parentheses ("PCX File   (*.PCX)"
// lists *.PCX; one without parentheses lists every file; patterns apart by
// spaces are listed apart by semicolons), each ended by a NUL, the whole
// ended by another.
std::wstring FilterPairs(std::span<const std::string_view> filters);

}  // namespace krelt::win32
