#include "chunk_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> counting(size_t n) {
  std::vector<unsigned char> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<unsigned char>(i * 7 + (i >> 8));
  return v;
}

// The shuffle filter's order: every value's byte 0, then every byte 1, ...,
// the bytes past the last whole value at the end as they were.
TEST(ChunkCodec, ShuffleIsTheFiltersOrderAndItsInverse) {
  const unsigned char in[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  const struct {
    size_t value_bytes;
    std::vector<unsigned char> want;
  } cases[] = {
      {1, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}}, {2, {1, 3, 5, 7, 9, 2, 4, 6, 8, 10, 11}},
      {4, {1, 5, 2, 6, 3, 7, 4, 8, 9, 10, 11}}, {8, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}},
      {3, {1, 4, 7, 2, 5, 8, 3, 6, 9, 10, 11}},
  };
  for (const auto& c : cases) {
    std::vector<unsigned char> out(sizeof in), back(sizeof in);
    shuffle_bytes(in, sizeof in, c.value_bytes, out.data());
    EXPECT_EQ(out, c.want) << c.value_bytes;
    unshuffle_bytes(out.data(), out.size(), c.value_bytes, back.data());
    EXPECT_EQ(back, std::vector<unsigned char>(in, in + sizeof in)) << c.value_bytes;
  }
  for (size_t value_bytes : {2, 4, 8}) {
    const std::vector<unsigned char> data = counting(100003);
    std::vector<unsigned char> out(data.size()), back(data.size());
    shuffle_bytes(data.data(), data.size(), value_bytes, out.data());
    unshuffle_bytes(out.data(), out.size(), value_bytes, back.data());
    EXPECT_EQ(back, data) << value_bytes;
  }
}

TEST(ChunkCodec, DeflatedChunksInflateToThemselves) {
  libdeflate_compressor* c = new_compressor(1);
  libdeflate_compressor* store = new_compressor(0);
  libdeflate_decompressor* d = new_decompressor();
  std::vector<unsigned char> noise(1 << 18);
  uint64_t x = 88172645463325252ull;
  for (unsigned char& b : noise) {
    x ^= x << 13, x ^= x >> 7, x ^= x << 17;
    b = static_cast<unsigned char>(x);
  }
  const std::vector<unsigned char> runs(1 << 18, 7), counted = counting(1 << 18);
  EXPECT_TRUE(looks_incompressible(c, noise.data(), noise.size()));
  EXPECT_FALSE(looks_incompressible(c, runs.data(), runs.size()));
  EXPECT_FALSE(looks_incompressible(c, counted.data(), counted.size()));
  EXPECT_FALSE(looks_incompressible(c, noise.data(), 60000));  // too short to judge
  const std::vector<unsigned char>* chunks[] = {&noise, &runs, &counted};
  for (const std::vector<unsigned char>* data : chunks) {
    for (libdeflate_compressor* k : {c, store}) {
      std::vector<unsigned char> packed(deflate_bound(data->size()));
      const size_t n = deflate_zlib(k, data->data(), data->size(), packed.data(), packed.size());
      ASSERT_GT(n, 0u);
      std::vector<unsigned char> back(data->size());
      EXPECT_TRUE(inflate_zlib(d, packed.data(), n, back.data(), back.size()));
      EXPECT_EQ(back, *data);
      EXPECT_FALSE(inflate_zlib(d, packed.data(), n, back.data(), back.size() - 1));
    }
  }
  free_compressor(c);
  free_compressor(store);
  free_decompressor(d);
}

}  // namespace
