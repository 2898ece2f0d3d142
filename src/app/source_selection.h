#pragma once

#include <string_view>

namespace krelt {

// Whether a dropped file looks like a picture Krelt reads: the three bytes
// after the first dot of its file name spell PCX, XSP or BMP in any letter
// case. Bytes after those three are not looked at, so "a.pcxz" passes; a
// name without a dot, or with fewer than three bytes after it, fails. Both
// '/' and '\\' end a folder name, so a dot in a folder never counts.
bool HasAcceptedExtension(std::string_view path);

}  // namespace krelt
