#include "record_framer.h"

#include <cstring>

namespace tlmframe {

void framer_init(RecordFramer& framer) {
  framer.next = nullptr;
  framer.left = 0;
  framer.carried = 0;
}

void framer_push(RecordFramer& framer, const unsigned char* bytes, size_t size) {
  framer.next = bytes;
  framer.left = size;
}

namespace {

// Moves up to want bytes of the piece into the carried record.
void carry_bytes(RecordFramer& framer, size_t want) {
  const size_t n = framer.left < want ? framer.left : want;
  if (n > 0) std::memcpy(framer.carry + framer.carried, framer.next, n);
  framer.carried += n;
  framer.next += n;
  framer.left -= n;
}

}  // namespace

const unsigned char* framer_next(RecordFramer& framer) {
  if (framer.carried > 0) {
    carry_bytes(framer, kRecordBytes - framer.carried);
    if (framer.carried < static_cast<size_t>(kRecordBytes)) return nullptr;
    framer.carried = 0;
    return framer.carry;
  }
  if (framer.left >= static_cast<size_t>(kRecordBytes)) {
    const unsigned char* record = framer.next;
    framer.next += kRecordBytes;
    framer.left -= kRecordBytes;
    return record;
  }
  carry_bytes(framer, framer.left);
  return nullptr;
}

}  // namespace tlmframe
