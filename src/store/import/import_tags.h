#pragma once
// Properties the import sets beyond those of store/mapi/property_tags.h.
#include "store/mapi/property_types.h"

namespace store::import {

// The Content-Disposition type of the MIME part an attachment came from ("inline", "attachment").
inline constexpr mapi::PropTag PidTagAttachDisposition{0x3716001F};
inline constexpr mapi::PropTag PidTagReplyRecipientNames{0x0050001F};
inline constexpr mapi::PropTag PidTagReplyRecipientEntries{0x004F0102};

}  // namespace store::import
