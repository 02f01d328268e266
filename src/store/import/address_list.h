#pragma once
// Address fields (From, To, Cc, Bcc, Sender, Reply-To) as lists of mailboxes. RFC 5322 syntax with the
// obsolete forms read leniently: quoted display names, comments (a comment names an address that has
// no display name), groups (their members are listed, the group name is dropped), source routes, and
// missing or doubled commas, and "user at host" (the word before "at" is the address, as RFC 822
// parsers read it). Encoded words in names are decoded. Nothing fails: what cannot be read as
// an address becomes a name without address or is left out when empty.
#include <string>
#include <string_view>
#include <vector>

#include "store/stop_request.h"

namespace store::import {

struct Mailbox {
    std::u16string name;   // display name, may be empty
    std::u16string address;  // bare address as written (no angle brackets), may be empty
};

// `stop` is polled every few hundred addresses; when it answers true, StopError is thrown.
std::vector<Mailbox> parseAddressList(std::string_view rawValue, const StopRequest& stop = {});

}  // namespace store::import
