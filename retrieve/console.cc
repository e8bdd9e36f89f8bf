#include "console.h"

#include "int_format.h"

namespace {

// One console line: the text, then an integer field of width places when
// width is not zero, then the tail.
void write_line(OutBuffer& out, const char* text, int32_t number = 0, int width = 0,
                const char* tail = "") {
  out_puts(out, text);
  if (width > 0) {
    char* p = out_reserve(out, kMaxIntChars + 1);
    out_commit(out, format_fixed_field(p, number, width));
  }
  out_puts(out, tail);
  out_write(out, "\n", 1);
  out_end_record(out);
}

}  // namespace

void write_banner(OutBuffer& out) { write_line(out, "\n\n\n     PROGRAM RETRIEVE"); }

void write_processing(OutBuffer& out) { write_line(out, " Processing..............."); }

void write_progress(OutBuffer& out, int32_t number) { write_line(out, " #=", number, 3); }

void write_written(OutBuffer& out, int32_t number) {
  write_line(out, " Written interferogram no.=", number, 4);
}

void write_finished(OutBuffer& out) { write_line(out, " Finished!"); }

bool ask_request(OutBuffer& out, FreeFormReader& in, int32_t& number, Message& m) {
  constexpr int kRequestOrdinal = 1;  // the dialogue asks once
  write_line(out, " Input ifgram. number (", kRequestOrdinal, 3, ")");
  out_flush(out);  // also into a pipe: whoever answers must see the question

  const GroupField field{ValueKind::integer, 1, &number, nullptr};
  const ReadStatus status = read_group(in, &field, 1);
  if (status != ReadStatus::ok) {
    message_read_fault(m, "standard input", in, status, "the interferogram number");
    return false;
  }
  if (in.values_assigned == 0) {
    // A null value or a slash stood in place of the number.
    message_printf(m, "standard input: no interferogram number given");
    return false;
  }
  return true;
}
