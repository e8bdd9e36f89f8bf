// The SHA-256 of a product's source, taken while the source is read, so
// that a product can say which bytes it holds and nc2tlm can prove that it
// gives them back.  The digest is OpenSSL's (libcrypto).
#ifndef ARCHIVE_SOURCE_DIGEST_H_
#define ARCHIVE_SOURCE_DIGEST_H_

#include <cstddef>
#include <cstdint>

struct evp_md_ctx_st;

constexpr size_t kDigestTextSize = 65;  // 64 hexadecimal digits and a NUL

struct SourceDigest {
  evp_md_ctx_st* context;
  int64_t bytes;  // taken so far
};

// False when the library cannot set up the digest.
bool digest_init(SourceDigest& d);
void digest_update(SourceDigest& d, const void* bytes, size_t n);
// The digest of everything taken, in lower-case hexadecimal; the context is
// released.
void digest_finish(SourceDigest& d, char text[kDigestTextSize]);
// Releases the context of a digest that is not finished.
void digest_free(SourceDigest& d);

#endif  // ARCHIVE_SOURCE_DIGEST_H_
