#include "store/pst/ltp/property.h"

namespace store::pst {

std::size_t inlineSizeInPc(std::uint16_t type) {
    switch (type) {
    case ptype::Short: return 2;
    case ptype::Long: case ptype::Float: case ptype::Error: return 4;
    case ptype::Boolean: return 1;
    default: return 0;
    }
}

bool isCellInline(std::uint16_t type) {
    switch (type) {
    case ptype::Short: case ptype::Long: case ptype::Float: case ptype::Error: case ptype::Boolean:
    case ptype::Double: case ptype::Currency: case ptype::AppTime: case ptype::I8: case ptype::SysTime:
        return true;
    default: return false;
    }
}

std::size_t cellSize(std::uint16_t type) {
    switch (type) {
    case ptype::Boolean: return 1;
    case ptype::Short: return 2;
    case ptype::Double: case ptype::Currency: case ptype::AppTime: case ptype::I8: case ptype::SysTime: return 8;
    default: return 4;
    }
}

const Property* findProperty(const PropertyList& list, std::uint32_t tag) {
    for (const Property& p : list)
        if (p.tag == tag) return &p;
    return nullptr;
}

}  // namespace store::pst
