#include "store/pst/ndb/crc.h"

#include <isa-l/crc.h>

namespace store::pst {

// ISA-L's CRC is the gzip one, which inverts the register before and after: inverting the seed and
// the result leaves the plain register.
std::uint32_t computeCrc(std::string_view bytes, std::uint32_t seed) {
    return ~crc32_gzip_refl(~seed, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

}  // namespace store::pst
