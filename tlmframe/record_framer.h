// Cutting a byte stream into whole records.
//
// Bytes arrive in pieces of any size: the chunks that read(2) returns, a
// block of memory, or what a receiver hands over as it comes.  The framer
// hands out every whole record that the pieces so far complete: in place
// when a record lies whole inside one piece, or from its own buffer when
// the record began in an earlier piece.  Nothing else is copied.
#ifndef TLMFRAME_RECORD_FRAMER_H_
#define TLMFRAME_RECORD_FRAMER_H_

#include <cstddef>

#include "record.h"

namespace tlmframe {

struct RecordFramer {
  const unsigned char* next;  // unframed bytes of the last piece pushed
  size_t left;                // how many
  size_t carried;             // bytes of an unfinished record in carry
  unsigned char carry[kRecordBytes];
};

void framer_init(RecordFramer& framer);

// Hands the framer the next piece.  The piece must stay in place until
// framer_next has returned nullptr for it.
void framer_push(RecordFramer& framer, const unsigned char* bytes, size_t size);

// The next whole record, in the file's byte order (see StoredSubframe), or
// nullptr when the pieces pushed so far hold no further whole record; the
// rest of the last piece is then carried over to the next one.  A record
// returned stays valid until the next call.
const unsigned char* framer_next(RecordFramer& framer);

}  // namespace tlmframe

#endif  // TLMFRAME_RECORD_FRAMER_H_
