#include "source_digest.h"

#include <openssl/evp.h>

bool digest_init(SourceDigest& d) {
  d.bytes = 0;
  d.context = EVP_MD_CTX_new();
  if (d.context == nullptr) return false;
  if (EVP_DigestInit_ex(d.context, EVP_sha256(), nullptr) == 1) return true;
  digest_free(d);
  return false;
}

void digest_update(SourceDigest& d, const void* bytes, size_t n) {
  EVP_DigestUpdate(d.context, bytes, n);
  d.bytes += static_cast<int64_t>(n);
}

void digest_finish(SourceDigest& d, char text[kDigestTextSize]) {
  unsigned char sum[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_DigestFinal_ex(d.context, sum, &length);
  static const char kHex[] = "0123456789abcdef";
  for (unsigned int i = 0; i < length && 2 * i + 1 < kDigestTextSize; ++i) {
    text[2 * i] = kHex[sum[i] >> 4];
    text[2 * i + 1] = kHex[sum[i] & 0xF];
  }
  text[2 * (length < 32 ? length : 32)] = '\0';
  digest_free(d);
}

void digest_free(SourceDigest& d) {
  EVP_MD_CTX_free(d.context);
  d.context = nullptr;
}
