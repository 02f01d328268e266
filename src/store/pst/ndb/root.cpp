#include "store/pst/ndb/root.h"

#include "store/pst/ndb/bytes.h"

namespace store::pst {

void Root::encode(std::string& out) const {
    put32(out, 0);
    put64(out, fileEof);
    put64(out, amapLast);
    put64(out, amapFree);
    put64(out, pmapFree);
    put64(out, nodeBTree.bid.value());
    put64(out, nodeBTree.ib);
    put64(out, blockBTree.bid.value());
    put64(out, blockBTree.ib);
    put8(out, amapValid);
    put8(out, 0);
    put16(out, 0);
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
