#pragma once

#include <string>
#include <string_view>

namespace krelt {

// Text for a message shown to the user: printable ASCII and well-formed
// UTF-8 stay as they are; control characters, invisible format characters
// (such as a byte-order mark) and bytes that are not UTF-8 become \xHH, one
// per byte.
std::string EscapeUnprintable(std::string_view text);

}  // namespace krelt
