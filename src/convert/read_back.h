#pragma once

#include <string>

#include "common/status.h"
#include "convert/conversion.h"
#include "convert/conversion_pictures.h"
#include "gd/gd_extract.h"
#include "gd/gd_reader.h"
#include "gd/gd_verify.h"

namespace krelt {

// Checks a GD source file as VerifyGdSource does and that its records are,
// one for one and byte for byte, the pictures of `pictures`.
Status VerifyGdSourceAgainst(const GdSource& source, ConversionPictures& pictures,
                             const std::string& pictureName,
                             const VerifiedRecordVisitor& visit = nullptr);

// How the GD file a conversion wrote decodes back: in its byte order, and
// OSD_256 indices in the picture's palette widened to 8 bits.
ExtractOptions ConversionExtractOptions(const ConversionResult& result);

}  // namespace krelt
