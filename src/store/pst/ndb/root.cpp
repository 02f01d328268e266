#include "store/pst/ndb/root.h"

#include "store/pst/ndb/bytes.h"

namespace store::pst {

void Root::encode(std::string& out) const {
    putU32(out, 0);
    putU64(out, fileEof);
    putU64(out, amapLast);
    putU64(out, amapFree);
    putU64(out, pmapFree);
    putU64(out, nodeBTree.bid.value());
    putU64(out, nodeBTree.ib);
    putU64(out, blockBTree.bid.value());
    putU64(out, blockBTree.ib);
    put8(out, amapValid);
    put8(out, 0);
    putU16(out, 0);
}

Root Root::decode(std::string_view bytes) {
    ByteReader in(bytes);
    Root root;
    in.skip(4);
    root.fileEof = in.u64();
    root.amapLast = in.u64();
    root.amapFree = in.u64();
    root.pmapFree = in.u64();
    root.nodeBTree.bid = Bid(in.u64());
    root.nodeBTree.ib = in.u64();
    root.blockBTree.bid = Bid(in.u64());
    root.blockBTree.ib = in.u64();
    root.amapValid = in.u8();
    return root;
}

}  // namespace store::pst
